// A fault that nothing handles, in the real pravel.exe: the last-chance
// report. The test holds "Global\_MSIExecute" so that pravel waits, then
// starts a thread inside it at an address that cannot run: nothing in
// pravel handles that fault.
#include <string>

#include "e2e/PravelRun.h"

using namespace e2e;

namespace {

class WaitingPravel {
  public:
    WaitingPravel(const std::wstring& tag, const std::wstring& options)
        : inst_(tag, tag + L".exe"), log_(inst_.Dir() / L"run.log") {
        inst_.WriteIni(IniWithLog(log_, L"[GeneralOptions]\r\nOptions=" + options + L"\r\n"));
        mutex_ = CreateMutexW(nullptr, TRUE, L"Global\\_MSIExecute");
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        std::wstring command = L"\"" + inst_.Exe() + L"\"";
        started_ = CreateProcessW(inst_.Exe().c_str(), &command[0], nullptr, nullptr, FALSE, 0,
                                  nullptr, inst_.Dir().Path().c_str(), &startup, &info_) != FALSE;
    }
    ~WaitingPravel() {
        if (info_.hProcess != nullptr) {
            if (WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0)
                TerminateProcess(info_.hProcess, 99);
            CloseHandle(info_.hProcess);
            CloseHandle(info_.hThread);
        }
        if (mutex_ != nullptr) {
            ReleaseMutex(mutex_);
            CloseHandle(mutex_);
        }
    }
    // Waits (bounded) until pravel logs that it waits for the installer.
    bool ReachedTheWait() {
        if (!started_ || mutex_ == nullptr) return false;
        for (int i = 0; i < 400; ++i) {
            if (HasMessageStartingWith(ReadUtf16(log_), L"Another Windows Installer transaction"))
                return true;
            Sleep(50);
        }
        return false;
    }
    bool InjectFault() {
        auto start = reinterpret_cast<LPTHREAD_START_ROUTINE>(static_cast<uintptr_t>(0x10));
        HANDLE thread = CreateRemoteThread(info_.hProcess, nullptr, 0, start, nullptr, 0, nullptr);
        if (thread == nullptr) return false;
        CloseHandle(thread);
        return true;
    }
    bool EndsWithin(DWORD ms) { return WaitForSingleObject(info_.hProcess, ms) == WAIT_OBJECT_0; }
    DWORD ExitCode() {
        DWORD code = 0;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }
    DWORD ProcessId() const { return info_.dwProcessId; }
    std::wstring Log() const { return ReadUtf16(log_); }

  private:
    Installation inst_;
    std::wstring log_;
    HANDLE mutex_ = nullptr;
    PROCESS_INFORMATION info_ = {};
    bool started_ = false;
};

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindReport(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t title[16] = {};
    GetWindowTextW(window, title, 16);
    if (owner != search->processId || std::wstring(title) != L"Error") return TRUE;
    search->found = window;
    return FALSE;
}

std::wstring ControlText(HWND dialog, int id) {
    wchar_t text[512] = {};
    GetWindowTextW(GetDlgItem(dialog, id), text, 512);
    return text;
}

std::wstring ClipboardText() {
    std::wstring text;
    for (int i = 0; i < 50 && !OpenClipboard(nullptr); ++i) Sleep(10);
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

const wchar_t kReportStart[] = L"[EXCEPTION_UNHANDLED] (0xc0000005) at address [0x";

TEST(LastChance, SilentRunLogsTheReportAndEndsWithTheFaultCode) {
    WaitingPravel pravel(L"crashquiet", L"q");
    ASSERT_TRUE(pravel.ReachedTheWait()) << Narrow(pravel.Log());
    ASSERT_TRUE(pravel.InjectFault());
    ASSERT_TRUE(pravel.EndsWithin(20000)) << "no window may wait in a silent run";
    EXPECT_EQ(0xC0000005u, pravel.ExitCode());
    const std::wstring log = pravel.Log();
    EXPECT_TRUE(HasMessageStartingWith(
        log, std::wstring(L"The program stopped on a fault that nothing handled:") + kReportStart))
        << Narrow(log);
    EXPECT_NE(std::wstring::npos, log.find(L"\r\n*** Stack Trace (x86) ***\r\n")) << Narrow(log);
    EXPECT_NE(std::wstring::npos, log.find(L"]  MODULE_BASE_ADDRESS")) << Narrow(log);
}

TEST(LastChance, InteractiveRunShowsTheReportUntilClosed) {
    WaitingPravel pravel(L"crashshown", L"");
    ASSERT_TRUE(pravel.ReachedTheWait()) << Narrow(pravel.Log());
    ASSERT_TRUE(pravel.InjectFault());
    Search search{pravel.ProcessId(), nullptr};
    for (int i = 0; i < 400 && search.found == nullptr; ++i) {
        EnumWindows(FindReport, reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr) Sleep(50);
    }
    ASSERT_NE(nullptr, search.found) << "no report window";
    HWND dialog = search.found;
    // The window exists before its initialisation has filled it in.
    std::wstring message;
    for (int i = 0; i < 100 && (message = ControlText(dialog, 501)).empty(); ++i) Sleep(50);
    EXPECT_EQ(0u, message.find(kReportStart)) << Narrow(message);
    EXPECT_EQ(std::wstring::npos, message.find(L"*** Stack Trace")) << Narrow(message);
    EXPECT_FALSE(pravel.EndsWithin(300)) << "the report waits for its reader";

    SendMessageW(dialog, WM_COMMAND, 503, 0);
    EXPECT_EQ(L"Details <<", ControlText(dialog, 503));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, 502)));
    SendMessageW(dialog, WM_COMMAND, 504, 0);
    const std::wstring copied = ClipboardText();
    EXPECT_EQ(0u, copied.find(kReportStart)) << Narrow(copied);
    EXPECT_NE(std::wstring::npos, copied.find(L"\r\n*** Stack Trace (x86) ***\r\n"));
    EXPECT_NE(std::wstring::npos, copied.find(L"]  MODULE_BASE_ADDRESS"));

    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(pravel.EndsWithin(20000));
    EXPECT_EQ(0xC0000005u, pravel.ExitCode());
}

}  // namespace
