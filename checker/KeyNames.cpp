#include "checker/KeyNames.h"

#include <algorithm>

#include "common/IntegerRule.h"
#include "common/Text.h"

namespace pravel {

namespace {

// Optimal string alignment distance, ASCII case ignored.
size_t EditDistance(const std::wstring& a, const std::wstring& b) {
    const std::wstring x = ToLowerAscii(a), y = ToLowerAscii(b);
    std::vector<std::vector<size_t>> d(x.size() + 1, std::vector<size_t>(y.size() + 1));
    for (size_t i = 0; i <= x.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= y.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= x.size(); ++i) {
        for (size_t j = 1; j <= y.size(); ++j) {
            const size_t cost = x[i - 1] == y[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && x[i - 1] == y[j - 2] && x[i - 2] == y[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[x.size()][y.size()];
}

}  // namespace

const std::vector<std::wstring>& GeneralKeys() {
    static const std::vector<std::wstring> keys = {L"MainAppCmdLine",  L"Options",
                                                   L"UpdatesUrl",      L"ProductVersion",
                                                   L"MinWIVer",        L"DownloadFolder",
                                                   L"MainAppURL",      L"UwpAppxURL",
                                                   L"LanguageList",    L"ExtractionFolder",
                                                   L"KeepFiles",       L"PackJars",
                                                   L"AllPlatforms",    L"Is64PlatformTransf",
                                                   L"Langs",           L"PackageCode",
                                                   L"DefaultProdCode", L"ProductCode",
                                                   L"UpgradeCode",     L"ExtUIStub",
                                                   L"SaveExtUIStub",   L"FileExtractFirst",
                                                   L"MsiCertData",     L"AppxVersion",
                                                   L"AppxPkId"};
    return keys;
}

const std::vector<std::wstring>& ChainerKeys() {
    static const std::vector<std::wstring> keys = {L"CleanupFiles", L"CleanupFolders", L"LogFile",
                                                   L"CleanupScript"};
    return keys;
}

const std::vector<std::wstring>& PrerequisiteKeys() {
    static const std::vector<std::wstring> keys = {L"VerMin",
                                                   L"VerMax",
                                                   L"SetupFile",
                                                   L"OpenSite",
                                                   L"Url",
                                                   L"CommandLine",
                                                   L"BasicUiCommandLine",
                                                   L"NoUiCommandLine",
                                                   L"Options",
                                                   L"MD5",
                                                   L"SHA256",
                                                   L"ExactSize",
                                                   L"Folder",
                                                   L"RetValPropName",
                                                   L"InstallCond",
                                                   L"ParentPrereq",
                                                   L"Operator",
                                                   L"WinNTVersions",
                                                   L"WinNT64Versions",
                                                   L"LanguageList"};
    return keys;
}

// Keys of search k: each base name followed by k.
const std::vector<std::wstring>& SearchKeyBases() {
    static const std::vector<std::wstring> bases = {
        L"SearchType", L"VerMin", L"VerMax", L"SearchString", L"RefContent", L"SearchCmdLine"};
    return bases;
}

bool IsIn(const std::vector<std::wstring>& names, const std::wstring& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool SplitNumbered(const std::wstring& key, std::wstring& base, int& number) {
    size_t digits = key.size();
    while (digits > 0 && key[digits - 1] >= L'0' && key[digits - 1] <= L'9') --digits;
    if (digits == key.size() || key.size() - digits > 6 || key[digits] == L'0') return false;
    base = key.substr(0, digits);
    number = ParseConfigInteger(key.substr(digits));
    return number >= 1;
}

std::wstring BaseOf(const std::wstring& key, std::wstring& digits) {
    size_t end = key.size();
    while (end > 0 && key[end - 1] >= L'0' && key[end - 1] <= L'9') --end;
    digits = key.substr(end);
    return key.substr(0, end);
}

std::wstring ClosestName(const std::wstring& word, const std::vector<std::wstring>& candidates) {
    for (const std::wstring& c : candidates) {
        if (EqualsIgnoreCaseAscii(c, word)) return c;
    }
    const size_t limit = word.size() <= 4 ? 1 : 2;
    std::wstring best;
    size_t bestDistance = limit + 1;
    for (const std::wstring& c : candidates) {
        const size_t d = EditDistance(word, c);
        if (d < bestDistance) {
            bestDistance = d;
            best = c;
        }
    }
    return best;
}

bool IsPlainDecimal(const std::wstring& text) {
    if (text.empty()) return false;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
    }
    return true;
}

bool IsHexText(const std::wstring& text, size_t length) {
    if (text.size() != length) return false;
    for (wchar_t c : text) {
        const bool hex =
            (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
        if (!hex) return false;
    }
    return true;
}

bool IsAbsolutePath(const std::wstring& path) {
    return StartsWith(path, L"\\\\") || (path.size() >= 2 && path[1] == L':');
}

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

}  // namespace pravel
