// Basic-UI runs ("b") of the real pravel.exe: the progress window installs
// fake installers lying on disk and ends by itself; Cancel and the reboot
// question are answered by this test through the windows.
#include "e2e/PravelRun.h"
#include "support/FakeInstaller.h"
#include "support/WindowDriver.h"

#include <algorithm>
#include <vector>

using namespace e2e;

namespace {

constexpr int kStatus = 1034;
constexpr int kBar = 1035;
constexpr int kMessageText = 0xFFFF;

// Polls (bounded) until `window`'s control `id` shows `text`.
bool WaitForText(HWND window, int id, const std::wstring& text, DWORD timeoutMs = 20000) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if (ItemText(window, id) == text) return true;
        Sleep(20);
    }
    return false;
}

BOOL CALLBACK FirstLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR out) {
    *reinterpret_cast<WORD*>(out) = language;
    return FALSE;
}

// Replaces string `id` of the string table of the program file `exe` (a
// copy: Windows keeps the strings in blocks of 16, rewritten whole).
bool ReplaceString(const std::wstring& exe, UINT id, const std::wstring& text) {
    const UINT block = id / 16 + 1;
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return false;
    WORD language = 0;
    EnumResourceLanguagesW(module, RT_STRING, MAKEINTRESOURCEW(block), FirstLanguage,
                           reinterpret_cast<LONG_PTR>(&language));
    HRSRC found = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(block), language);
    std::vector<std::wstring> strings(16);
    if (found != nullptr) {
        const auto* data = static_cast<const WCHAR*>(LockResource(LoadResource(module, found)));
        for (int i = 0; i < 16 && data != nullptr; ++i) {
            strings[i].assign(data + 1, *data);
            data += 1 + *data;
        }
    }
    FreeLibrary(module);
    strings[id % 16] = text;
    std::vector<WCHAR> bytes;
    for (const auto& s : strings) {
        bytes.push_back(static_cast<WCHAR>(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
    }
    HANDLE update = BeginUpdateResourceW(exe.c_str(), FALSE);
    if (update == nullptr) return false;
    const BOOL ok = UpdateResourceW(update, RT_STRING, MAKEINTRESOURCEW(block), language,
                                    bytes.data(), static_cast<DWORD>(bytes.size() * sizeof(WCHAR)));
    return EndUpdateResourceW(update, !ok) && ok;
}

class BasicUi : public ::testing::Test {
  protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"InterbootContext");
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\PravelTests\\BasicUi");
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"InterbootContext");
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\PravelTests\\BasicUi");
    }
    // One prerequisite "A" installed by a fake installer with `directions`;
    // it is present once HKCU\Software\PravelTests\BasicUi\A exists.
    void WriteOne(const std::string& directions, const std::wstring& options) {
        PlaceFakeInstaller(inst_.Dir() / L"a.exe", directions);
        inst_.WriteIni(IniWithLog(log_) +
                       L"[GeneralOptions]\r\nOptions=b\r\n[PREREQUISITES]\r\nApp1=A\r\n[App1]\r\n"
                       L"SetupFile=" +
                       inst_.Dir() / L"a.exe" + L"\r\nRetValPropName=A_RET\r\nOptions=" + options +
                       L"\r\nSearchType1=5\r\nSearchString1="
                       L"HKEY_CURRENT_USER\\Software\\PravelTests\\BasicUi\\A\r\n");
    }
    HWND ProgressWindow() {
        HWND window = WaitForDialog({kStatus, kBar, IDCANCEL}, 30000, 0);
        for (int i = 0; window != nullptr && i < 1000 && !IsWindowVisible(window); ++i) Sleep(10);
        return window;
    }
    std::vector<std::wstring> Summary() const {
        const std::vector<std::wstring> messages = Messages(ReadUtf16(log_));
        auto at =
            std::find(messages.begin(), messages.end(), L"After running prerequisites we have:");
        return std::vector<std::wstring>(at, messages.end());
    }

    Installation inst_{L"basicui", L"setup.exe"};
    std::wstring log_ = inst_.Dir() / L"run.log";
};

}  // namespace

TEST_F(BasicUi, TheProgressWindowInstallsAndEndsByItself) {
    WriteOne("sleep=1500\nregkey=Software\\PravelTests\\BasicUi\\A\n", L"m");
    Process process(inst_.Exe());
    ASSERT_TRUE(process.Started());
    HWND window = ProgressWindow();
    ASSERT_NE(window, nullptr) << "no progress window";
    EXPECT_TRUE(WaitForText(window, kStatus, L"Installing A"));
    const std::wstring caption = WindowText(window);
    EXPECT_TRUE(caption.size() > 6 && caption.substr(caption.size() - 6) == L" Setup")
        << Narrow(caption);
    EXPECT_TRUE(FindDialogs(0, {1001}).empty()) << "the preparing window is closed by now";
    ASSERT_TRUE(process.WaitFor(60000)) << "the window did not end by itself";
    EXPECT_EQ(process.ExitCode(), 0u);
    EXPECT_EQ(ReadRecords(inst_.Dir().Path()).size(), 1u);
    const std::wstring log = ReadUtf16(log_);
    EXPECT_TRUE(HasMessage(log, L"Starting installing prerequisites in basic UI mode."));
    EXPECT_EQ(Summary(),
              (std::vector<std::wstring>{L"After running prerequisites we have:",
                                         L"  Reboot was required=false",
                                         L"Exit code 0: every mandatory prerequisite is present"}));
    EXPECT_FALSE(InterbootContextExists());
}

// The installing text comes from the string table (string 153): a program
// whose table is translated or rebranded shows its own text, formatted as
// every window text is ("%%" is one "%").
TEST_F(BasicUi, TheInstallingTextComesFromTheStringTable) {
    ASSERT_TRUE(ReplaceString(inst_.Exe(), 153, L"Einrichten von %s (100%%) ..."));
    WriteOne("sleep=1500\nregkey=Software\\PravelTests\\BasicUi\\A\n", L"m");
    Process process(inst_.Exe());
    ASSERT_TRUE(process.Started());
    HWND window = ProgressWindow();
    ASSERT_NE(window, nullptr) << "no progress window";
    EXPECT_TRUE(WaitForText(window, kStatus, L"Einrichten von A (100%) ..."))
        << Narrow(ItemText(window, kStatus));
    ASSERT_TRUE(process.WaitFor(60000));
    EXPECT_EQ(process.ExitCode(), 0u);
}

TEST_F(BasicUi, CancelEndsTheWindowAndAMissingMandatoryPrerequisiteGivesOne) {
    WriteOne("sleep=2000\n", L"m");  // installs nothing: A stays missing
    Process process(inst_.Exe());
    ASSERT_TRUE(process.Started());
    HWND window = ProgressWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForText(window, kStatus, L"Installing A"));
    PressButton(window, IDCANCEL);
    const DWORD start = GetTickCount();
    while (IsWindow(window) && GetTickCount() - start < 5000) Sleep(5);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_LT(GetTickCount() - start, 1000u) << "Cancel ends the window at once";
    ASSERT_TRUE(process.WaitFor(60000));
    EXPECT_EQ(process.ExitCode(), 1u) << "a cancelled run with a mandatory prerequisite missing";
    EXPECT_EQ(L"Exit code 1: the mandatory prerequisite A is missing",
              Messages(ReadUtf16(log_)).back());
}

TEST_F(BasicUi, CancelWithOnlyOptionalPrerequisitesMissingGivesZero) {
    WriteOne("sleep=2000\n", L"");
    Process process(inst_.Exe());
    ASSERT_TRUE(process.Started());
    HWND window = ProgressWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForText(window, kStatus, L"Installing A"));
    PressButton(window, IDCANCEL);
    ASSERT_TRUE(process.WaitFor(60000));
    EXPECT_EQ(process.ExitCode(), 0u);
}

namespace {

// Answers the reboot question with No (bounded waits).
void RefuseRestart() {
    HWND box = WaitForDialog({kMessageText, IDYES, IDNO}, 60000, 0);
    ASSERT_NE(box, nullptr) << "no reboot question";
    for (int i = 0; i < 1000 && !IsWindowVisible(box); ++i) Sleep(10);
    EXPECT_EQ(ItemText(box, kMessageText),
              L"You must reboot your computer in order to continue the installation. Press Yes "
              L"to restart now or press No to abort the installation and manually restart later.");
    EXPECT_EQ(WindowText(box), L"Confirmation");
    PressButton(box, IDNO);
}

}  // namespace

// A refused restart ends the installations; the window ends by itself (the
// user already answered) and the run decides again.
TEST_F(BasicUi, RebootQuestionAnsweredNo) {
    WriteOne("regkey=Software\\PravelTests\\BasicUi\\A\n", L"r");
    Process process(inst_.Exe());
    ASSERT_TRUE(process.Started());
    RefuseRestart();
    ASSERT_TRUE(process.WaitFor(60000)) << "the window did not end by itself";
    EXPECT_EQ(process.ExitCode(), 0u);
    EXPECT_EQ(Summary(), (std::vector<std::wstring>{
                             L"After running prerequisites we have:", L"  Reboot was required=true",
                             L"  Reboot was refused=true",
                             L"Exit code 0: every mandatory prerequisite is present"}));
    EXPECT_FALSE(InterbootContextExists());
}

TEST_F(BasicUi, ARefusedRestartBeforeAMandatoryPrerequisiteGivesOne) {
    PlaceFakeInstaller(inst_.Dir() / L"a.exe", "regkey=Software\\PravelTests\\BasicUi\\A\n");
    PlaceFakeInstaller(inst_.Dir() / L"b.exe", "regkey=Software\\PravelTests\\BasicUi\\B\n");
    inst_.WriteIni(IniWithLog(log_) +
                   L"[GeneralOptions]\r\nOptions=b\r\n[PREREQUISITES]\r\nApp1=A\r\nApp2=B\r\n"
                   L"[App1]\r\nSetupFile=" +
                   inst_.Dir() / L"a.exe" +
                   L"\r\nOptions=r\r\nSearchType1=5\r\nSearchString1="
                   L"HKEY_CURRENT_USER\\Software\\PravelTests\\BasicUi\\A\r\n[App2]\r\nSetupFile=" +
                   inst_.Dir() / L"b.exe" +
                   L"\r\nOptions=m\r\nSearchType1=5\r\nSearchString1="
                   L"HKEY_CURRENT_USER\\Software\\PravelTests\\BasicUi\\B\r\n");
    Process process(inst_.Exe());
    ASSERT_TRUE(process.Started());
    RefuseRestart();
    ASSERT_TRUE(process.WaitFor(60000)) << "the window did not end by itself";
    EXPECT_EQ(process.ExitCode(), 1u) << "B is mandatory and was never installed";
    EXPECT_EQ(ReadRecords(inst_.Dir().Path()).size(), 1u);  // only A ran
    EXPECT_FALSE(InterbootContextExists());
}

// On a window station nobody can see (a deployment tool's service running
// the setup in session 0), a basic-UI run waits for nobody: after a failed
// mandatory download and after a failed mandatory installer the progress
// window ends by itself, and the run ends with 1. (Option "r" there restarts
// without asking: tests/e2e/real-reboot.sh, in a prefix of its own.)
TEST_F(BasicUi, OnAWindowStationNobodyCanSeeFailuresEndTheWindowByThemselves) {
    HiddenWindowStation station(L"pt_basicui_hidden");
    ASSERT_TRUE(station.Created());
    PlaceFakeInstaller(inst_.Dir() / L"a.exe", "exit=1603\n");
    const std::wstring failures[] = {
        L"Url=gopher://127.0.0.1/nothing/a.exe\r\n",  // a download that fails at once
        L"SetupFile=" + inst_.Dir() / L"a.exe" + L"\r\n",
    };
    for (const std::wstring& location : failures) {
        DeleteFileW(log_.c_str());
        inst_.WriteIni(IniWithLog(log_) + L"[GeneralOptions]\r\nOptions=b\r\nDownloadFolder=" +
                       inst_.Dir() / L"dl" + L"\r\n[PREREQUISITES]\r\nApp1=A\r\n[App1]\r\n" +
                       location +
                       L"Options=m\r\nSearchType1=5\r\nSearchString1="
                       L"HKEY_CURRENT_USER\\Software\\PravelTests\\BasicUi\\A\r\n");
        Process process(inst_.Exe(), L"", station.Desktop());
        ASSERT_TRUE(process.Started());
        ASSERT_TRUE(process.WaitFor(60000)) << "the run waits for somebody: " << Narrow(location);
        EXPECT_EQ(process.ExitCode(), 1u);
        const std::wstring log = ReadUtf16(log_);
        EXPECT_TRUE(HasMessage(
            log, L"The window station is not visible: no question is asked, no window waits."))
            << Narrow(log);
        EXPECT_TRUE(HasMessage(log, L"The progress window ends by itself: nobody can see it."))
            << Narrow(log);
        EXPECT_TRUE(HasMessage(log, L"Starting installing prerequisites in basic UI mode."));
    }
}
