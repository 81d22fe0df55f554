// The operating-system and language tests against the running system.
#include <windows.h>

#include "common/Text.h"
#include "detect/OsNames.h"
#include "detect/OsVersionReader.h"
#include "diag/Logger.h"

namespace pravel {

const std::wstring& RunningDetailedOsName() {
    static const std::wstring name = DetailedOsName(GetOsVersionInfo());
    return name;
}

const std::wstring& RunningGenericOsName() {
    static const std::wstring name = GenericOsName(GetOsVersionInfo());
    return name;
}

bool IsOsAccepted(const std::wstring& winNTVersions, const std::wstring& winNT64Versions) {
    return !IsOsExcluded(winNTVersions, winNT64Versions, GetOsVersionInfo().is64BitOs,
                         RunningDetailedOsName(), RunningGenericOsName());
}

bool IsLanguageAccepted(const std::wstring& languageList) {
    if (languageList.empty()) return true;
    const LANGID language = ::GetSystemDefaultLangID();
    if (logEnabled) {
        wchar_t name[128] = {};
        ::GetLocaleInfoW(MAKELCID(language, SORT_DEFAULT), LOCALE_SLANGUAGE, name, 128);
        Log({"SystemDefault LangID=", DecimalPiece(language), "-", std::wstring_view(name)});
    }
    return IsLanguageListAccepting(languageList, language);
}

bool IsWindows10OrLater() {
    const OsVersionInfo& os = GetOsVersionInfo();
    const int64_t mine[4] = {os.major, os.minor, os.servicePack, os.build};
    const int64_t ten[4] = {10, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        if (mine[i] != ten[i]) return mine[i] > ten[i];
    }
    return true;
}

}  // namespace pravel
