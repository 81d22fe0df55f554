#include "diag/ExceptionText.h"

#include "common/Text.h"

namespace pravel {

namespace {

struct CodeName {
    uint32_t code;
    const char* name;
};

constexpr CodeName kCodeNames[] = {
    {0x80000001u, "GUARD_PAGE"},
    {0x80000002u, "DATATYPE_MISALIGNMENT"},
    {0x80000003u, "BREAKPOINT"},
    {0x80000004u, "SINGLE_STEP"},
    {0xC0000005u, "ACCESS_VIOLATION"},
    {0xC0000006u, "IN_PAGE_ERROR"},
    {0xC0000008u, "INVALID_HANDLE"},
    {0xC000001Du, "ILLEGAL_INSTRUCTION"},
    {0xC0000025u, "NONCONTINUABLE_EXCEPTION"},
    {0xC0000026u, "INVALID_DISPOSITION"},
    {0xC000008Cu, "ARRAY_BOUNDS_EXCEEDED"},
    {0xC000008Du, "FLT_DENORMAL_OPERAND"},
    {0xC000008Eu, "FLT_DIVIDE_BY_ZERO"},
    {0xC000008Fu, "FLT_INEXACT_RESULT"},
    {0xC0000090u, "FLT_INVALID_OPERATION"},
    {0xC0000091u, "FLT_OVERFLOW"},
    {0xC0000092u, "FLT_STACK_CHECK"},
    {0xC0000093u, "FLT_UNDERFLOW"},
    {0xC0000094u, "INT_DIVIDE_BY_ZERO"},
    {0xC0000095u, "INT_OVERFLOW"},
    {0xC0000096u, "PRIV_INSTRUCTION"},
    {0xC00000FDu, "STACK_OVERFLOW"},
};

constexpr const char* kKindNames[] = {
    "EXCEPTION_STD", "EXCEPTION_UNHANDLED", "EXCEPTION_GENERIC",         "EXCEPTION_WIN32",
    "EXCEPTION_CMD", "EXCEPTION_XML_PARSE", "EXCEPTION_ERROR_SIGNALING", "EXCEPTION_SEH",
};

constexpr const char* kSehKindNames[] = {
    "SEH_GENERIC",         "SEH_AV_READ_NULLPTR", "SEH_AV_READ_BADPTR", "SEH_AV_WRITE_NULLPTR",
    "SEH_AV_WRITE_BADPTR", "SEH_AV_DEP_NULLPTR",  "SEH_AV_DEP_BADPTR",
};

constexpr uint32_t kAccessViolation = 0xC0000005u;

std::wstring Hex(uint64_t value, int minDigits) {
    wchar_t digits[17];
    int count = 0;
    do {
        digits[count++] = "0123456789abcdef"[value & 0xF];
        value >>= 4;
    } while (value != 0);
    std::wstring text;
    for (int i = count; i < minDigits; ++i) text += L'0';
    while (count > 0) text += digits[--count];
    return text;
}

std::wstring CodeAndAddress(uint32_t code, uint64_t address) {
    return Concat({"(0x", Hex(code, 8), ") at address [0x", Hex(address, 8), "]\r\n"});
}

}  // namespace

const wchar_t kStackTraceHeader[] = L"\r\n*** Stack Trace (x86) ***\r\n\r\n";

const char* ExceptionKindName(int32_t kind) {
    if (kind < 0 || kind >= static_cast<int32_t>(sizeof(kKindNames) / sizeof(kKindNames[0])))
        return "Exception ???";
    return kKindNames[kind];
}

const char* SehKindName(int32_t sehKind) {
    if (sehKind < 0 ||
        sehKind >= static_cast<int32_t>(sizeof(kSehKindNames) / sizeof(kSehKindNames[0])))
        return kSehKindNames[kSehGeneric];
    return kSehKindNames[sehKind];
}

const char* SehCodeName(uint32_t code) {
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
    const char* name = SehCodeName(code);
    if (name == nullptr) return Concat({"Unknown SEH Exception ", CodeAndAddress(code, address)});
    return Concat({AsciiPiece(name), " ", CodeAndAddress(code, address)});
}

std::wstring UnhandledFaultLine(uint32_t code, uint64_t address) {
    return CodeAndAddress(code, address);
}

std::wstring FrameLine(uint64_t pc, const char* name, const char* file, long line) {
    std::wstring text = Concat({"[0x", Hex(pc, 8), "]  "});
    if (name != nullptr && *name != '\0') {
        AppendPieces(text, {WideFromAscii(name), "()"});
    } else {
        text += L"-----";
    }
    if (file != nullptr && *file != '\0') {
        const char* base = file;
        for (const char* p = file; *p != '\0'; ++p) {
            if (*p == '\\' || *p == '/') base = p + 1;
        }
        AppendPieces(text, {" -> ", WideFromAscii(base), ":", ToDecimal(line)});
    }
    text += L"\r\n";
    return text;
}

std::wstring ModuleBaseLine(uint64_t base) {
    return Concat({"[0x", Hex(base, 8), "]  MODULE_BASE_ADDRESS\r\n"});
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
    return Concat({message, "\r\n", trace});
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
