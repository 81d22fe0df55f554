#include "diag/LogFormat.h"

#include "BuildInfo.h"
#include "common/Bitness.h"
#include "common/Text.h"

namespace pravel {

std::wstring LogBanner() {
    return Concat({L"\r\n<< Quillon (", kBuildArchitecture, L") Log >>\r\n"});
}

std::wstring FormatOsLine(const OsVersionInfo& os) {
    return Concat(
        {L"OS Version: ", DecimalPiece(os.major), L".", DecimalPiece(os.minor), L".",
         DecimalPiece(os.build), L" SP", DecimalPiece(static_cast<uint32_t>(os.servicePack)), L" (",
         os.productType != kProductWorkstation ? TextPiece(L"server") : TextPiece(L"workstation"),
         L") [", os.is64BitOs ? TextPiece(L"x64") : TextPiece(L"x86"), L"]\r\n"});
}

std::wstring FormatLogHeader(const OsVersionInfo& os, const std::wstring& cpuBrand) {
    return Concat({LogBanner(), L"Program version: " PRAVEL_VERSION_TEXT "\r\n", FormatOsLine(os),
                   L"CPU: ", cpuBrand, L"\r\n\r\n"});
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
