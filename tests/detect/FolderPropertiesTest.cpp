// Folder properties and reference expansion under Wine.
#include <gtest/gtest.h>
#include <shlobj.h>

#include "common/TempFolder.h"
#include "detect/FolderProperties.h"
#include "detect/ReferenceExpansion.h"
#include "support/WinTestSupport.h"

using namespace pravel;
using namespace testing_support;

namespace {

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
    return path;
}

std::wstring Resolve(const wchar_t* name, bool use64 = false) {
    std::wstring folder;
    return ResolveFolderProperty(name, use64, folder) ? folder : L"<unresolved>";
}

// Sets an environment variable for the scope and restores it.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const wchar_t* name, const wchar_t* value) : name_(name) {
        wchar_t old[4096];
        const DWORD length = GetEnvironmentVariableW(name, old, 4096);
        had_ = length > 0 && length < 4096;
        if (had_) old_ = old;
        SetEnvironmentVariableW(name, value);
    }
    ~ScopedEnvironment() { SetEnvironmentVariableW(name_.c_str(), had_ ? old_.c_str() : nullptr); }

  private:
    std::wstring name_;
    std::wstring old_;
    bool had_ = false;
};

}  // namespace

TEST(FolderProperties, ShellFoldersGetATrailingBackslash) {
    EXPECT_EQ(ShellFolder(CSIDL_PROGRAM_FILES) + L"\\", Resolve(L"ProgramFilesFolder"));
    EXPECT_EQ(ShellFolder(CSIDL_PROGRAM_FILES) + L"\\", Resolve(L"ProgramFiles"));
    EXPECT_EQ(ShellFolder(CSIDL_APPDATA) + L"\\", Resolve(L"AppDataFolder"));
    EXPECT_EQ(ShellFolder(CSIDL_COMMON_APPDATA) + L"\\", Resolve(L"CommonAppDataFolder"));
    EXPECT_EQ(ShellFolder(CSIDL_LOCAL_APPDATA) + L"\\", Resolve(L"LocalAppDataFolder"));
    EXPECT_EQ(ShellFolder(CSIDL_FONTS) + L"\\", Resolve(L"FontsFolder"));
    EXPECT_EQ(L"<unresolved>", Resolve(L"programfilesfolder"));
    EXPECT_EQ(L"<unresolved>", Resolve(L"NoSuchFolder"));
}

TEST(FolderProperties, ProgramFiles64FolderPrefersProgramW6432) {
    {
        ScopedEnvironment env(L"ProgramW6432", L"D:\\Programs64");
        EXPECT_EQ(L"D:\\Programs64\\", Resolve(L"ProgramFiles64Folder"));
    }
    {
        ScopedEnvironment env(L"ProgramW6432", nullptr);
        EXPECT_EQ(ShellFolder(CSIDL_PROGRAM_FILES) + L"\\", Resolve(L"ProgramFiles64Folder"));
    }
}

TEST(FolderProperties, SystemAndWindowsFolders) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(std::wstring(system), Resolve(L"System32Folder"));  // no trailing backslash
    EXPECT_EQ(std::wstring(windows), Resolve(L"WindowsFolder"));
    EXPECT_EQ(std::wstring(windows).substr(0, 3), Resolve(L"WindowsVolume"));
    EXPECT_EQ(ShellFolder(CSIDL_SYSTEM) + L"\\", Resolve(L"SystemFolder", true));
    EXPECT_EQ(ShellFolder(CSIDL_SYSTEMX86) + L"\\", Resolve(L"SystemFolder", false));
    EXPECT_EQ(ProgramTempFolder(), Resolve(L"TempFolder"));
    EXPECT_EQ(L'\\', Resolve(L"TempFolder").back());
}

TEST(FolderProperties, SetupExeDirIsTheProgramFolderUnlessSet) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self);
    folder.erase(folder.rfind(L'\\') + 1);
    EXPECT_EQ(folder, Resolve(L"SETUPEXEDIR"));
    SetSetupExeDir(L"C:\\Setup\\");
    EXPECT_EQ(L"C:\\Setup\\", Resolve(L"SETUPEXEDIR"));
    SetSetupExeDir(L"");
}

TEST(ReferenceExpansionSystem, ExpandsAgainstTheRunningSystem) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(std::wstring(system) + L"\\x.dll",
              ExpandReferences(L"[System32Folder]\\x.dll", false));
    EXPECT_EQ(ShellFolder(CSIDL_PROGRAM_FILES) + L"\\App",
              ExpandReferences(L"[ProgramFilesFolder]App", false));
    EXPECT_EQ(L"[Unknown]x", ExpandReferences(L"[Unknown]x", false));
    ScopedEnvironment env(L"PRAVEL_TEST_VAR", L"value");
    EXPECT_EQ(L"a-value-b", ExpandReferences(L"a-%PRAVEL_TEST_VAR%-b", false));
    EXPECT_EQ(L"a--b", ExpandReferences(L"a-%PRAVEL_UNSET_VAR%-b", false));
    // "% of %" is a reference to the (unset) variable " of ".
    EXPECT_EQ(L"50PRAVEL_TEST_VAR", ExpandReferences(L"50% of %PRAVEL_TEST_VAR", false));
    EXPECT_EQ(L"100% sure", ExpandReferences(L"100% sure", false));
}

TEST(ReferenceExpansionSystem, RegistryValuesBetweenExclamationMarks) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\PravelTests\\Expand", 0,
                                             nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    const wchar_t dir[] = L"D:\\Apps\\Contoso";
    RegSetValueExW(key, L"InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(dir), sizeof(dir));
    DWORD number = 42;
    RegSetValueExW(key, L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof(number));
    RegCloseKey(key);
    EXPECT_EQ(L"D:\\Apps\\Contoso\\bin\\app.exe",
              ExpandReferences(L"!HKCU\\Software\\PravelTests\\Expand\\InstallDir!\\bin\\app.exe",
                               false));
    EXPECT_EQ(L"n=42", ExpandReferences(L"n=!HKCU\\Software\\PravelTests\\Expand\\Count!", true));
    EXPECT_EQ(L"x\\y",
              ExpandReferences(L"x!HKCU\\Software\\PravelTests\\Expand\\Missing!\\y", false));
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\PravelTests\\Expand");
}

// Expandable data is expanded from the environment; in the native view (x)
// of a 32-bit program %ProgramFiles% is the native folder, as a 64-bit
// installer that wrote it meant. A multi-string inserts its first string.
TEST(ReferenceExpansionSystem, ExpandableAndMultiStringRegistryValues) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\PravelTests\\Expand", 0,
                                             nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    const wchar_t expand[] = L"%PRAVEL_TEST_VAR%\\Contoso;%PRAVEL_UNSET_VAR%";
    RegSetValueExW(key, L"Expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand),
                   sizeof(expand));
    const wchar_t programs[] = L"%programfiles%\\Contoso|%CommonProgramFiles%";
    RegSetValueExW(key, L"Programs", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(programs),
                   sizeof(programs));
    const wchar_t multi[] = L"D:\\First\0D:\\Second\0";
    RegSetValueExW(key, L"Multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi),
                   sizeof(multi));
    RegCloseKey(key);
    const std::wstring root = L"!HKCU\\Software\\PravelTests\\Expand\\";
    ScopedEnvironment env(L"PRAVEL_TEST_VAR", L"C:\\Vendor");
    for (const bool use64 : {false, true}) {
        EXPECT_EQ(L"C:\\Vendor\\Contoso;%PRAVEL_UNSET_VAR%\\x.dll",
                  ExpandReferences(root + L"Expand!\\x.dll", use64));
        EXPECT_EQ(L"D:\\First\\x.dll", ExpandReferences(root + L"Multi!\\x.dll", use64));
        BOOL wow64 = FALSE;
        IsWow64Process(GetCurrentProcess(), &wow64);
        const bool native = use64 && wow64;
        wchar_t files[MAX_PATH] = {};
        wchar_t common[MAX_PATH] = {};
        GetEnvironmentVariableW(native ? L"ProgramW6432" : L"ProgramFiles", files, MAX_PATH);
        GetEnvironmentVariableW(native ? L"CommonProgramW6432" : L"CommonProgramFiles", common,
                                MAX_PATH);
        ASSERT_NE(L'\0', files[0]);
        ASSERT_NE(L'\0', common[0]);
        EXPECT_EQ(std::wstring(files) + L"\\Contoso|" + common,
                  ExpandReferences(root + L"Programs!", use64))
            << "x=" << use64;
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\PravelTests\\Expand");
}
