// pravel's own windows seen from outside: the preparing window of an
// interactive run, none in a silent run; the application manifest at work.
#include "e2e/PravelRun.h"
#include "support/WindowDriver.h"

#include <tlhelp32.h>

#include <vector>

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

// The path of module `name` in process `pid` (empty when it is not loaded).
std::wstring LoadedModule(DWORD pid, const wchar_t* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, pid);
    if (snapshot == INVALID_HANDLE_VALUE) return L"";
    MODULEENTRY32W module = {};
    module.dwSize = sizeof(module);
    std::wstring path;
    for (BOOL more = Module32FirstW(snapshot, &module); more && path.empty();
         more = Module32NextW(snapshot, &module)) {
        if (lstrcmpiW(module.szModule, name) == 0) path = module.szExePath;
    }
    CloseHandle(snapshot);
    return path;
}

std::wstring ToLower(std::wstring text) {
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// The DPI awareness of a window (of any process): 0 unaware, 1 system, 2
// per monitor; -1 where the system cannot tell.
int WindowDpiAwareness(HWND window) {
    using Context = HANDLE(WINAPI*)(HWND);
    using Awareness = int(WINAPI*)(HANDLE);
    HMODULE user = GetModuleHandleW(L"user32.dll");
    const auto context = reinterpret_cast<Context>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetWindowDpiAwarenessContext")));
    const auto awareness = reinterpret_cast<Awareness>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetAwarenessFromDpiAwarenessContext")));
    if (context == nullptr || awareness == nullptr) return -1;
    return awareness(context(window));
}

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
    // The manifest is active: comctl32.dll comes from the side-by-side
    // assembly of the common controls 6.0 (without it, from the system
    // folder, version 5.81, or not at all), and the window is per-monitor
    // DPI-aware (which Wine makes unmanifested programs too;
    // scripts/check-pe checks the manifest's values).
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    const std::wstring controls = ToLower(LoadedModule(pid, L"comctl32.dll"));
    EXPECT_NE(controls.find(L"\\winsxs\\"), std::wstring::npos) << Narrow(controls);
    EXPECT_NE(controls.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6."),
              std::wstring::npos)
        << Narrow(controls);
    EXPECT_EQ(2, WindowDpiAwareness(window));
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
