#include "diag/ExceptionText.h"

#include "common/Text.h"

namespace pravel {

namespace {

struct CodeName {
    uint32_t code;
    const wchar_t* name;
};

constexpr CodeName kCodeNames[] = {
    {0x80000001u, L"GUARD_PAGE"},
    {0x80000002u, L"DATATYPE_MISALIGNMENT"},
    {0x80000003u, L"BREAKPOINT"},
    {0x80000004u, L"SINGLE_STEP"},
    {0xC0000005u, L"ACCESS_VIOLATION"},
    {0xC0000006u, L"IN_PAGE_ERROR"},
    {0xC0000008u, L"INVALID_HANDLE"},
    {0xC000001Du, L"ILLEGAL_INSTRUCTION"},
    {0xC0000025u, L"NONCONTINUABLE_EXCEPTION"},
    {0xC0000026u, L"INVALID_DISPOSITION"},
    {0xC000008Cu, L"ARRAY_BOUNDS_EXCEEDED"},
    {0xC000008Du, L"FLT_DENORMAL_OPERAND"},
    {0xC000008Eu, L"FLT_DIVIDE_BY_ZERO"},
    {0xC000008Fu, L"FLT_INEXACT_RESULT"},
    {0xC0000090u, L"FLT_INVALID_OPERATION"},
    {0xC0000091u, L"FLT_OVERFLOW"},
    {0xC0000092u, L"FLT_STACK_CHECK"},
    {0xC0000093u, L"FLT_UNDERFLOW"},
    {0xC0000094u, L"INT_DIVIDE_BY_ZERO"},
    {0xC0000095u, L"INT_OVERFLOW"},
    {0xC0000096u, L"PRIV_INSTRUCTION"},
    {0xC00000FDu, L"STACK_OVERFLOW"},
};

constexpr const wchar_t* kKindNames[] = {
    L"EXCEPTION_STD", L"EXCEPTION_UNHANDLED", L"EXCEPTION_GENERIC",         L"EXCEPTION_WIN32",
    L"EXCEPTION_CMD", L"EXCEPTION_XML_PARSE", L"EXCEPTION_ERROR_SIGNALING", L"EXCEPTION_SEH",
};

constexpr const wchar_t* kSehKindNames[] = {
    L"SEH_GENERIC",         L"SEH_AV_READ_NULLPTR", L"SEH_AV_READ_BADPTR", L"SEH_AV_WRITE_NULLPTR",
    L"SEH_AV_WRITE_BADPTR", L"SEH_AV_DEP_NULLPTR",  L"SEH_AV_DEP_BADPTR",
};

constexpr uint32_t kAccessViolation = 0xC0000005u;

std::wstring Hex(uint64_t value, int minDigits) {
    wchar_t digits[17];
    int count = 0;
    do {
        digits[count++] = L"0123456789abcdef"[value & 0xF];
        value >>= 4;
    } while (value != 0);
    std::wstring text;
    for (int i = count; i < minDigits; ++i) text += L'0';
    while (count > 0) text += digits[--count];
    return text;
}

std::wstring CodeAndAddress(uint32_t code, uint64_t address) {
    return Concat({L"(0x", Hex(code, 8), L") at address [0x", Hex(address, 8), L"]\r\n"});
}

std::wstring WidenAscii(const char* text) {
    std::wstring wide;
    for (; *text != '\0'; ++text) wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return wide;
}

}  // namespace

const wchar_t kStackTraceHeader[] = L"\r\n*** Stack Trace (x86) ***\r\n\r\n";
const wchar_t kMoreFramesLine[] = L"<--------------------MORE--FRAMES-------------------->\r\n";

const wchar_t* ExceptionKindName(int32_t kind) {
    if (kind < 0 || kind >= static_cast<int32_t>(sizeof(kKindNames) / sizeof(kKindNames[0])))
        return L"Exception ???";
    return kKindNames[kind];
}

const wchar_t* SehKindName(int32_t sehKind) {
    if (sehKind < 0 ||
        sehKind >= static_cast<int32_t>(sizeof(kSehKindNames) / sizeof(kSehKindNames[0])))
        return kSehKindNames[kSehGeneric];
    return kSehKindNames[sehKind];
}

const wchar_t* SehCodeName(uint32_t code) {
    for (const CodeName& entry : kCodeNames) {
        if (entry.code == code) return entry.name;
    }
    return nullptr;
}

int32_t ClassifyFault(uint32_t code, bool hasAccessInfo, uint64_t accessType, uint64_t address) {
    if (code != kAccessViolation || !hasAccessInfo) return kSehGeneric;
    const bool null = address == 0;
    switch (accessType) {
        case 0:
            return null ? kSehReadNull : kSehReadBad;
        case 1:
            return null ? kSehWriteNull : kSehWriteBad;
        case 8:
            return null ? kSehDepNull : kSehDepBad;
        default:
            return kSehGeneric;
    }
}

std::wstring HexAddress(uint64_t value) {
    return L"0x" + Hex(value, 8);
}

std::wstring FaultFirstLine(uint32_t code, uint64_t address) {
    const wchar_t* name = SehCodeName(code);
    if (name == nullptr) return L"Unknown SEH Exception " + CodeAndAddress(code, address);
    return Concat({std::wstring_view(name), L" ", CodeAndAddress(code, address)});
}

std::wstring UnhandledFaultLine(uint32_t code, uint64_t address) {
    return CodeAndAddress(code, address);
}

std::wstring FrameLine(uint64_t pc, const char* name, const char* file, long line) {
    std::wstring text = Concat({L"[0x", Hex(pc, 8), L"]  "});
    if (name != nullptr && *name != '\0') {
        AppendPieces(text, {WidenAscii(name), L"()"});
    } else {
        text += L"-----";
    }
    if (file != nullptr && *file != '\0') {
        const char* base = file;
        for (const char* p = file; *p != '\0'; ++p) {
            if (*p == '\\' || *p == '/') base = p + 1;
        }
        AppendPieces(text, {L" -> ", WidenAscii(base), L":", ToDecimal(line)});
    }
    text += L"\r\n";
    return text;
}

std::wstring ModuleBaseLine(uint64_t base) {
    return Concat({L"[0x", Hex(base, 8), L"]  MODULE_BASE_ADDRESS\r\n"});
}

bool ParseFrameSource(const std::wstring& trace, std::wstring& file, int32_t& line) {
    const size_t arrow = trace.find(L" -> ");
    if (arrow == std::wstring::npos) return false;
    const size_t start = arrow + 4;
    size_t end = trace.find(L"\r\n", start);
    if (end == std::wstring::npos) end = trace.size();
    const size_t colon = trace.rfind(L':', end);
    if (colon == std::wstring::npos || colon < start || colon + 1 >= end) return false;
    int64_t value = 0;
    for (size_t i = colon + 1; i < end; ++i) {
        const wchar_t c = trace[i];
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + (c - L'0');
        if (value > 0x7FFFFFFF) return false;
    }
    file = trace.substr(start, colon - start);
    line = static_cast<int32_t>(value);
    return true;
}

std::wstring TextBeforeStackTrace(const std::wstring& message) {
    const size_t header = message.find(kStackTraceHeader);
    return header == std::wstring::npos ? message : message.substr(0, header);
}

std::wstring WithStackTrace(const std::wstring& message, const std::wstring& trace) {
    if (trace.empty() || message.find(kStackTraceHeader) != std::wstring::npos) return message;
    return Concat({message, L"\r\n", trace});
}

ReportLayout ComputeReportLayout(const std::wstring& message) {
    int lines = 1;
    for (wchar_t c : message) {
        if (c == L'\n') ++lines;
    }
    if (lines < 3) lines = 3;
    if (lines > 30) lines = 30;
    ReportLayout layout;
    layout.lines = lines;
    layout.extra = (lines - 3) * 83 / 10;
    layout.height = 60 + layout.extra;
    layout.textHeight = lines * 83 / 10;
    return layout;
}

}  // namespace pravel
