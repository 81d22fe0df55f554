#include "diag/LogFormat.h"

#include "BuildInfo.h"
#include "common/Bitness.h"
#include "common/Text.h"

namespace pravel {

std::wstring LogBanner() {
    return Concat({"\r\n<< Quillon (", kBuildArchitecture, ") Log >>\r\n"});
}

std::wstring FormatOsLine(const OsVersionInfo& os) {
    return Concat(
        {"OS Version: ", DecimalPiece(os.major), ".", DecimalPiece(os.minor), ".",
         DecimalPiece(os.build), " SP", DecimalPiece(static_cast<uint32_t>(os.servicePack)), " (",
         os.productType != kProductWorkstation ? TextPiece("server") : TextPiece("workstation"),
         ") [", os.is64BitOs ? TextPiece("x64") : TextPiece("x86"), "]\r\n"});
}

std::wstring FormatLogHeader(const OsVersionInfo& os, const std::wstring& cpuBrand) {
    return Concat({LogBanner(), "Program version: " PRAVEL_VERSION_TEXT "\r\n", FormatOsLine(os),
                   "CPU: ", cpuBrand, "\r\n\r\n"});
}

std::wstring FormatLogTimestamp(const LogTime& t) {
    const uint32_t parts[] = {t.month, t.day, t.hour, t.minute, t.second};
    std::wstring text = ZeroPadded(t.year, 4);
    for (int i = 0; i < 5; ++i) {
        text += L"-- --"[i];  // the separator before each part
        text += ZeroPadded(parts[i], 2);
    }
    return text;
}

}  // namespace pravel
