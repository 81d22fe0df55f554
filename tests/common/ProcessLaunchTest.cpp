#include <gtest/gtest.h>

#include "common/ProcessLaunch.h"
#include "support/WinTestSupport.h"

using namespace pravel;
using namespace testing_support;

namespace {

std::wstring ExitWith() {
    return PathFromEnvironment("FIXTURE_EXIT_WITH");
}

}  // namespace

TEST(ProcessLaunch, CreateProcessAndWaitReadsTheExitCode) {
    uint32_t code = 99;
    EXPECT_TRUE(CreateProcessAndWait(ExitWith(), L"\"" + ExitWith() + L"\" 7", 0x20, &code));
    EXPECT_EQ(7u, code);
    EXPECT_TRUE(CreateProcessAndWait(L"", L"\"" + ExitWith() + L"\" 0xC0000005", 0x20, &code));
    EXPECT_EQ(0xC0000005u, code);
}

TEST(ProcessLaunch, FailedStartsReportTheWin32Error) {
    uint32_t code = 0;
    EXPECT_FALSE(CreateProcessAndWait(L"C:\\no\\such\\program.exe", L"", 0, &code));
    EXPECT_TRUE(code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) << code;
    code = 0;
    EXPECT_FALSE(ShellExecuteAndWait(L"C:\\no\\such\\program.exe", L"", L"", true, &code));
    EXPECT_NE(0u, code);
}

TEST(ProcessLaunch, ShellStartDropsTheLongPathPrefixAndWaits) {
    ScratchDir dir(L"shellstart");
    const std::wstring record = dir / L"record.txt";
    uint32_t code = 0;
    EXPECT_TRUE(
        ShellExecuteAndWait(L"\\\\?\\" + ExitWith(), L"3 \"" + record + L"\"", L"", true, &code));
    EXPECT_EQ(3u, code);
    EXPECT_NE(std::wstring::npos, ReadUtf16(record).find(L" 3 "));
}

TEST(ProcessLaunch, WaitWithMessagePumpOnASignalledHandle) {
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    EXPECT_TRUE(WaitWithMessagePump(event));
    CloseHandle(event);
}

TEST(ProcessLaunch, SystemMessagesAndUnknownCodes) {
    EXPECT_FALSE(FormatSystemMessage(ERROR_FILE_NOT_FOUND).empty());
    EXPECT_NE(L"2", FormatSystemMessage(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(L"-536870913", FormatSystemMessage(0xDFFFFFFF));
}
