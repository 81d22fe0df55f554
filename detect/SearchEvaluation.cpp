#include "detect/SearchEvaluation.h"

#include "common/IntegerRule.h"
#include "common/Text.h"
#include "detect/VersionNumber.h"

namespace pravel {

bool IsCollectingSearch(int32_t type) {
    switch (type) {
        case kSearchFile:
        case kSearchSubkeyNames:
        case kSearchRegistryValue:
        case kSearchMsiProduct:
        case kSearchMsiUpgradeCode:
        case kSearchValueNames:
        case kSearchPackage:
        case kSearchSubfolderNames:
            return true;
        default:
            return false;
    }
}

namespace {

bool IsKnownSearch(int32_t type) {
    return type >= kSearchFile && type <= kSearchSubfolderNames;
}

bool AllDigits(const std::wstring& text) {
    if (text.empty()) return false;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
    }
    return true;
}

// Compares two digit strings as numbers of any length.
int CompareDigits(const std::wstring& a, const std::wstring& b) {
    const size_t aStart = a.find_first_not_of(L'0');
    const size_t bStart = b.find_first_not_of(L'0');
    const std::wstring x = aStart == std::wstring::npos ? L"" : a.substr(aStart);
    const std::wstring y = bStart == std::wstring::npos ? L"" : b.substr(bStart);
    if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
    return x.compare(y) < 0 ? -1 : (x == y ? 0 : 1);
}

}  // namespace

bool EvaluateSearches(const std::vector<PrerequisiteSearch>& searches,
                      std::vector<SearchResult>& results, int32_t op, bool use64,
                      SearchRunner& runner) {
    results.clear();
    bool running = op == 0;
    for (const auto& search : searches) {
        SearchResult result;
        bool found = true;  // unknown types run nothing and count as found
        if (IsKnownSearch(search.type)) {
            const bool flag = runner.Run(search, use64, result);
            found = IsCollectingSearch(search.type)
                        ? IsAnyVersionAccepted(result.foundValues, search.verMin, search.verMax)
                        : flag;
        }
        result.found = found;
        runner.Decided(results.size() + 1, search, result);
        results.push_back(std::move(result));
        if (op == 0) {
            running = running && found;
            if (!running) break;
        } else if (op == 1) {
            running = running || found;
            if (running) break;
        }
    }
    return running;
}

bool CompareWithReference(const std::wstring& value, const std::wstring& refContent) {
    if (refContent.empty()) return false;
    const std::wstring reference = refContent.substr(1);
    switch (refContent[0]) {
        case L'M':
            return value == reference;
        case L'D':
            return value != reference;
        case L'C':
            return Contains(value, reference);
        case L'X':
            return !Contains(value, reference);
        case L'S':
            return StartsWith(value, reference);
        case L'E':
            return EndsWith(value, reference);
        case L'G':
            return AllDigits(value) && AllDigits(reference) && CompareDigits(value, reference) > 0;
        case L'L':
            return AllDigits(value) && AllDigits(reference) && CompareDigits(value, reference) < 0;
        default:
            return false;
    }
}

FileSearchTarget ParseFileSearchString(const std::wstring& searchString) {
    FileSearchTarget parsed;
    const size_t mark = searchString.find(L'?', 1);
    if (mark == std::wstring::npos) {
        parsed.path = searchString;
    } else {
        parsed.path = searchString.substr(0, mark);
        parsed.depth = ParseConfigInteger(searchString.substr(mark + 1));
    }
    return parsed;
}

bool IsBareFileName(const std::wstring& path) {
    return path.find_first_of(L"\\]%!") == std::wstring::npos;
}

}  // namespace pravel
