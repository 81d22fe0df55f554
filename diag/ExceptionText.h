// The texts of the fault reports: kind names, structured-exception names,
// the first message line of a translated fault, stack-trace lines and the
// report window's height. Platform-free, so it is tested natively too.
//
// Every function here is total: unknown numbers give the documented
// fall-back names, and nothing throws except on allocation failure.
#pragma once

#include <cstdint>
#include <string>

namespace pravel {

// Kinds of program exceptions (IException::Kind).
enum ExceptionKind : int32_t {
    kKindStd = 0,
    kKindUnhandled = 1,
    kKindGeneric = 2,
    kKindWin32 = 3,
    kKindCmd = 4,
    kKindXmlParse = 5,
    kKindErrorSignaling = 6,
    kKindSeh = 7,
};

// Kinds of translated faults (SehException::SehKind).
enum SehKind : int32_t {
    kSehGeneric = 0,
    kSehReadNull = 1,
    kSehReadBad = 2,
    kSehWriteNull = 3,
    kSehWriteBad = 4,
    kSehDepNull = 5,
    kSehDepBad = 6,
};

// "EXCEPTION_STD" .. "EXCEPTION_SEH"; "Exception ???" for any other number.
const char* ExceptionKindName(int32_t kind);
// "SEH_GENERIC" .. "SEH_AV_DEP_BADPTR"; "SEH_GENERIC" for any other number.
const char* SehKindName(int32_t sehKind);
// The name of a structured-exception code ("ACCESS_VIOLATION"), or null.
const char* SehCodeName(uint32_t code);

// The fault kind: only an access violation (0xC0000005) with its access type
// (0 read, 1 write, 8 execute) and address gives a specific kind.
int32_t ClassifyFault(uint32_t code, bool hasAccessInfo, uint64_t accessType, uint64_t address);

// "0x" followed by at least eight lowercase hexadecimal digits.
std::wstring HexAddress(uint64_t value);
// "NAME (0x%.8x) at address [0x%.8Ix]\r\n", or "Unknown SEH Exception ..."
// for a code without a name.
std::wstring FaultFirstLine(uint32_t code, uint64_t address);
// "(0x%.8x) at address [0x%.8Ix]\r\n" of the last-chance report.
std::wstring UnhandledFaultLine(uint32_t code, uint64_t address);

// The stack-trace pieces, exactly as they appear in reports.
extern const wchar_t kStackTraceHeader[];  // "\r\n*** Stack Trace (x86) ***\r\n\r\n"
// ASCII, kept narrow: joined with AppendPieces.
inline constexpr char kMoreFramesLine[] =
    "<--------------------MORE--FRAMES-------------------->\r\n";
// "[0x........]  name() -> file:line\r\n"; a null `name` gives "-----", a null
// `file` leaves out the source part; folders are removed from `file`.
std::wstring FrameLine(uint64_t pc, const char* name, const char* file, long line);
std::wstring ModuleBaseLine(uint64_t base);

// Reads "file:line" after the first " -> " of a rendered trace. False (and
// nothing changed) when the trace has no source part.
bool ParseFrameSource(const std::wstring& trace, std::wstring& file, int32_t& line);

// The text of `message` before the stack-trace header (all of it without one).
std::wstring TextBeforeStackTrace(const std::wstring& message);
// `message` with the trace appended ("\r\n" + trace) unless it already holds
// the stack-trace header or `trace` is empty.
std::wstring WithStackTrace(const std::wstring& message, const std::wstring& trace);

// Layout of the report window, in dialog units.
struct ReportLayout {
    int lines;       // line breaks in the message plus one, clamped to 3..30
    int extra;       // (lines - 3) x 8.3, truncated
    int height;      // 60 + extra
    int textHeight;  // lines x 8.3, truncated
};
ReportLayout ComputeReportLayout(const std::wstring& message);

}  // namespace pravel
