#include <gtest/gtest.h>

#include "detect/VersionNumber.h"

using namespace pravel;

namespace {

std::vector<int32_t> Parts(const wchar_t* text) {
    const VersionNumber v = VersionNumber::Parse(text);
    return {v.parts[0], v.parts[1], v.parts[2], v.parts[3]};
}

}  // namespace

TEST(VersionNumber, AnyNonDigitSeparates) {
    EXPECT_EQ((std::vector<int32_t>{1, 2, 3, 4}), Parts(L"1.2.3.4"));
    EXPECT_EQ((std::vector<int32_t>{1, 2, 0, 0}), Parts(L"v-1-2"));
    EXPECT_EQ((std::vector<int32_t>{10, 0, 5, 0}), Parts(L"10,0 build 5"));
    EXPECT_EQ((std::vector<int32_t>{1, 2, 3, 4}), Parts(L"1.2.3.4.5.6"));
    EXPECT_EQ(2, VersionNumber::Parse(L"7.1").count);
    EXPECT_FALSE(VersionNumber::Parse(L"").IsSet());
    EXPECT_FALSE(VersionNumber::Parse(L"none").IsSet());
    EXPECT_FALSE(VersionNumber::Parse(L"0.0.0.0").IsSet());
}

TEST(VersionNumber, OverflowLeavesTheVersionUnset) {
    EXPECT_EQ((std::vector<int32_t>{2147483647, 1, 0, 0}), Parts(L"2147483647.1"));
    EXPECT_FALSE(VersionNumber::Parse(L"2147483648.1").IsSet());
    EXPECT_FALSE(VersionNumber::Parse(L"1.99999999999999999999").IsSet());
}

TEST(VersionAcceptance, BoundsAreInclusive) {
    EXPECT_TRUE(IsAnyVersionAccepted({L"1.2.0.0"}, L"1.2", L"1.2"));
    EXPECT_FALSE(IsAnyVersionAccepted({L"1.2.0.1"}, L"1.2", L"1.2"));
    EXPECT_TRUE(IsAnyVersionAccepted({L"2.0.0.0"}, L"1.0", L"2.0"));
    EXPECT_FALSE(IsAnyVersionAccepted({L"2.0.0.1"}, L"1.0", L"2.0"));
    EXPECT_FALSE(IsAnyVersionAccepted({L"0.9"}, L"1.0", L""));
    EXPECT_TRUE(IsAnyVersionAccepted({L"99"}, L"1.0", L""));
    EXPECT_TRUE(IsAnyVersionAccepted({L"0.1"}, L"", L"1.0"));
}

TEST(VersionAcceptance, EmptyAndUnsetValues) {
    EXPECT_FALSE(IsAnyVersionAccepted({}, L"", L""));
    EXPECT_TRUE(IsAnyVersionAccepted({L"0.0.0.0"}, L"", L""));  // no bounds: anything found
    EXPECT_TRUE(IsAnyVersionAccepted({L"no digits"}, L"", L""));
    EXPECT_FALSE(IsAnyVersionAccepted({L"no digits"}, L"1.0", L""));
    EXPECT_TRUE(IsAnyVersionAccepted({L"Beta", L"0.5", L"3.1"}, L"1.0", L"4"));
}

TEST(VersionAcceptance, PartsCompareAsSignedNumbers) {
    EXPECT_TRUE(IsAnyVersionAccepted({L"10.0"}, L"9.99", L""));
    EXPECT_FALSE(IsAnyVersionAccepted({L"1.10"}, L"1.11", L""));
}

TEST(VersionNumber, ALetterAfterADashOrPlusStartsAPreReleaseLabel) {
    const VersionNumber rc = VersionNumber::Parse(L"8.0.0-rc.2.23479.6");
    EXPECT_EQ((std::vector<int32_t>{8, 0, 0, 0}), Parts(L"8.0.0-rc.2.23479.6"));
    EXPECT_EQ(3, rc.count);
    EXPECT_EQ(L"rc.2.23479.6", rc.preRelease);
    EXPECT_EQ(L"preview.7", VersionNumber::Parse(L"10.0.0-preview.7").preRelease);
    EXPECT_EQ(L"build.5", VersionNumber::Parse(L"2.1.0+build.5").preRelease);
    EXPECT_EQ(L"beta", VersionNumber::Parse(L"v1.0-beta").preRelease);
    // Digits after the mark, or no digit before it: separators as ever.
    for (const wchar_t* release : {L"v-1-2", L"1.2.3-4", L"17.0.8+7", L"2023-10-05", L"x-beta 1.2",
                                   L"1.2-", L"1.2.3.4", L"10,0 build 5"}) {
        EXPECT_FALSE(VersionNumber::Parse(release).IsPreRelease())
            << testing::PrintToString(release);
    }
    EXPECT_EQ((std::vector<int32_t>{1, 2, 0, 0}), Parts(L"v-1-2"));
    EXPECT_EQ((std::vector<int32_t>{17, 0, 8, 7}), Parts(L"17.0.8+7"));
}

// Texts in ascending order: every pair compares as its positions do.
TEST(VersionNumber, OrderOfReleasesAndPreReleases) {
    const wchar_t* ascending[] = {
        L"1.0.0-alpha",
        L"1.0.0-alpha.1",
        L"1.0.0-alpha.beta",
        L"1.0.0-beta",
        L"1.0.0-beta.2",
        L"1.0.0-beta.11",
        L"1.0.0-rc.1",
        L"1.0.0",
        L"1.0.1-preview",
        L"1.0.1",
        L"8.0.0-preview.7",
        L"8.0.0-rc.1.23419.4",
        L"8.0.0-rc.2",
        L"8.0.0",
        L"8.0.1",
        L"10.0.0-preview.7",
    };
    constexpr size_t n = sizeof(ascending) / sizeof(ascending[0]);
    for (size_t i = 0; i < n; ++i) {
        const VersionNumber a = VersionNumber::Parse(ascending[i]);
        for (size_t j = 0; j < n; ++j) {
            const int expected = i < j ? -1 : (i > j ? 1 : 0);
            EXPECT_EQ(expected, a.Compare(VersionNumber::Parse(ascending[j])))
                << testing::PrintToString(ascending[i]) << " vs "
                << testing::PrintToString(ascending[j]);
        }
    }
}

TEST(VersionAcceptance, APreReleaseIsNotTheReleaseOfItsNumbers) {
    // What a type 14 search in a runtime folder collects.
    const std::vector<std::wstring> previewOnly = {L"10.0.0-rc.2.25502.107",
                                                   L"10.0.0-preview.7.25380.108"};
    EXPECT_FALSE(IsAnyVersionAccepted(previewOnly, L"10.0", L""));
    EXPECT_FALSE(IsAnyVersionAccepted(previewOnly, L"9.0", L"10.0.99"));
    EXPECT_FALSE(IsAnyVersionAccepted(previewOnly, L"", L"11"));
    EXPECT_TRUE(IsAnyVersionAccepted(previewOnly, L"", L""));  // no bounds: present
    EXPECT_TRUE(IsAnyVersionAccepted({L"10.0.0-rc.2.25502.107", L"10.0.1"}, L"10.0", L""));
    EXPECT_TRUE(IsAnyVersionAccepted({L"8.0.0+build"}, L"", L""));
    EXPECT_FALSE(IsAnyVersionAccepted({L"8.0.0+build"}, L"8.0", L""));
}

TEST(VersionAcceptance, ABoundThatNamesAPreReleaseAdmitsPreReleases) {
    EXPECT_TRUE(IsAnyVersionAccepted({L"8.0.0-rc.2.23479.6"}, L"8.0.0-rc.1", L""));
    EXPECT_FALSE(IsAnyVersionAccepted({L"8.0.0-preview.7.23375.6"}, L"8.0.0-rc.1", L""));
    EXPECT_TRUE(IsAnyVersionAccepted({L"8.0.0"}, L"8.0.0-rc.1", L""));  // the release is above
    EXPECT_TRUE(IsAnyVersionAccepted({L"8.0.0-rc.2"}, L"8.0.0-rc.1", L"8.0.99"));
    EXPECT_FALSE(IsAnyVersionAccepted({L"9.0.0"}, L"", L"9.0.0-preview.1"));
    EXPECT_TRUE(IsAnyVersionAccepted({L"8.0.5"}, L"", L"9.0.0-preview.1"));
    const VersionRange range = VersionRange::Parse(L"10.0", L"");
    EXPECT_EQ(VersionVerdict::kPreRelease, range.Judge(L"10.0.0-rc.2"));
    EXPECT_EQ(VersionVerdict::kBelowMin, range.Judge(L"9.0.9"));
    EXPECT_EQ(VersionVerdict::kUnset, range.Judge(L"none"));
    EXPECT_EQ(VersionVerdict::kAboveMax, VersionRange::Parse(L"", L"1.0").Judge(L"1.0.1"));
    EXPECT_EQ(VersionVerdict::kAccepted, range.Judge(L"10.0.1"));
}
