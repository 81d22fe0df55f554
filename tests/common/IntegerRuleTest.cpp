#include <gtest/gtest.h>

#include <climits>

#include "common/IntegerRule.h"

using pravel::ParseConfigInteger;

TEST(IntegerRule, ReadsDigitsUpToTheFirstNonDigit) {
    EXPECT_EQ(1024, ParseConfigInteger(L"  1024kb"));
    EXPECT_EQ(0, ParseConfigInteger(L"abc"));
    EXPECT_EQ(0, ParseConfigInteger(L""));
    EXPECT_EQ(12, ParseConfigInteger(L"12 34"));
    EXPECT_EQ(7, ParseConfigInteger(L"007"));
}

TEST(IntegerRule, OnlyBlanksAreSkipped) {
    EXPECT_EQ(0, ParseConfigInteger(L"\t5"));
    EXPECT_EQ(0, ParseConfigInteger(L"\x3000"
                                    L"5"));
}

TEST(IntegerRule, Signs) {
    EXPECT_EQ(-5, ParseConfigInteger(L"-5"));
    EXPECT_EQ(-5, ParseConfigInteger(L" -+5"));
    EXPECT_EQ(5, ParseConfigInteger(L"+5"));
    EXPECT_EQ(0, ParseConfigInteger(L"+-5"));
    EXPECT_EQ(0, ParseConfigInteger(L"--5"));
    EXPECT_EQ(0, ParseConfigInteger(L"- 5"));
}

TEST(IntegerRule, RangeEdgesAndOverflowWrapWithoutUndefinedBehaviour) {
    EXPECT_EQ(INT_MAX, ParseConfigInteger(L"2147483647"));
    EXPECT_EQ(INT_MIN, ParseConfigInteger(L"-2147483648"));
    // 32-bit wrap-around: an ExactSize above 2 GiB keeps its low 32 bits.
    EXPECT_EQ(static_cast<int32_t>(3000000000u), ParseConfigInteger(L"3000000000"));
    EXPECT_EQ(-1, ParseConfigInteger(L"4294967295"));
    EXPECT_EQ(0, ParseConfigInteger(L"4294967296"));
    // Runs of many digits stay defined (the sanitizers would trap otherwise).
    ParseConfigInteger(L"99999999999999999999999999999999999999");
    ParseConfigInteger(L"-99999999999999999999999999999999999999");
}
