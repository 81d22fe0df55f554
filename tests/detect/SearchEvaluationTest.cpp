#include <gtest/gtest.h>

#include "detect/RegistryPath.h"
#include "detect/SearchEvaluation.h"

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
    std::vector<std::wstring> ran;
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
