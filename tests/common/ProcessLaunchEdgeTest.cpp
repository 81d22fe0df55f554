// Edge cases of the process primitives, observed through the records of the
// fake installer (its command line and working folder as it received them).
#include <gtest/gtest.h>

#include "common/ProcessLaunch.h"
#include "support/FakeInstaller.h"

using namespace pravel;
using namespace testing_support;

namespace {

// Waits (bounded, 10 s) until `path` holds at least one whole line (the
// writer may have created it without its text yet) and returns its text.
std::string WaitForFile(const std::wstring& path) {
    std::string text;
    for (int i = 0; i < 200; ++i) {
        text = ReadBytes(path);
        if (!text.empty() && text.back() == '\n') break;
        Sleep(50);
    }
    return text;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

// A sent message only arrives while the waiting thread pumps; then the
// handle the thread waits for is signalled.
DWORD WINAPI SendThenSignal(void* parameter) {
    HANDLE* pair = static_cast<HANDLE*>(parameter);
    SendMessageW(static_cast<HWND>(pair[1]), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"pumped"));
    SetEvent(pair[0]);
    return 0;
}

class CurrentFolder {
  public:
    explicit CurrentFolder(const std::wstring& folder) {
        GetCurrentDirectoryW(MAX_PATH, saved_);
        SetCurrentDirectoryW(folder.c_str());
    }
    ~CurrentFolder() { SetCurrentDirectoryW(saved_); }

  private:
    wchar_t saved_[MAX_PATH] = {};
};

}  // namespace

TEST(ProcessLaunchEdges, ShellStartFolders) {
    ScratchDir dir(L"shellfolders");
    ScratchDir elsewhere(L"shellcwd");
    PlaceFakeInstaller(dir / L"setup.exe", "exit=6\n");
    uint32_t code = 0;
    // "\\?\" is dropped from the file and from the folder derived from it.
    EXPECT_TRUE(ShellExecuteAndWait(L"\\\\?\\" + dir / L"setup.exe", L"", L"", false, &code));
    EXPECT_EQ(6u, code);
    // A given folder is used as it is (without its "\\?\").
    EXPECT_TRUE(ShellExecuteAndWait(dir / L"setup.exe", L"/x", L"\\\\?\\" + elsewhere.Path(), false,
                                    &code));
    {
        // A bare file name: no folder at all, so the started program keeps ours.
        CurrentFolder current(dir.Path());
        EXPECT_TRUE(ShellExecuteAndWait(L"setup.exe", L"/bare", L"", false, &code));
    }
    const auto records = ReadRecords(dir.Path());
    ASSERT_EQ(3u, records.size());
    EXPECT_EQ(dir.Path(), records[0].at(L"cwd"));
    EXPECT_EQ(L"\"" + dir / L"setup.exe" + L"\"", records[0].at(L"cmd"));  // no arguments at all
    EXPECT_EQ(elsewhere.Path(), records[1].at(L"cwd"));
    EXPECT_EQ(dir.Path(), records[2].at(L"cwd"));
    EXPECT_NE(std::wstring::npos, records[2].at(L"cmd").find(L"/bare"));
}

// A setup on a share in its long-path form: "\\?\UNC\" stands for the
// leading "\\" of the share, so the shell gets "\\localhost\...", not
// "UNC\localhost\..." (a relative path).
TEST(ProcessLaunchEdges, ShellStartOfALongSharePath) {
    const TestShare share(L"shellstart");
    if (share.Path().empty()) GTEST_SKIP() << "not in a Wine prefix";
    PlaceFakeInstaller(share / L"setup.exe");
    // Wine gives a program started from a share its own path without the
    // leading "\\", so it finds no side file: its directions and records
    // go through the environment.
    ScratchDir records(L"sharerecords");
    SetEnvironmentVariableW(L"FAKE_INSTALLER_DIRECTIONS", L"exit=7");
    SetEnvironmentVariableW(L"FAKE_INSTALLER_RECORDS", records.Path().c_str());
    uint32_t code = 0;
    EXPECT_TRUE(ShellExecuteAndWait(L"\\\\?\\UNC\\" + (share / L"setup.exe").substr(2), L"/unc",
                                    L"", false, &code));
    SetEnvironmentVariableW(L"FAKE_INSTALLER_DIRECTIONS", nullptr);
    SetEnvironmentVariableW(L"FAKE_INSTALLER_RECORDS", nullptr);
    EXPECT_EQ(7u, code);
    const auto runs = ReadRecords(records.Path());
    ASSERT_EQ(1u, runs.size());
    EXPECT_EQ(L"\"" + share / L"setup.exe" + L"\" /unc", runs[0].at(L"cmd"));
}

TEST(ProcessLaunchEdges, CreateProcessWithoutCommandLine) {
    ScratchDir dir(L"createnull");
    PlaceFakeInstaller(dir / L"tool.exe", "exit=9\n");
    uint32_t code = 0;
    EXPECT_TRUE(CreateProcessAndWait(dir / L"tool.exe", L"", NORMAL_PRIORITY_CLASS, &code));
    EXPECT_EQ(9u, code);
    EXPECT_TRUE(CreateProcessAndWait(dir / L"tool.exe", L"", 0, nullptr));  // no slot: fine
    const auto records = ReadRecords(dir.Path());
    ASSERT_EQ(2u, records.size());
    EXPECT_FALSE(records[0].at(L"cmd").empty());  // the platform makes one from the name
}

// Elevation of a batch file runs it under the command interpreter's /C form
// (its exact text is proved by the native StartCommand tests; Wine's cmd has
// no %CMDCMDLINE% to show it). Here: both ways reach the batch file with its
// arguments, whatever the case of the extension.
TEST(ProcessLaunchEdges, NoWaitRunsBatchFilesWithAndWithoutElevation) {
    ScratchDir dir(L"nowait");
    const std::wstring batch = dir / L"RUN.CMD";
    WriteBytes(batch, "@echo %~nx0 %*> \"%~dp0cmdline-%1.txt\"\r\n");
    EXPECT_TRUE(ShellExecuteNoWait(batch, L"elevated two", dir.Path(), true));
    EXPECT_EQ("RUN.CMD elevated two", Trimmed(WaitForFile(dir / L"cmdline-elevated.txt")));
    EXPECT_TRUE(ShellExecuteNoWait(batch, L"plain", dir.Path(), false));
    EXPECT_EQ("RUN.CMD plain", Trimmed(WaitForFile(dir / L"cmdline-plain.txt")));
}

TEST(ProcessLaunchEdges, NoWaitStartsProgramsHiddenWithoutWaiting) {
    ScratchDir dir(L"nowaitexe");
    PlaceFakeInstaller(dir / L"slow.exe", "sleep=1500\n");
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(ShellExecuteNoWait(dir / L"slow.exe", L"-a 'b,c'", dir.Path(), false));
    EXPECT_LT(GetTickCount64() - start, 1400u);
    std::vector<Record> records;
    for (int i = 0; i < 200 && (records.empty() || !records[0].count(L"tick")); ++i) {
        Sleep(50);
        records = ReadRecords(dir.Path());
    }
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(L"0", records[0].at(L"show"));
    EXPECT_EQ(L"\"" + dir / L"slow.exe" + L"\" -a 'b,c'", records[0].at(L"cmd"));
    // A file that does not exist: still true (callers cannot see a failed start).
    EXPECT_TRUE(ShellExecuteNoWait(dir / L"absent.exe", L"", L"", false));
    Sleep(1600);  // let slow.exe end before the folder goes
}

TEST(ProcessLaunchEdges, SignalledHandleDispatchesNothing) {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // make sure the thread has a queue
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_APP + 7, 1, 2));
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    EXPECT_TRUE(WaitWithMessagePump(event));
    CloseHandle(event);
    EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_APP + 7, WM_APP + 7, PM_REMOVE))
        << "the posted message was taken";
}

TEST(ProcessLaunchEdges, WaitKeepsMessagesFlowingUntilTheHandleIsSignalled) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HWND window = CreateWindowExW(0, L"STATIC", L"pump", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    HANDLE pair[2] = {event, window};
    HANDLE helper = CreateThread(nullptr, 0, SendThenSignal, pair, 0, nullptr);
    EXPECT_TRUE(WaitWithMessagePump(event));
    wchar_t text[32] = {};
    GetWindowTextW(window, text, 32);
    EXPECT_STREQ(L"pumped", text);
    WaitForSingleObject(helper, 10000);
    CloseHandle(helper);
    CloseHandle(event);
    DestroyWindow(window);
}

TEST(ProcessLaunchEdges, CodesWithoutSystemTextAreSignedDecimal) {
    EXPECT_EQ(L"-1073741819", FormatSystemMessage(0xC0000005u));
    const std::wstring known = FormatSystemMessage(ERROR_FILE_NOT_FOUND);
    ASSERT_GE(known.size(), 2u);
    EXPECT_EQ(L"\r\n", known.substr(known.size() - 2));  // the system's line end is kept
}
