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
