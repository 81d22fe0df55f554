#include "detect/OsNames.h"

#include "common/IntegerRule.h"
#include "common/Text.h"

namespace pravel {

namespace {

// Windows 10 builds with a release name; some have a server name of their own.
struct Win10Release {
    uint32_t build;
    const char* release;
    const char* server64Name;  // null: the server uses the workstation name
};

constexpr Win10Release kWin10Releases[] = {
    {10240, "1507", nullptr},
    {10586, "1511", nullptr},
    {14393, "1607", "Windows Server 2016 x64"},
    {15063, "1703", nullptr},
    {16299, "1709", nullptr},
    {17134, "1803", nullptr},
    {17763, "1809", "Windows Server 2019 x64"},
    {18362, "1903", nullptr},
    {18363, "1909", nullptr},
    {19041, "2004", nullptr},
    {19042, "20H2", nullptr},
    {19043, "21H1", nullptr},
    {19044, "21H2", nullptr},
    {19045, "22H2", nullptr},
    {20348, "21H2", "Windows Server 2022 x64"},
};

// Families named by service pack. `servers` says which systems take the
// server names: isServer together with 64-bit Windows, or isServer alone.
enum class ServerRule { kServer64, kIsServer, kNone };

struct ServicePackName {
    int32_t servicePack;  // -1: any other service pack
    const char* name;
};

struct ServicePackFamily {
    uint32_t major, minor;
    ServerRule servers;
    const char* serverGeneric;  // generic name for servers
    bool serverBits;            // servers' names get " x86"/" x64" appended
    ServicePackName serverNames[4];
    const char* clientGeneric;
    bool clientBits;
    ServicePackName clientNames[4];
};

constexpr ServicePackFamily kFamilies[] = {
    {6,
     3,
     ServerRule::kServer64,
     "Windows Server 2012 R2 x64",
     false,
     {{-1, "Windows Server 2012 R2 x64"}},
     "Windows 8.1",
     true,
     {{-1, "Windows 8.1"}}},
    {6,
     2,
     ServerRule::kServer64,
     "Windows Server 2012 x64",
     false,
     {{-1, "Windows Server 2012 x64"}},
     "Windows 8",
     true,
     {{-1, "Windows 8"}}},
    {6,
     1,
     ServerRule::kServer64,
     "Windows Server 2008 R2 x64",
     false,
     {{0, "Windows Server 2008 R2 RTM x64"},
      {1, "Windows Server 2008 R2 SP1 x64"},
      {-1, "Windows Server 2008 R2 x64"}},
     "Windows 7",
     true,
     {{0, "Windows 7 RTM"}, {1, "Windows 7 SP1"}, {-1, "Windows 7"}}},
    {6,
     0,
     ServerRule::kIsServer,
     "Windows Server 2008",
     true,
     {{0, "Windows Server 2008 RTM"},
      {1, "Windows Server 2008 RTM"},
      {2, "Windows Server 2008 SP2"},
      {-1, "Windows Server 2008"}},
     "Windows Vista",
     true,
     {{0, "Windows Vista RTM"},
      {1, "Windows Vista SP1"},
      {2, "Windows Vista SP2"},
      {-1, "Windows Vista"}}},
    {5,
     2,
     ServerRule::kIsServer,
     "Windows Server 2003",
     true,
     {{1, "Windows Server 2003 SP1"}, {2, "Windows Server 2003 SP2"}, {-1, "Windows Server 2003"}},
     "Windows XP x64",
     false,
     {{1, "Windows XP SP1 x64"}, {2, "Windows XP SP2 x64"}, {-1, "Windows XP x64"}}},
    {5,
     1,
     ServerRule::kNone,
     nullptr,
     false,
     {},
     "Windows XP x86",
     false,
     {{1, "Windows XP SP1 x86"},
      {2, "Windows XP SP2 x86"},
      {3, "Windows XP SP3 x86"},
      {-1, "Windows XP x86"}}},
};

constexpr const char* kNotIdentified = "OsNotIdentified";

TextPiece Bits(const OsVersionInfo& os) {
    return os.is64BitOs ? TextPiece(" x64") : TextPiece(" x86");
}

// `name`, followed by Bits when `withBits`.
std::wstring WithBits(const char* name, bool withBits, const OsVersionInfo& os) {
    return withBits ? Concat({AsciiPiece(name), Bits(os)}) : WideFromAscii(name);
}
bool IsServer64(const OsVersionInfo& os) {
    return os.isServer && os.is64BitOs;
}

const ServicePackFamily* FindFamily(const OsVersionInfo& os) {
    for (const auto& family : kFamilies) {
        if (family.major == os.major && family.minor == os.minor) return &family;
    }
    return nullptr;
}

bool UsesServerNames(const ServicePackFamily& family, const OsVersionInfo& os) {
    switch (family.servers) {
        case ServerRule::kServer64:
            return IsServer64(os);
        case ServerRule::kIsServer:
            return os.isServer;
        default:
            return false;
    }
}

const char* ByServicePack(const ServicePackName (&names)[4], int32_t servicePack) {
    for (const auto& entry : names) {
        if (entry.name == nullptr) break;
        if (entry.servicePack == servicePack || entry.servicePack == -1) return entry.name;
    }
    return kNotIdentified;
}

}  // namespace

std::wstring DetailedOsName(const OsVersionInfo& os) {
    if (os.major == 11 && os.minor == 0) {
        if (os.build == 22000) return WideFromAscii("Windows 11 version 21H2 x64");
        if (os.build == 22621) return WideFromAscii("Windows 11 version 22H2 x64 (Preview)");
        return WideFromAscii(IsServer64(os) ? "Windows Server x64" : "Windows 11 x64");
    }
    if (os.major == 10 && os.minor == 0) {
        for (const auto& release : kWin10Releases) {
            if (release.build != os.build) continue;
            if (release.server64Name != nullptr && IsServer64(os))
                return WideFromAscii(release.server64Name);
            return Concat({"Windows 10 version ", AsciiPiece(release.release), Bits(os)});
        }
        if (IsServer64(os)) return WideFromAscii("Windows Server x64");
        return WithBits("Windows 10", true, os);
    }
    const ServicePackFamily* family = FindFamily(os);
    if (family == nullptr) return WideFromAscii(kNotIdentified);
    if (UsesServerNames(*family, os)) {
        return WithBits(ByServicePack(family->serverNames, os.servicePack), family->serverBits, os);
    }
    return WithBits(ByServicePack(family->clientNames, os.servicePack), family->clientBits, os);
}

std::wstring GenericOsName(const OsVersionInfo& os) {
    if (os.major == 11 && os.minor == 0) {
        return WideFromAscii(IsServer64(os) ? "Windows Server x64" : "Windows 11 x64");
    }
    if (os.major == 10 && os.minor == 0) {
        if (IsServer64(os)) return WideFromAscii("Windows Server x64");
        return WithBits("Windows 10", true, os);
    }
    const ServicePackFamily* family = FindFamily(os);
    if (family == nullptr) return WideFromAscii(kNotIdentified);
    if (UsesServerNames(*family, os)) {
        return WithBits(family->serverGeneric, family->serverBits, os);
    }
    return WithBits(family->clientGeneric, family->clientBits, os);
}

bool IsOsExcluded(const std::wstring& winNTVersions, const std::wstring& winNT64Versions,
                  bool is64BitOs, const std::wstring& detailedName,
                  const std::wstring& genericName) {
    const std::wstring& list = is64BitOs ? winNT64Versions : winNTVersions;
    if (list.empty()) return false;
    if (EqualsAscii(list, is64BitOs ? kAll64BitSystems : kAll32BitSystems)) return true;
    for (const auto& entry : Split(list, L", ")) {
        if (entry.empty()) continue;
        if (entry == detailedName || entry == genericName) return true;
    }
    return false;
}

bool IsLanguageListAccepting(const std::wstring& languageList, uint16_t languageId) {
    if (languageList.empty()) return true;
    size_t start = 0;
    for (size_t end = languageList.find(L';'); end != std::wstring::npos;
         start = end + 1, end = languageList.find(L';', start)) {
        const int32_t entry = ParseConfigInteger(languageList.substr(start, end - start));
        if (static_cast<uint16_t>(entry) == languageId) return true;
    }
    return false;
}

}  // namespace pravel
