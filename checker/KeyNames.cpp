#include "checker/KeyNames.h"

#include <algorithm>

#include "common/IntegerRule.h"
#include "common/Text.h"
#include "ui/WindowTexts.h"

namespace pravel {

namespace {

// The rows of one distance table, kept across the candidates of one look-up.
struct DistanceRows {
    std::vector<size_t> older, previous, current;
};

// Optimal string alignment distance, ASCII case ignored (`x` is already in
// lowercase), when it is at most `limit`; otherwise limit + 1. Words whose
// lengths differ by more than `limit` are not compared at all; otherwise
// only the cells within `limit` of the diagonal are computed, in three
// rows: time grows with length times limit, memory with the length.
size_t EditDistance(const std::wstring& x, const std::wstring& y, size_t limit,
                    DistanceRows& rows) {
    const size_t far = limit + 1;
    if ((x.size() > y.size() ? x.size() - y.size() : y.size() - x.size()) > limit) return far;
    const size_t m = y.size();
    // Rows i-2, i-1 and i; a cell outside the band reads as `far`.
    std::vector<size_t>& older = rows.older;
    std::vector<size_t>& previous = rows.previous;
    std::vector<size_t>& current = rows.current;
    older.assign(m + 1, far);
    previous.assign(m + 1, far);
    current.assign(m + 1, far);
    for (size_t j = 0; j <= std::min(m, limit); ++j) previous[j] = j;
    for (size_t i = 1; i <= x.size(); ++i) {
        const size_t from = i > limit ? i - limit : 1;
        const size_t to = std::min(m, i + limit);
        current[from - 1] = from == 1 ? std::min(i, far) : far;
        for (size_t j = from; j <= to; ++j) {
            const wchar_t yj = ToLowerAscii(y[j - 1]);
            const size_t cost = x[i - 1] == yj ? 0 : 1;
            size_t d = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && x[i - 1] == ToLowerAscii(y[j - 2]) && x[i - 2] == yj) {
                d = std::min(d, older[j - 2] + 1);
            }
            current[j] = std::min(d, far);
        }
        if (to < m) current[to + 1] = far;
        older.swap(previous);
        previous.swap(current);
    }
    return previous[m];
}

}  // namespace

const std::vector<std::wstring>& GeneralKeys() {
    static const std::vector<std::wstring> keys = {L"MainAppCmdLine",
                                                   L"Options",
                                                   L"UpdatesUrl",
                                                   L"ProductVersion",
                                                   L"MinWIVer",
                                                   L"DownloadFolder",
                                                   L"MainAppURL",
                                                   L"UwpAppxURL",
                                                   L"LanguageList",
                                                   L"ExtractionFolder",
                                                   L"KeepFiles",
                                                   L"PackJars",
                                                   L"AllPlatforms",
                                                   L"Is64PlatformTransf",
                                                   L"Langs",
                                                   L"PackageCode",
                                                   L"DefaultProdCode",
                                                   L"ProductCode",
                                                   L"UpgradeCode",
                                                   L"ExtUIStub",
                                                   L"SaveExtUIStub",
                                                   L"FileExtractFirst",
                                                   L"MsiCertData",
                                                   L"AppxVersion",
                                                   L"AppxPkId",
                                                   L"ElevateOnce",
                                                   L"DownloadTimeLimit",
                                                   L"DownloadMinRate"};
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
                                                   L"SignerName",
                                                   L"SignerKey",
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

const std::vector<std::wstring>& TextKeys() {
    static const std::vector<std::wstring> keys = [] {
        std::vector<std::wstring> names;
        for (uint8_t k = 0; k < kTextKeyCount; ++k) names.push_back(TextKeyName(TextKey(k)));
        return names;
    }();
    return keys;
}

const wchar_t* BuiltInText(size_t index) {
    static const wchar_t* const kTexts[kTextKeyCount] = {
        L"(the ProductName of pravel.exe's version resource)",
        L"%s Setup",
        L"Preparing...",
        L"Searching for prerequisites...",
        L"Downloading %s",
        L"Installing %s",
        L"%s could not be installed.",
        L"Opening site of %s",
        L"The web page of %s opens in your browser. Follow its instructions, then press OK.",
        L"You must reboot your computer in order to continue the installation. Press Yes to "
        L"restart now or press No to abort the installation and manually restart later.",
        L"Confirmation",
        L"Connect to %s",
        L"The server %s at %s requires a username and password. Please enter them below.",
        L"The server %s requires a username and password. Please enter them below.",
        L"Skip",
        L"Cancel",
        L"User name:",
        L"Password:",
        L"Remember my credentials",
        L"OK",
        L"Error",
        L"Details >>",
        L"Details <<",
        L"Close",
        L"Copy",
        L"(the icon of pravel.exe)",
        L"(the reading layout of the language)",
    };
    return index < kTextKeyCount ? kTexts[index] : L"";
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

namespace {

// Characters counted by their lowercase form (in 64 buckets): an edit
// changes the counts by at most 2, so half the difference of two words'
// counts is a lower bound of their distance, found without the table.
void CountLetters(const std::wstring& text, int sign, int (&counts)[64]) {
    for (wchar_t c : text) counts[static_cast<uint32_t>(ToLowerAscii(c)) & 63] += sign;
}

}  // namespace

std::wstring ClosestName(const std::wstring& word, const std::vector<std::wstring>& candidates,
                         const std::vector<std::wstring>* more) {
    const std::vector<std::wstring>* lists[] = {&candidates, more};
    for (const std::vector<std::wstring>* list : lists) {
        if (list == nullptr) continue;
        for (const std::wstring& c : *list) {
            if (EqualsIgnoreCaseAscii(c, word)) return c;
        }
    }
    const size_t limit = word.size() <= 4 ? 1 : 2;
    std::wstring best;
    size_t bestDistance = limit + 1;
    std::wstring lowered;  // made once a candidate is near enough in length
    int wordCounts[64] = {};
    DistanceRows rows;
    for (const std::vector<std::wstring>* list : lists) {
        if (list == nullptr) continue;
        for (const std::wstring& c : *list) {
            if ((word.size() > c.size() ? word.size() - c.size() : c.size() - word.size()) >
                limit) {
                continue;
            }
            if (lowered.empty()) {
                lowered = ToLowerAscii(word);
                CountLetters(word, 1, wordCounts);
            }
            int counts[64];
            std::copy(std::begin(wordCounts), std::end(wordCounts), counts);
            CountLetters(c, -1, counts);
            size_t difference = 0;
            for (int n : counts) difference += static_cast<size_t>(n < 0 ? -n : n);
            if ((difference + 1) / 2 > limit) continue;
            const size_t d = EditDistance(lowered, c, limit, rows);
            if (d < bestDistance) {
                bestDistance = d;
                best = c;
            }
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

bool IsInvisibleCharacter(wchar_t c) {
    const uint32_t u = static_cast<uint32_t>(c) & 0xFFFF;
    return u == 0x00AD || u == 0x034F || u == 0x061C || u == 0x115F || u == 0x1160 || u == 0x17B4 ||
           u == 0x17B5 || u == 0x180E || (u >= 0x200B && u <= 0x200F) ||
           (u >= 0x202A && u <= 0x202E) || (u >= 0x2060 && u <= 0x206F) || u == 0x3164 ||
           u == 0xFEFF || u == 0xFFA0 || (u >= 0xFFF9 && u <= 0xFFFB);
}

std::wstring VisibleText(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        if (c == L'\n') {
            out += L"<LF>";
        } else if (c == L'\r') {
            out += L"<CR>";
        } else if (c == L'\t') {
            out += L"<TAB>";
        } else if (static_cast<uint32_t>(c) < 0x20 || IsInvisibleCharacter(c)) {
            const wchar_t* hex = L"0123456789ABCDEF";
            const uint32_t u = static_cast<uint32_t>(c) & 0xFFFF;
            out += L"<U+";
            for (int shift = 12; shift >= 0; shift -= 4) out += hex[(u >> shift) & 0xF];
            out += L">";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace pravel
