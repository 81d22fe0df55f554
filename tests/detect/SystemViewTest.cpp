// File searches in the system folders of 64-bit Windows. A 32-bit program
// sees SysWOW64 under the System32 path unless the search reads the native
// view (option "x"). Both folders hold an entry of the same name, different
// in each, and the prefix reports Windows 10, where a version in the Windows
// folder is read through a temporary copy: every step of a search, the copy
// included, must read the search's own view, whatever the letter case of
// the path. The expectations follow this process's bitness as the system
// reports it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cwctype>

#include "detect/FileVersion.h"
#include "detect/OsNames.h"
#include "detect/SearchTestSupport.h"
#include "support/WinTestSupport.h"
#include "support/Windows10Prefix.h"

using namespace search_test;
using namespace testing_support;
using pravel::kSearchFile;
using pravel::kSearchSubfolderNames;

namespace {

::testing::Environment* const g_windows10 =
    ::testing::AddGlobalTestEnvironment(new Windows10Prefix);

// True when the system redirects this process's System32 to SysWOW64.
bool Redirected() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::wstring Windows() {
    wchar_t folder[MAX_PATH] = {};
    GetWindowsDirectoryW(folder, MAX_PATH);
    return folder;
}

std::wstring Lower(std::wstring text) {
    for (auto& c : text) c = static_cast<wchar_t>(towlower(c));
    return text;
}
std::wstring Upper(std::wstring text) {
    for (auto& c : text) c = static_cast<wchar_t>(towupper(c));
    return text;
}

std::wstring TestName() {
    return L"pravel_view_" + std::to_wstring(GetCurrentProcessId());
}

// A folder with one subfolder, made and removed with redirection off so
// that it lies where its path says.
class UnredirectedFolder {
  public:
    UnredirectedFolder(const std::wstring& path, const std::wstring& subfolder) : path_(path) {
        Unredirected scope;
        made_ = CreateDirectoryW(path_.c_str(), nullptr) &&
                CreateDirectoryW((path_ + L"\\" + subfolder).c_str(), nullptr);
        EXPECT_TRUE(made_) << Narrow(path_);
    }
    ~UnredirectedFolder() {
        Unredirected scope;
        RemoveTree(path_);
    }
    bool Made() const { return made_; }

  private:
    struct Unredirected {
        Unredirected() { off = Wow64DisableWow64FsRedirection(&old) != FALSE; }
        ~Unredirected() {
            if (off) Wow64RevertWow64FsRedirection(old);
        }
        void* old = nullptr;
        bool off = false;
    };
    std::wstring path_;
    bool made_ = false;
};

// The System32 path of `name` as a configuration may write it.
std::vector<std::wstring> System32Spellings(const std::wstring& name) {
    const std::wstring path = Windows() + L"\\System32\\" + name;
    return {Lower(path), Upper(path), L"[System32Folder]\\" + name,
            L"[WindowsFolder]\\SYSTEM32\\" + name, Windows() + L"\\Temp\\..\\system32\\" + name};
}

}  // namespace

TEST(SystemView, TheProgramSeesWindows10) {
    EXPECT_TRUE(pravel::IsWindows10OrLater());
}

TEST(SystemView, TheWindowsFolderTestIgnoresLetterCaseAndReadsTheFullPath) {
    const std::wstring windows = Windows();
    EXPECT_TRUE(pravel::IsInWindowsFolder(windows + L"\\system32\\kernel32.dll"));
    EXPECT_TRUE(pravel::IsInWindowsFolder(Upper(windows) + L"\\SYSTEM32\\KERNEL32.DLL"));
    EXPECT_TRUE(pravel::IsInWindowsFolder(Lower(windows) + L"\\system32\\kernel32.dll"));
    EXPECT_TRUE(pravel::IsInWindowsFolder(windows + L"/System32/kernel32.dll"));
    EXPECT_TRUE(pravel::IsInWindowsFolder(L"\\\\?\\" + windows + L"\\System32\\x.dll"));
    EXPECT_TRUE(pravel::IsInWindowsFolder(windows.substr(0, 3) + L"Other\\..\\" +
                                          windows.substr(3) + L"\\x.dll"));
    EXPECT_FALSE(pravel::IsInWindowsFolder(windows + L"Apps\\x.dll"));
    EXPECT_FALSE(pravel::IsInWindowsFolder(windows + L"\\..\\Program Files\\x.dll"));
    EXPECT_FALSE(pravel::IsInWindowsFolder(windows.substr(0, 3) + L"Tools\\x.dll"));
}

// The native System32 holds a versioned DLL, SysWOW64 one without a version.
TEST(SystemView, AFileSearchReadsTheVersionOfItsOwnView) {
    const std::wstring name = TestName() + L".dll";
    SystemFile native(NativeSystemFolder(), name, PathFromEnvironment("FIXTURE_VERSIONED_DLL"));
    SystemFile wow(Wow64SystemFolder(), name, PathFromEnvironment("FIXTURE_PLAIN_DLL"));
    ASSERT_TRUE(native.Placed() && wow.Placed());
    const std::wstring nativeVersion = L"1.2.3.4";
    const std::wstring wowVersion = L"0.0.0.0";
    for (const bool use64 : {false, true}) {
        const std::wstring& expected = use64 || !Redirected() ? nativeVersion : wowVersion;
        for (const auto& path : System32Spellings(name)) {
            const Outcome o = RunSearch(kSearchFile, path, L"", L"", L"", use64);
            EXPECT_EQ(std::vector<std::wstring>{expected}, o.values)
                << Narrow(path) << " x=" << use64;
            EXPECT_EQ(expected == nativeVersion,
                      RunSearch(kSearchFile, path, L"1.0", L"", L"", use64).found)
                << Narrow(path) << " x=" << use64;
        }
        // [SystemFolder] names the 32-bit folder itself, unless with x.
        EXPECT_EQ(std::vector<std::wstring>{use64 ? nativeVersion : wowVersion},
                  RunSearch(kSearchFile, L"[SystemFolder]" + name, L"", L"", L"", use64).values)
            << "x=" << use64;
    }
}

// Type 14 lists the folder of its own view: "2.0" natively, "1.0" in SysWOW64.
TEST(SystemView, SubfolderNamesComeFromTheSearchsOwnView) {
    const std::wstring name = TestName() + L"_folders";
    UnredirectedFolder native(NativeSystemFolder() + L"\\" + name, L"2.0");
    UnredirectedFolder wow(Wow64SystemFolder() + L"\\" + name, L"1.0");
    ASSERT_TRUE(native.Made() && wow.Made());
    using Names = std::vector<std::wstring>;
    for (const bool use64 : {false, true}) {
        const Names expected{use64 || !Redirected() ? L"2.0" : L"1.0"};
        for (const auto& path : System32Spellings(name)) {
            EXPECT_EQ(expected, RunSearch(kSearchSubfolderNames, path, L"", L"", L"", use64).values)
                << Narrow(path) << " x=" << use64;
            EXPECT_EQ(expected[0] == L"2.0",
                      RunSearch(kSearchSubfolderNames, path, L"2.0", L"", L"", use64).found)
                << Narrow(path) << " x=" << use64;
        }
        EXPECT_EQ(
            Names{use64 ? L"2.0" : L"1.0"},
            RunSearch(kSearchSubfolderNames, L"[SystemFolder]" + name, L"", L"", L"", use64).values)
            << "x=" << use64;
    }
}
