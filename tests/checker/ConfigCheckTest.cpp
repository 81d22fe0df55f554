#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checker/ConfigCheck.h"
#include "checker/Explain.h"
#include "checker/Utf8.h"

using namespace pravel;

namespace {

// The bytes of a UTF-16LE file with byte-order mark holding `lines`.
std::vector<uint8_t> File(std::initializer_list<const wchar_t*> lines) {
    std::vector<uint8_t> bytes = {0xFF, 0xFE};
    for (const wchar_t* line : lines) {
        for (const wchar_t* c = line;; ++c) {
            const wchar_t unit = *c == 0 ? L'\r' : *c;
            bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
            bytes.push_back(static_cast<uint8_t>((unit >> 8) & 0xFF));
            if (*c == 0) {
                bytes.push_back('\n');
                bytes.push_back(0);
                break;
            }
        }
    }
    return bytes;
}

CheckReport Check(std::initializer_list<const wchar_t*> lines) {
    const std::vector<uint8_t> bytes = File(lines);
    return CheckConfiguration(bytes.data(), bytes.size());
}

}  // namespace

TEST(ConfigCheck, ClosestNamePrefersCaseThenSmallEdits) {
    const std::vector<std::wstring> keys = {L"SetupFile", L"SearchType1", L"Url", L"Options"};
    EXPECT_EQ(L"SetupFile", ClosestName(L"SETUPFILE", keys));
    EXPECT_EQ(L"SearchType1", ClosestName(L"SaerchType1", keys));  // swapped neighbours
    EXPECT_EQ(L"SearchType1", ClosestName(L"SeachTyp1", keys));    // two deletions
    EXPECT_EQ(L"Url", ClosestName(L"Uri", keys));
    EXPECT_EQ(L"", ClosestName(L"Ur", keys.empty() ? keys : std::vector<std::wstring>{L"Options"}));
    EXPECT_EQ(L"", ClosestName(L"Colour", keys));
    EXPECT_EQ(L"", ClosestName(L"Usr1", keys));  // short words allow one edit only
}

TEST(ConfigCheck, LoadsWhatPravelLoadsAndCountsSeverities) {
    const CheckReport report =
        Check({L"[GeneralOptions]", L"Options=q", L"[PREREQUISITES]", L"App1=One", L"App2=Two",
               L"[App1]", L"SetupFile=C:\\a.exe", L"Colour=blue", L"[App2]", L"Options=m"});
    EXPECT_EQ(1u, report.set.Count());
    EXPECT_EQ(2u, report.listed);
    EXPECT_EQ(1, report.Errors());
    EXPECT_EQ(1, report.Warnings());
    EXPECT_EQ(2, CheckExitCode(report));
    // Ordered by line: the unknown key (line 8) before the section without location (9).
    ASSERT_EQ(2u, report.findings.size());
    EXPECT_EQ(8, report.findings[0].line);
    EXPECT_EQ(9, report.findings[1].line);
    EXPECT_EQ(L"x.ini:9: error: " + report.findings[1].text,
              FormatFinding(L"x.ini", report.findings[1]));
    EXPECT_EQ(L"x.ini: 1 error, 1 warning; 1 of 2 prerequisites loaded",
              FormatSummary(L"x.ini", report));
}

TEST(ConfigCheck, CleanFileAndEmptyFile) {
    const CheckReport clean =
        Check({L"[GeneralOptions]", L"Options=b", L"[PREREQUISITES]", L"App1=One", L"[App1]",
               L"SetupFile=\\\\server\\share\\a.exe"});
    EXPECT_TRUE(clean.findings.empty());
    EXPECT_EQ(0, CheckExitCode(clean));
    EXPECT_EQ(L"f: no findings; 1 of 1 prerequisite loaded", FormatSummary(L"f", clean));

    // An empty file is an empty configuration: nothing is lost, nothing is done.
    const CheckReport empty = CheckConfiguration(nullptr, 0);
    // Warnings: no Options, no [PREREQUISITES].
    EXPECT_EQ(0, empty.Errors());
    EXPECT_EQ(2, empty.Warnings());
    EXPECT_EQ(1, CheckExitCode(empty));
}

TEST(ConfigCheck, InstallerArgumentsFollowTheFirstUiLetter) {
    Prerequisite p;
    p.commandLine = L"/full";
    p.basicUiCommandLine = L"/passive";
    p.noUiCommandLine = L"/quiet";
    struct Case {
        const wchar_t* options;
        const wchar_t* silent;
        const wchar_t* basic;
        const wchar_t* neither;
    };
    const Case cases[] = {
        {L"", L"/full", L"/full", L"/full"},
        {L"b", L"/full /passive", L"/full /passive", L"/full /passive"},
        {L"q", L"/full /quiet", L"/full /quiet", L"/full /quiet"},
        {L"n", L"/full /quiet", L"/full /passive", L"/full"},
        {L"j", L"/full", L"/full", L"/full"},
        {L"nb", L"/full /passive", L"/full /passive", L"/full /passive"},  // b is looked for first
        {L"jn", L"/full", L"/full", L"/full"},
    };
    for (const Case& c : cases) {
        p.options = c.options;
        EXPECT_EQ(c.silent, InstallerArguments(p, 0)) << c.options;
        EXPECT_EQ(c.basic, InstallerArguments(p, 1)) << c.options;
        EXPECT_EQ(c.neither, InstallerArguments(p, 2)) << c.options;
    }
}

TEST(ConfigCheck, SearchesInWords) {
    PrerequisiteSearch s;
    s.type = 2;
    s.searchString = L"HKLM\\S\\V";
    s.verMin = L"1.2";
    EXPECT_EQ(L"the registry value \"HKLM\\S\\V\" holds a version of at least 1.2",
              DescribeSearch(s));
    s.type = 9;
    s.refContent = L"Sabc";
    EXPECT_EQ(L"the registry value \"HKLM\\S\\V\" starts with \"abc\"", DescribeSearch(s));
    s.type = 0;
    s.searchString = L"app.dll?2";
    s.verMin.clear();
    EXPECT_EQ(
        L"the file \"app.dll\" at the root of a fixed drive (or up to 2 folder levels below) "
        L"has a version (any version)",
        DescribeSearch(s));
    s.type = 77;
    EXPECT_EQ(L"search type 77 (unknown): always counts as found", DescribeSearch(s));
}

TEST(ConfigCheck, Utf8BothWays) {
    const std::wstring text = {L'a', 0x00FC, 0x20AC, 0xD83D, 0xDE00, 0xDC00};
    const std::string bytes = Utf8FromUtf16(text);
    EXPECT_EQ(std::string("a\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD"), bytes);
    EXPECT_EQ(text.substr(0, 5) + std::wstring(1, 0xFFFD), Utf16FromUtf8(bytes));
    EXPECT_EQ(std::wstring(1, 0xFFFD) + L"x", Utf16FromUtf8("\xC3x"));
}
