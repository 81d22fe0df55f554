// The quiet-switch matcher against std::wregex as the oracle: the product
// may not link <regex>, the tests may.
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "launch/QuietSwitch.h"

using pravel::HasQuietSwitch;

namespace {

bool Oracle(const std::wstring& text) {
    static const std::wregex pattern(
        L" ?(-|/)+q", std::regex_constants::ECMAScript | std::regex_constants::icase);
    return std::regex_search(text, pattern);
}

std::string Shown(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        out += c < 128 ? std::string(1, static_cast<char>(c)) : "\\u" + std::to_string(c);
    }
    return out;
}

}  // namespace

TEST(QuietSwitch, TheDocumentedSwitches) {
    for (const wchar_t* quiet : {L"/norestart /QN", L"-q", L"/q", L"/quiet", L"/qn", L"/qb", L"--q",
                                 L"-Q", L"x-/-q", L"C:\\setup\\-quick\\log.txt", L"/Qb!"}) {
        EXPECT_TRUE(HasQuietSwitch(quiet)) << Shown(quiet);
        EXPECT_TRUE(Oracle(quiet)) << Shown(quiet);
    }
    for (const wchar_t* shown : {L"/norestart", L"", L"q", L"- q", L"/ q", L"quiet", L"\\q",
                                 L"/passive", L"-\x0FF51", L"/\x0FF31"}) {
        EXPECT_FALSE(HasQuietSwitch(shown)) << Shown(shown);
        EXPECT_FALSE(Oracle(shown)) << Shown(shown);
    }
}

TEST(QuietSwitch, AgreesWithTheRegularExpressionOnGeneratedArguments) {
    const wchar_t alphabet[] = {L' ', L' ',  L'-',  L'-', L'/', L'/', L'q',   L'Q',   L'a',  L'N',
                                L'x', L'\t', L'\\', L'"', L'=', L'0', 0x00E9, 0xFF51, 0xFF31};
    std::mt19937 random(20261208);
    std::uniform_int_distribution<size_t> letter(0, sizeof(alphabet) / sizeof(alphabet[0]) - 1);
    std::uniform_int_distribution<size_t> length(0, 12);
    int matches = 0;
    const int cases = 6000;
    for (int n = 0; n < cases; ++n) {
        std::wstring text;
        const size_t size = length(random);
        for (size_t i = 0; i < size; ++i) text.push_back(alphabet[letter(random)]);
        const bool expected = Oracle(text);
        ASSERT_EQ(expected, HasQuietSwitch(text)) << "\"" << Shown(text) << "\"";
        matches += expected ? 1 : 0;
    }
    // Both outcomes must be well represented for the comparison to mean something.
    EXPECT_GT(matches, cases / 10);
    EXPECT_LT(matches, cases * 9 / 10);
}

TEST(QuietSwitch, AgreesOnEveryShortStringOfTheKeyCharacters) {
    const wchar_t keys[] = {L' ', L'-', L'/', L'q', L'Q', L'z'};
    for (int size = 0; size <= 5; ++size) {
        int total = 1;
        for (int i = 0; i < size; ++i) total *= 6;
        for (int code = 0; code < total; ++code) {
            std::wstring text;
            for (int i = 0, rest = code; i < size; ++i, rest /= 6) text.push_back(keys[rest % 6]);
            ASSERT_EQ(Oracle(text), HasQuietSwitch(text)) << "\"" << Shown(text) << "\"";
        }
    }
}
