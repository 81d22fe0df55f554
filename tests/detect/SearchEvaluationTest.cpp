#include <gtest/gtest.h>

#include "common/Text.h"
#include "detect/RegistryPath.h"
#include "detect/SearchEvaluation.h"
#include "detect/SearchReport.h"

using namespace pravel;

namespace {

// Answers each search from its SearchString: "true"/"false" for flag types,
// "v:<value>" pieces for collecting ones. Records the order of the runs.
class ScriptedRunner : public SearchRunner {
  public:
    bool Run(const PrerequisiteSearch& search, bool use64, SearchResult& result) override {
        ran.push_back(search.searchString);
        lastUse64 = use64;
        if (search.searchString.rfind(L"v:", 0) == 0) {
            result.foundValues.push_back(search.searchString.substr(2));
            return false;
        }
        return search.searchString == L"true";
    }
    void Decided(size_t number, const PrerequisiteSearch& search,
                 const SearchResult& result) override {
        decided.push_back(std::to_wstring(number) + L" " + search.searchString +
                          (result.found ? L" found" : L" not found"));
    }
    std::vector<std::wstring> ran;
    std::vector<std::wstring> decided;  // "<number> <SearchString> found|not found"
    bool lastUse64 = false;
};

PrerequisiteSearch Flag(bool value) {
    PrerequisiteSearch s;
    s.type = kSearchKeyExists;
    s.searchString = value ? L"true" : L"false";
    return s;
}

PrerequisiteSearch Collect(const wchar_t* value, const wchar_t* verMin = L"",
                           const wchar_t* verMax = L"") {
    PrerequisiteSearch s;
    s.type = kSearchRegistryValue;
    s.searchString = std::wstring(L"v:") + value;
    s.verMin = verMin;
    s.verMax = verMax;
    return s;
}

}  // namespace

TEST(SearchCombination, AllMustSucceedAndStopsAtTheFirstFailure) {
    ScriptedRunner runner;
    std::vector<SearchResult> results;
    EXPECT_FALSE(EvaluateSearches({Flag(false), Flag(true)}, results, 0, false, runner));
    EXPECT_EQ(1u, runner.ran.size());
    ASSERT_EQ(1u, results.size());
    EXPECT_FALSE(results[0].found);
    runner.ran.clear();
    EXPECT_TRUE(EvaluateSearches({Flag(true), Flag(true)}, results, 0, true, runner));
    EXPECT_EQ(2u, results.size());
    EXPECT_TRUE(runner.lastUse64);
}

TEST(SearchCombination, OneSufficesAndStopsAtTheFirstSuccess) {
    ScriptedRunner runner;
    std::vector<SearchResult> results;
    EXPECT_TRUE(EvaluateSearches({Flag(true), Flag(false)}, results, 1, false, runner));
    EXPECT_EQ(1u, runner.ran.size());
    runner.ran.clear();
    EXPECT_FALSE(EvaluateSearches({Flag(false), Flag(false)}, results, 1, false, runner));
    EXPECT_EQ(2u, runner.ran.size());
}

TEST(SearchCombination, OtherOperatorsRunEverythingAndStayFalse) {
    ScriptedRunner runner;
    std::vector<SearchResult> results;
    EXPECT_FALSE(EvaluateSearches({Flag(true), Flag(true)}, results, 2, false, runner));
    EXPECT_EQ(2u, runner.ran.size());
}

TEST(SearchCombination, NoSearchesArePresentUnderZeroAndAbsentUnderOne) {
    ScriptedRunner runner;
    std::vector<SearchResult> results(3);
    EXPECT_TRUE(EvaluateSearches({}, results, 0, false, runner));
    EXPECT_TRUE(results.empty());
    EXPECT_FALSE(EvaluateSearches({}, results, 1, false, runner));
}

TEST(SearchCombination, UnknownTypesRunNothingAndCountAsFound) {
    ScriptedRunner runner;
    std::vector<SearchResult> results;
    PrerequisiteSearch odd = Flag(false);
    odd.type = 99;
    PrerequisiteSearch negative = Flag(false);
    negative.type = -1;
    EXPECT_TRUE(EvaluateSearches({odd, negative}, results, 0, false, runner));
    EXPECT_TRUE(runner.ran.empty());
    EXPECT_EQ(2u, results.size());
}

TEST(SearchCombination, CollectingTypesAreJudgedByVersion) {
    ScriptedRunner runner;
    std::vector<SearchResult> results;
    EXPECT_TRUE(EvaluateSearches({Collect(L"4.8.1", L"4.8")}, results, 0, false, runner));
    EXPECT_FALSE(EvaluateSearches({Collect(L"4.7", L"4.8")}, results, 0, false, runner));
    ASSERT_EQ(1u, results.size());
    EXPECT_EQ(L"4.7", results[0].foundValues[0]);
}

// The runner is told every search that ran, numbered from 1, with the found
// flag that counted (version acceptance for the collecting types), and none
// that did not run.
TEST(SearchCombination, EverySearchThatRanIsReportedWithItsVerdict) {
    ScriptedRunner runner;
    std::vector<SearchResult> results;
    EXPECT_FALSE(EvaluateSearches({Flag(true), Collect(L"4.7", L"4.8"), Flag(true)}, results, 0,
                                  false, runner));
    EXPECT_EQ((std::vector<std::wstring>{L"1 true found", L"2 v:4.7 not found"}), runner.decided);
    runner.decided.clear();
    EXPECT_TRUE(
        EvaluateSearches({Flag(false), Collect(L"5"), Flag(false)}, results, 1, false, runner));
    EXPECT_EQ((std::vector<std::wstring>{L"1 false not found", L"2 v:5 found"}), runner.decided);
}

TEST(ReferenceComparison, Operators) {
    EXPECT_TRUE(CompareWithReference(L"abc", L"Mabc"));
    EXPECT_FALSE(CompareWithReference(L"abc", L"MABC"));
    EXPECT_TRUE(CompareWithReference(L"abc", L"Dabd"));
    EXPECT_TRUE(CompareWithReference(L"xabcx", L"Cabc"));
    EXPECT_TRUE(CompareWithReference(L"xabcx", L"Xabd"));
    EXPECT_FALSE(CompareWithReference(L"xabcx", L"Xabc"));
    EXPECT_TRUE(CompareWithReference(L"1.2.3", L"S1.2"));
    EXPECT_TRUE(CompareWithReference(L"1.2.3", L"E.3"));
    EXPECT_FALSE(CompareWithReference(L"1.2.3", L"e.3"));
    EXPECT_FALSE(CompareWithReference(L"1.2.3", L"Q1.2.3"));
    EXPECT_FALSE(CompareWithReference(L"", L""));
}

TEST(ReferenceComparison, GreaterAndLessNeedDigitsOnBothSides) {
    EXPECT_TRUE(CompareWithReference(L"11", L"G10"));
    EXPECT_FALSE(CompareWithReference(L"10", L"G10"));
    EXPECT_FALSE(CompareWithReference(L"10a", L"G10"));
    EXPECT_FALSE(CompareWithReference(L"99", L"Gabc"));
    EXPECT_FALSE(CompareWithReference(L"99", L"G"));
    EXPECT_TRUE(CompareWithReference(L"9", L"L10"));
    EXPECT_TRUE(CompareWithReference(L"0009", L"L10"));
    EXPECT_FALSE(CompareWithReference(L"-1", L"L10"));
    EXPECT_TRUE(CompareWithReference(L"123456789012345678901", L"G123456789012345678900"));
}

TEST(FileSearchString, DepthAndBareNames) {
    FileSearchTarget parsed = ParseFileSearchString(L"C:\\x\\app.exe?2");
    EXPECT_EQ(L"C:\\x\\app.exe", parsed.path);
    EXPECT_EQ(2, parsed.depth);
    parsed = ParseFileSearchString(L"?3");  // a "?" at the first position is part of the path
    EXPECT_EQ(L"?3", parsed.path);
    EXPECT_EQ(0, parsed.depth);
    parsed = ParseFileSearchString(L"app.exe?x");
    EXPECT_EQ(0, parsed.depth);
    EXPECT_TRUE(IsBareFileName(L"app.exe"));
    EXPECT_FALSE(IsBareFileName(L"[SystemFolder]app.exe"));
    EXPECT_FALSE(IsBareFileName(L"%WINDIR%app.exe"));
    EXPECT_FALSE(IsBareFileName(L"!HKLM\\x\\y!app.exe"));
    EXPECT_FALSE(IsBareFileName(L"C:\\app.exe"));
}

TEST(RegistryPaths, RootsKeysAndValues) {
    RegistryPath path;
    ASSERT_TRUE(ParseRegistryValuePath(L"hklm\\Software\\X\\Version", path));
    EXPECT_EQ(RegistryRoot::kLocalMachine, path.root);
    EXPECT_EQ(L"Software\\X", path.key);
    EXPECT_EQ(L"Version", path.valueName);
    ASSERT_TRUE(ParseRegistryValuePath(L"HKEY_CURRENT_USER\\Value", path));
    EXPECT_EQ(RegistryRoot::kCurrentUser, path.root);
    EXPECT_EQ(L"", path.key);
    EXPECT_EQ(L"Value", path.valueName);
    ASSERT_TRUE(ParseRegistryKeyPath(L"HKCR\\.txt\\ShellNew", path));
    EXPECT_EQ(RegistryRoot::kClassesRoot, path.root);
    EXPECT_EQ(L".txt\\ShellNew", path.key);
    ASSERT_TRUE(ParseRegistryKeyPath(L"HKCC\\System", path));
    EXPECT_EQ(RegistryRoot::kCurrentConfig, path.root);
    for (const wchar_t* users : {L"HKU\\S-1-5-18", L"HKEY_USERS\\x", L"HKLN\\Software"}) {
        ASSERT_TRUE(ParseRegistryKeyPath(users, path));
        EXPECT_EQ(RegistryRoot::kUsers, path.root);
    }
    EXPECT_FALSE(ParseRegistryKeyPath(L"HKLM", path));
    EXPECT_FALSE(ParseRegistryValuePath(L"novalue", path));
}

// --- The log line of one search ---------------------------------------------

namespace {

struct Described {
    int32_t type;
    const wchar_t* bounds;  // "VerMin|VerMax|RefContent"
    const wchar_t* read;    // the values read, separated by "|"; null: none
    bool found;
    const wchar_t* expected;  // after "Search 2 (S): "
};

class SearchLine : public ::testing::TestWithParam<Described> {};

}  // namespace

TEST_P(SearchLine, SaysWhatWasReadAndWhatDecided) {
    const Described& c = GetParam();
    const std::vector<std::wstring> bounds = Split(c.bounds, L"|");
    PrerequisiteSearch search;
    search.type = c.type;
    search.searchString = L"S";
    search.verMin = bounds.at(0);
    search.verMax = bounds.at(1);
    search.refContent = bounds.at(2);
    SearchResult result;
    if (c.read != nullptr) result.foundValues = Split(c.read, L"|");
    result.found = c.found;
    EXPECT_EQ(std::wstring(L"Search 2 (S): ") + c.expected, DescribeSearch(2, search, result));
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, SearchLine,
    ::testing::Values(
        Described{kSearchRegistryValue, L"||", nullptr, false, L"nothing read: not found"},
        Described{kSearchFile, L"||", L"0.0.0.0", true,
                  L"read \"0.0.0.0\"; no VerMin or VerMax: any value counts: found"},
        // Each verdict up to the first accepted value, then the bounds.
        Described{kSearchSubkeyNames, L"14.2|15|", L"v14|abc|14.1|15.0.1|15.0-rc.1|14.40|14.50",
                  true,
                  L"read \"v14\" (below VerMin), \"abc\" (no version), \"14.1\" (below VerMin), "
                  L"\"15.0.1\" (above VerMax), \"15.0-rc.1\" (pre-release), \"14.40\" "
                  L"(accepted) and 1 more; VerMin=14.2, VerMax=15: found"},
        // Ten values at most.
        Described{kSearchValueNames, L"||", L"a|b|c|d|e|f|g|h|i|j|k|l", true,
                  L"read \"a\", \"b\", \"c\", \"d\", \"e\", \"f\", \"g\", \"h\", \"i\", \"j\" "
                  L"and 2 more; no VerMin or VerMax: any value counts: found"},
        // Type 9: the value read and its comparison; VerMin and VerMax do not apply.
        Described{kSearchValueCompare, L"1|2|G10", L"14", true,
                  L"read \"14\"; RefContent G10 (greater, digits only) holds: found"},
        Described{kSearchValueCompare, L"||Qabc", L"abc", false,
                  L"read \"abc\"; RefContent Qabc (unknown operator) does not hold: not found"},
        Described{kSearchValueCompare, L"||Mabc", nullptr, false, L"nothing read: not found"},
        // What the system answered; types 6 and 8 are found when it says no.
        Described{kSearchKeyMissing, L"||", nullptr, true, L"the key did not open: found"},
        Described{kSearchValueMissing, L"||", nullptr, false, L"the value exists: not found"},
        Described{kSearchRunProgram, L"||", nullptr, false,
                  L"the program did not exit with 0: not found"},
        Described{kSearchMsiComponent, L"||", nullptr, true, L"the component is installed: found"},
        Described{-1, L"||", nullptr, true, L"no such SearchType: it counts as found: found"}));

TEST(SearchLine, EveryComparisonLetterIsNamed) {
    const std::pair<const wchar_t*, const wchar_t*> letters[] = {{L"M", L"(equals)"},
                                                                 {L"D", L"(differs)"},
                                                                 {L"C", L"(contains)"},
                                                                 {L"X", L"(does not contain)"},
                                                                 {L"S", L"(starts with)"},
                                                                 {L"E", L"(ends with)"},
                                                                 {L"G", L"(greater, digits only)"},
                                                                 {L"L", L"(less, digits only)"}};
    PrerequisiteSearch search;
    search.type = kSearchValueCompare;
    SearchResult result;
    result.foundValues = {L"1"};
    for (const auto& [letter, named] : letters) {
        search.refContent = std::wstring(letter) + L"1";
        EXPECT_NE(std::wstring::npos,
                  DescribeSearch(1, search, result).find(search.refContent + L" " + named))
            << testing::PrintToString(letter);
    }
}
