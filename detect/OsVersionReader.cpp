// Reads OsVersionInfo from HKLM (64-bit view). Missing keys or values leave
// the starting values; nothing here reports a failure.
#include "detect/OsVersionReader.h"

#include <windows.h>

#include "common/Handles.h"
#include "common/IntegerRule.h"
#include "common/Text.h"
#include "common/Wow64.h"

namespace pravel {

namespace {

constexpr REGSAM kReadAccess = KEY_READ | KEY_WOW64_64KEY;

// `name` is ASCII.
bool QueryDword(HKEY key, const char* name, uint32_t& out) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = 0;
    if (::RegQueryValueExW(key, WideFromAscii(name).c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD) {
        return false;
    }
    out = value;
    return true;
}

// Reads a string value into a buffer of `bytes` bytes; the text is cut at its
// first NUL. False when the value is missing or larger than the buffer.
// `name` is ASCII.
bool QueryString(HKEY key, const char* name, size_t bytes, std::wstring& out) {
    std::wstring buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = static_cast<DWORD>(bytes);
    if (::RegQueryValueExW(key, WideFromAscii(name).c_str(), nullptr, nullptr,
                           reinterpret_cast<BYTE*>(&buffer[0]), &size) != ERROR_SUCCESS) {
        return false;
    }
    buffer.resize(size / sizeof(wchar_t));
    const size_t nul = buffer.find(L'\0');
    out = nul == std::wstring::npos ? buffer : buffer.substr(0, nul);
    return true;
}

struct SuiteEntry {
    const char* name;
    uint16_t flag;
};

constexpr SuiteEntry kSuites[] = {
    {"Small Business", 0x0001},
    {"Enterprise", 0x0002},
    {"BackOffice", 0x0004},
    {"CommunicationServer", 0x0008},
    {"Terminal Server", 0x0010},
    {"Small Business(Restricted)", 0x0020},
    {"EmbeddedNT", 0x0040},
    {"DataCenter", 0x0080},
    {"Personal", 0x0200},
    {"Blade", 0x0400},
    {"Embedded(Restricted)", 0x0800},
    {"Security Appliance", 0x1000},
    {"Storage Server", 0x2000},
    {"Compute Server", 0x4000},
};

void ReadVersion(OsVersionInfo& os) {
    UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion", 0,
                        kReadAccess, key.Put()) != ERROR_SUCCESS) {
        return;
    }
    QueryDword(key.Get(), "CurrentMajorVersionNumber", os.major);
    QueryDword(key.Get(), "CurrentMinorVersionNumber", os.minor);
    std::wstring text;
    if (os.major == 0 && QueryString(key.Get(), "CurrentVersion", 32, text) && text.size() == 3) {
        os.major = static_cast<uint32_t>(text[0] - L'0');
        os.minor = static_cast<uint32_t>(text[2] - L'0');
    }
    if (QueryString(key.Get(), "CurrentBuildNumber", 520, text)) {
        os.build = static_cast<uint32_t>(ParseConfigInteger(text));
    }
    if (os.major == 10 && os.build >= 22000) os.major = 11;
    if (QueryString(key.Get(), "ReleaseId", 520, text)) os.releaseId = ParseConfigInteger(text);
    if (QueryString(key.Get(), "CSDVersion", 256, text)) {
        os.csdVersion = text.substr(0, 127);
        os.servicePack = os.csdVersion.empty() ? 0 : os.csdVersion.back() - L'0';
        if (os.servicePack < 0 || os.servicePack > 9) os.servicePack = 0;
    }
}

void ReadProductOptions(OsVersionInfo& os) {
    UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions",
                        0, kReadAccess, key.Put()) != ERROR_SUCCESS) {
        return;
    }
    std::wstring type;
    if (QueryString(key.Get(), "ProductType", 520, type)) {
        if (EqualsAscii(type, "WinNT")) {
            os.productType = kProductWorkstation;
            os.isServer = false;
        } else {
            os.productType =
                EqualsAscii(type, "ServerNT") ? kProductServer : kProductDomainController;
            os.isServer = true;
        }
    }
    std::wstring suites(1024, L'\0');
    DWORD size = 2048;
    if (::RegQueryValueExW(key.Get(), L"ProductSuite", nullptr, nullptr,
                           reinterpret_cast<BYTE*>(&suites[0]), &size) == ERROR_SUCCESS) {
        suites.resize(size / sizeof(wchar_t));
        size_t start = 0;
        while (start < suites.size()) {
            size_t end = suites.find(L'\0', start);
            if (end == std::wstring::npos) end = suites.size();
            const std::wstring entry = suites.substr(start, end - start);
            for (const auto& suite : kSuites) {
                if (EqualsAscii(entry, suite.name)) os.suiteMask |= suite.flag;
            }
            start = end + 1;
        }
    }
}

}  // namespace

OsVersionInfo ReadOsVersionInfo() {
    OsVersionInfo os;
    ReadVersion(os);
    os.is64BitOs = Is64BitWindows();
    ReadProductOptions(os);
    return os;
}

const OsVersionInfo& GetOsVersionInfo() {
    static const OsVersionInfo info = ReadOsVersionInfo();
    return info;
}

}  // namespace pravel
