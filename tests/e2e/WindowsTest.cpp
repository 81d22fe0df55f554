// pravel's own windows seen from outside: the preparing window of an
// interactive run, none in a silent run.
#include "e2e/PravelRun.h"
#include "support/WindowDriver.h"

using namespace e2e;

namespace {

constexpr int kPreparingStatus = 1001;

// Holds "Global\_MSIExecute" through the helper program until Release.
class InstallerTransaction {
  public:
    InstallerTransaction()
        : name_(L"PravelWindowRelease" + std::to_wstring(GetCurrentProcessId())),
          release_(CreateEventW(nullptr, TRUE, FALSE, name_.c_str())),
          holder_(PathFromEnvironment("FIXTURE_HOLD_MUTEX"), name_) {
        for (int i = 0; i < 200; ++i) {
            HANDLE seen = OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\_MSIExecute");
            if (seen != nullptr) {
                CloseHandle(seen);
                held_ = true;
                break;
            }
            Sleep(25);
        }
    }
    ~InstallerTransaction() {
        Release();
        CloseHandle(release_);
    }
    bool Held() const { return held_; }
    void Release() {
        SetEvent(release_);
        holder_.WaitFor(30000);
    }

  private:
    std::wstring name_;
    HANDLE release_;
    Process holder_;
    bool held_ = false;
};

const wchar_t kOnePrerequisite[] =
    L"[PREREQUISITES]\r\nApp1=A\r\n[App1]\r\nSetupFile=missing.exe\r\nSearchType1=5\r\n"
    L"SearchString1=HKEY_CURRENT_USER\\Software\r\n";

}  // namespace

TEST(Windows, PreparingWindowShowsWhileTheRunWaitsToStart) {
    Installation inst(L"winprep", L"winprep.exe");
    inst.WriteIni(kOnePrerequisite);
    InstallerTransaction transaction;
    ASSERT_TRUE(transaction.Held());
    Process process(inst.Exe());
    ASSERT_TRUE(process.Started());
    HWND window = WaitForDialog({kPreparingStatus, IDCANCEL}, 30000, 0);
    ASSERT_NE(window, nullptr) << "no preparing window";
    // The dialog exists before its texts are set and it is shown.
    for (int i = 0; i < 1000 && !IsWindowVisible(window); ++i) Sleep(10);
    EXPECT_EQ(ItemText(window, kPreparingStatus), L"Preparing...");
    const std::wstring caption = WindowText(window);
    EXPECT_TRUE(caption.size() > 6 && caption.substr(caption.size() - 6) == L" Setup")
        << Narrow(caption);
    EXPECT_FALSE(ItemVisible(window, IDCANCEL)) << "no Skip button is offered";
    EXPECT_TRUE(IsWindowVisible(window));
    // The window answers while the run waits (a program that broadcasts a
    // message would otherwise wait for the installer transaction too).
    DWORD_PTR answer = 0;
    EXPECT_NE(0, SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer))
        << "the preparing window does not answer while the run waits";
    EXPECT_FALSE(process.WaitFor(200)) << "the run did not wait for the installer";
    transaction.Release();
    ASSERT_TRUE(process.WaitFor(30000));
    EXPECT_EQ(process.ExitCode(), 0u);
    EXPECT_FALSE(IsWindow(window));
}

TEST(Windows, ASilentRunShowsNoWindow) {
    Installation inst(L"winquiet", L"winquiet.exe");
    inst.WriteIni(std::wstring(L"[GeneralOptions]\r\nOptions=q\r\n") + kOnePrerequisite);
    InstallerTransaction transaction;
    ASSERT_TRUE(transaction.Held());
    Process process(inst.Exe());
    ASSERT_TRUE(process.Started());
    EXPECT_FALSE(process.WaitFor(1500)) << "pravel did not wait for the installer";
    EXPECT_TRUE(FindDialogs(0, {kPreparingStatus}).empty());
    transaction.Release();
    ASSERT_TRUE(process.WaitFor(30000));
    EXPECT_EQ(process.ExitCode(), 0u);
}
