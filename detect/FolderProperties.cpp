#include "detect/FolderProperties.h"

#include <windows.h>
#include <shlobj.h>

#include "common/Handles.h"
#include "common/SystemInfo.h"
#include "common/SystemLibrary.h"
#include "common/TempFolder.h"
#include "common/Text.h"
#include "detect/FileVersion.h"
#include "detect/ReferenceExpansion.h"
#include "detect/RegistryAccess.h"

namespace pravel {

namespace {

struct ShellFolder {
    const char* name;
    int csidl;
};

constexpr ShellFolder kShellFolders[] = {
    {"ProgramFilesFolder", CSIDL_PROGRAM_FILES},
    {"CommonFilesFolder", CSIDL_PROGRAM_FILES_COMMON},
    {"DesktopFolder", CSIDL_DESKTOPDIRECTORY},
    {"AllUsersDesktopFolder", CSIDL_COMMON_DESKTOPDIRECTORY},
    {"AppDataFolder", CSIDL_APPDATA},
    {"FavoritesFolder", CSIDL_FAVORITES},
    {"StartMenuFolder", CSIDL_STARTMENU},
    {"ProgramMenuFolder", CSIDL_PROGRAMS},
    {"StartupFolder", CSIDL_STARTUP},
    {"FontsFolder", CSIDL_FONTS},
    {"LocalAppDataFolder", CSIDL_LOCAL_APPDATA},
    {"CommonAppDataFolder", CSIDL_COMMON_APPDATA},
    {"ProgramFiles64Folder", CSIDL_PROGRAM_FILES},
    {"ProgramFiles", CSIDL_PROGRAM_FILES},
};

CRITICAL_SECTION* SetupExeDirLock() {
    static CRITICAL_SECTION lock;
    static const bool ready = (::InitializeCriticalSection(&lock), true);
    (void)ready;
    return &lock;
}

std::wstring& SetupExeDirValue() {
    static std::wstring value;
    return value;
}

std::wstring SetupExeDir() {
    CRITICAL_SECTION* lock = SetupExeDirLock();
    ::EnterCriticalSection(lock);
    std::wstring& value = SetupExeDirValue();
    if (value.empty()) {
        const std::wstring program = GetProgramPath();
        if (!program.empty()) value = FolderOf(program) + L"\\";
    }
    std::wstring copy = value;
    ::LeaveCriticalSection(lock);
    return copy;
}

bool ShellFolderPath(int csidl, std::wstring& folder) {
    PIDLIST_ABSOLUTE item = nullptr;
    if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, csidl, &item)) && item != nullptr) {
        wchar_t path[MAX_PATH] = {};
        const BOOL converted = ::SHGetPathFromIDListW(item, path);
        ::CoTaskMemFree(item);
        if (converted) {
            folder = WithTrailingBackslash(path);
            return true;
        }
    }
    return false;
}

// SHGetFolderPathW of shfolder.dll (from the system folder only), loaded once
// per process and kept.
bool ShFolderPath(int csidl, std::wstring& folder) {
    using GetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
    static const GetFolderPathFn getFolderPath =
        SystemFunction<GetFolderPathFn>(L"shfolder.dll", "SHGetFolderPathW");
    wchar_t path[MAX_PATH] = {};
    if (getFolderPath == nullptr || FAILED(getFolderPath(nullptr, csidl, nullptr, 0, path))) {
        return false;
    }
    folder = WithTrailingBackslash(path);
    return true;
}

// True on shell version 5 or later (Shlwapi's DllGetVersion, else Shell32's).
bool IsModernShell() {
    static const bool modern = [] {
        uint32_t major = 0;
        if (GetShellLibraryVersion(L"Shlwapi.dll", major) ||
            GetShellLibraryVersion(L"Shell32.dll", major)) {
            return major >= 5;
        }
        return false;
    }();
    return modern;
}

bool EnvironmentFolder(const wchar_t* variable, std::wstring& folder) {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(variable, value, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    folder = Concat({std::wstring_view(value, length), "\\"});
    return true;
}

bool TableFolder(const std::wstring& name, std::wstring& folder) {
    for (const auto& entry : kShellFolders) {
        if (!EqualsAscii(name, entry.name)) continue;
        if (ShellFolderPath(entry.csidl, folder) || ShFolderPath(entry.csidl, folder)) return true;
        if (IsModernShell()) return false;
        if (EqualsAscii(name, "ProgramFilesFolder") || EqualsAscii(name, "ProgramFiles")) {
            return EnvironmentFolder(L"PROGRAMFILES", folder);
        }
        if (EqualsAscii(name, "AppDataFolder")) return EnvironmentFolder(L"APPDATA", folder);
        return false;
    }
    return false;
}

class SystemResolver : public ReferenceResolver {
  public:
    bool FolderProperty(const std::wstring& name, bool use64, std::wstring& value) override {
        return ResolveFolderProperty(name, use64, value);
    }
    std::wstring Environment(const std::wstring& name) override {
        const DWORD size = ::GetEnvironmentVariableW(name.c_str(), nullptr, 0);
        if (size == 0) return std::wstring();
        std::wstring value(size, L'\0');
        const DWORD length = ::GetEnvironmentVariableW(name.c_str(), &value[0], size);
        value.resize(length < size ? length : 0);
        return value;
    }
    std::wstring RegistryValue(const std::wstring& path, bool use64) override {
        RegistryPath parsed;
        UniqueHKey key;
        std::wstring text;
        if (!ParseRegistryValuePath(path, parsed) ||
            !OpenRegistryKey(parsed, KEY_QUERY_VALUE, use64, RegistryView::k64WhenChosen, key) ||
            !ReadValueForPath(key.Get(), parsed.valueName, use64, text)) {
            return std::wstring();
        }
        return text;
    }
};

}  // namespace

void SetSetupExeDir(const std::wstring& folder) {
    CRITICAL_SECTION* lock = SetupExeDirLock();
    ::EnterCriticalSection(lock);
    SetupExeDirValue() = folder;
    ::LeaveCriticalSection(lock);
}

bool ResolveFolderProperty(const std::wstring& name, bool use64, std::wstring& folder) {
    if (EqualsAscii(name, "ProgramFiles64Folder") && EnvironmentFolder(L"ProgramW6432", folder))
        return true;
    if (EqualsAscii(name, "SystemFolder")) {
        return ShellFolderPath(use64 ? CSIDL_SYSTEM : CSIDL_SYSTEMX86, folder);
    }
    if (EqualsAscii(name, "System32Folder") || EqualsAscii(name, "WindowsFolder") ||
        EqualsAscii(name, "WindowsVolume")) {
        wchar_t path[MAX_PATH] = {};
        const UINT length = EqualsAscii(name, "System32Folder")
                                ? ::GetSystemDirectoryW(path, MAX_PATH)
                                : ::GetWindowsDirectoryW(path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return false;
        folder.assign(path, length);
        if (EqualsAscii(name, "WindowsVolume")) folder = folder.substr(0, 3);
        return true;
    }
    if (EqualsAscii(name, "TempFolder")) {
        const std::wstring& temp = ProgramTempFolder();
        if (temp.empty()) return false;
        folder = WithTrailingBackslash(temp);
        return true;
    }
    if (EqualsAscii(name, "SETUPEXEDIR")) {
        folder = SetupExeDir();
        return !folder.empty();
    }
    return TableFolder(name, folder);
}

std::wstring ExpandReferences(const std::wstring& text, bool use64) {
    SystemResolver resolver;
    return ExpandReferences(text, use64, resolver);
}

}  // namespace pravel
