#include "diag/ExceptionText.h"

#include <gtest/gtest.h>

#include "common/Text.h"

namespace pravel {
namespace {

TEST(ExceptionText, KindNamesWithFallBacks) {
    EXPECT_EQ(std::string("EXCEPTION_STD"), ExceptionKindName(0));
    EXPECT_EQ(std::string("EXCEPTION_UNHANDLED"), ExceptionKindName(1));
    EXPECT_EQ(std::string("EXCEPTION_GENERIC"), ExceptionKindName(2));
    EXPECT_EQ(std::string("EXCEPTION_ERROR_SIGNALING"), ExceptionKindName(6));
    EXPECT_EQ(std::string("EXCEPTION_SEH"), ExceptionKindName(7));
    EXPECT_EQ(std::string("Exception ???"), ExceptionKindName(8));
    EXPECT_EQ(std::string("Exception ???"), ExceptionKindName(-1));
    EXPECT_EQ(std::string("SEH_GENERIC"), SehKindName(0));
    EXPECT_EQ(std::string("SEH_AV_WRITE_BADPTR"), SehKindName(4));
    EXPECT_EQ(std::string("SEH_AV_DEP_BADPTR"), SehKindName(6));
    EXPECT_EQ(std::string("SEH_GENERIC"), SehKindName(7));
    EXPECT_EQ(std::string("SEH_GENERIC"), SehKindName(-3));
}

TEST(ExceptionText, AccessViolationsAreClassifiedByTypeAndAddress) {
    const uint32_t av = 0xC0000005u;
    EXPECT_EQ(kSehReadNull, ClassifyFault(av, true, 0, 0));
    EXPECT_EQ(kSehReadBad, ClassifyFault(av, true, 0, 0x10));
    EXPECT_EQ(kSehWriteNull, ClassifyFault(av, true, 1, 0));
    EXPECT_EQ(kSehWriteBad, ClassifyFault(av, true, 1, 0xdeadbeef));
    EXPECT_EQ(kSehDepNull, ClassifyFault(av, true, 8, 0));
    EXPECT_EQ(kSehDepBad, ClassifyFault(av, true, 8, 0x401000));
    EXPECT_EQ(kSehGeneric, ClassifyFault(av, true, 2, 0));
    EXPECT_EQ(kSehGeneric, ClassifyFault(av, false, 0, 0));
    EXPECT_EQ(kSehGeneric, ClassifyFault(0xC0000094u, true, 0, 0));
}

TEST(ExceptionText, FirstLineForKnownAndUnknownCodes) {
    EXPECT_EQ(L"ACCESS_VIOLATION (0xc0000005) at address [0x0040123a]\r\n",
              FaultFirstLine(0xC0000005u, 0x40123a));
    EXPECT_EQ(L"INT_DIVIDE_BY_ZERO (0xc0000094) at address [0x00000000]\r\n",
              FaultFirstLine(0xC0000094u, 0));
    EXPECT_EQ(L"Unknown SEH Exception (0xe06d7363) at address [0x7ffe12345678]\r\n",
              FaultFirstLine(0xE06D7363u, 0x7ffe12345678ull));
    EXPECT_EQ(L"(0x80000003) at address [0x00000010]\r\n", UnhandledFaultLine(0x80000003u, 16));
    EXPECT_EQ(nullptr, SehCodeName(0xE06D7363u));
    EXPECT_EQ(std::string("STACK_OVERFLOW"), SehCodeName(0xC00000FDu));
}

TEST(ExceptionText, FrameLinesAndTheirSourceLocation) {
    EXPECT_EQ(L"[0x00401000]  -----\r\n", FrameLine(0x401000, nullptr, nullptr, 0));
    const std::wstring line = FrameLine(0x401000, "Fault", "C:\\src\\diag\\Faulty.cpp", 42);
    EXPECT_EQ(L"[0x00401000]  Fault() -> Faulty.cpp:42\r\n", line);
    EXPECT_EQ(L"[0x00400000]  MODULE_BASE_ADDRESS\r\n", ModuleBaseLine(0x400000));

    std::wstring file = L"unchanged";
    int32_t number = 7;
    EXPECT_TRUE(
        ParseFrameSource(kStackTraceHeader + line + WideFromAscii(kMoreFramesLine), file, number));
    EXPECT_EQ(L"Faulty.cpp", file);
    EXPECT_EQ(42, number);
    file = L"unchanged";
    EXPECT_FALSE(ParseFrameSource(L"[0x00401000]  Fault()\r\n", file, number));
    EXPECT_FALSE(ParseFrameSource(L" -> nofile\r\n", file, number));
    EXPECT_FALSE(ParseFrameSource(L" -> a.cpp:x1\r\n", file, number));
    EXPECT_EQ(L"unchanged", file);
    EXPECT_EQ(42, number);
}

TEST(ExceptionText, TraceIsAddedOnceAndCutOffForTheMessage) {
    const std::wstring trace = std::wstring(kStackTraceHeader) + L"[0x00401000]  -----\r\n";
    const std::wstring once = WithStackTrace(L"broken", trace);
    EXPECT_EQ(L"broken\r\n" + trace, once);
    EXPECT_EQ(once, WithStackTrace(once, trace));
    EXPECT_EQ(L"broken", WithStackTrace(L"broken", L""));
    EXPECT_EQ(L"broken\r\n", TextBeforeStackTrace(once));
    EXPECT_EQ(L"no trace", TextBeforeStackTrace(L"no trace"));
}

TEST(ExceptionText, ReportHeightFollowsTheMessageLines) {
    ReportLayout one = ComputeReportLayout(L"one line");
    EXPECT_EQ(3, one.lines);
    EXPECT_EQ(0, one.extra);
    EXPECT_EQ(60, one.height);
    EXPECT_EQ(24, one.textHeight);
    ReportLayout five = ComputeReportLayout(L"1\n2\n3\n4\n5");
    EXPECT_EQ(16, five.extra);  // 2 x 8.3 truncated
    std::wstring many;
    for (int i = 0; i < 40; ++i) many += L"line\r\n";
    ReportLayout clamped = ComputeReportLayout(many);
    EXPECT_EQ(30, clamped.lines);
    EXPECT_EQ(224, clamped.extra);
    EXPECT_EQ(60 + 224, clamped.height);
    EXPECT_EQ(249, clamped.textHeight);
}

}  // namespace
}  // namespace pravel
