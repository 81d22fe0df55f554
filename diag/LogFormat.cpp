#include "diag/LogFormat.h"

#include "common/Bitness.h"
#include "common/Text.h"

namespace pravel {

std::wstring LogBanner() {
    return std::wstring(L"\r\n<< Quillon (") + kBuildArchitecture + L") Log >>\r\n";
}

std::wstring FormatOsLine(const OsVersionInfo& os) {
    return L"OS Version: " + ToDecimalUnsigned(os.major) + L"." + ToDecimalUnsigned(os.minor) +
           L"." + ToDecimalUnsigned(os.build) + L" SP" +
           ToDecimalUnsigned(static_cast<uint32_t>(os.servicePack)) + L" (" +
           (os.productType != kProductWorkstation ? L"server" : L"workstation") + L") [" +
           (os.is64BitOs ? L"x64" : L"x86") + L"]\r\n";
}

std::wstring FormatLogHeader(const OsVersionInfo& os, const std::wstring& cpuBrand) {
    return LogBanner() + FormatOsLine(os) + L"CPU: " + cpuBrand + L"\r\n" + L"\r\n";
}

std::wstring FormatLogTimestamp(const LogTime& t) {
    return ZeroPadded(t.year, 4) + L"-" + ZeroPadded(t.month, 2) + L"-" + ZeroPadded(t.day, 2) +
           L" " + ZeroPadded(t.hour, 2) + L"-" + ZeroPadded(t.minute, 2) + L"-" +
           ZeroPadded(t.second, 2);
}

}  // namespace pravel
