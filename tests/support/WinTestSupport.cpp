#include "support/WinTestSupport.h"

#include <gtest/gtest.h>

#include <winioctl.h>

#include <cstdlib>
#include <cstring>

namespace testing_support {

std::wstring FromHostPath(const std::string& path) {
    std::wstring out;
    if (!path.empty() && path[0] == '/') out = L"Z:";
    for (char c : path) out.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
    return out;
}

std::wstring PathFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == 0) {
        ADD_FAILURE() << "environment variable " << name << " is not set";
        return std::wstring();
    }
    return FromHostPath(value);
}

std::wstring PravelExe() {
    return PathFromEnvironment("PRAVEL_EXE");
}

ScratchDir::ScratchDir(const std::wstring& tag) {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    static LONG counter = 0;
    path_ = std::wstring(temp) + L"pt_" + tag + L"_" + std::to_wstring(GetCurrentProcessId()) +
            L"_" + std::to_wstring(InterlockedIncrement(&counter));
    RemoveTree(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() {
    RemoveTree(path_);
}

void RemoveTree(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        RemoveFolderLink(path);
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

namespace {

bool IsReparsePoint(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A mount-point reparse point on an empty folder (what mklink /J makes).
bool MakeJunction(const std::wstring& link, const std::wstring& target) {
    if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
    HANDLE folder = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    bool made = false;
    if (folder != INVALID_HANDLE_VALUE) {
        const std::wstring substitute = L"\\??\\" + target;
        const WORD substituteBytes = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
        const WORD printBytes = static_cast<WORD>(target.size() * sizeof(wchar_t));
        std::vector<BYTE> buffer(8 + 8 + substituteBytes + 2 + printBytes + 2, 0);
        const WORD dataLength = static_cast<WORD>(buffer.size() - 8);
        const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
        std::memcpy(&buffer[0], &tag, 4);
        std::memcpy(&buffer[4], &dataLength, 2);
        const WORD offsets[4] = {0, substituteBytes, static_cast<WORD>(substituteBytes + 2),
                                 printBytes};
        std::memcpy(&buffer[8], offsets, sizeof(offsets));
        std::memcpy(&buffer[16], substitute.data(), substituteBytes);
        std::memcpy(&buffer[16 + substituteBytes + 2], target.data(), printBytes);
        DWORD returned = 0;
        made = DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, buffer.data(),
                               static_cast<DWORD>(buffer.size()), nullptr, 0, &returned,
                               nullptr) != FALSE;
        CloseHandle(folder);
    }
    if (!made || !IsReparsePoint(link)) {
        RemoveDirectoryW(link.c_str());
        return false;
    }
    return true;
}

// Wine only: the Unix path of a Windows path (kernel32 of Wine exports it).
std::string UnixPath(const std::wstring& path) {
    using UnixNameFn = char*(CDECL*)(const wchar_t*);
    const auto unixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (unixName == nullptr) return std::string();
    char* name = unixName(path.c_str());
    if (name == nullptr) return std::string();
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Wine only: runs a Unix shell command (Wine starts ELF programs itself) and
// waits until `done` holds, at most five seconds.
template <typename Done>
bool RunUnixShell(const std::string& command, Done done) {
    std::wstring line = L"/bin/sh -c \"";
    for (char c : command) line.push_back(static_cast<wchar_t>(c));
    line += L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
        return false;
    }
    WaitForSingleObject(info.hProcess, 5000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    for (int i = 0; i < 100 && !done(); ++i) Sleep(50);
    return done();
}

}  // namespace

const char* LinkKindName(LinkKind kind) {
    switch (kind) {
        case LinkKind::Junction:
            return "junction";
        case LinkKind::SymbolicLink:
            return "symbolic link";
        case LinkKind::WineUnixLink:
            return "Unix symbolic link seen through Wine";
        case LinkKind::None:
            break;
    }
    return "none";
}

LinkKind MakeFolderLink(const std::wstring& link, const std::wstring& target) {
    if (MakeJunction(link, target)) return LinkKind::Junction;
    // 1: directory, 2: allow unprivileged creation (developer mode).
    if (CreateSymbolicLinkW(link.c_str(), target.c_str(), 1 | 2) && IsReparsePoint(link)) {
        return LinkKind::SymbolicLink;
    }
    const std::string unixLink = UnixPath(link);
    const std::string unixTarget = UnixPath(target);
    if (!unixLink.empty() && !unixTarget.empty() &&
        RunUnixShell("ln -s '" + unixTarget + "' '" + unixLink + "'",
                     [&] { return IsReparsePoint(link); })) {
        return LinkKind::WineUnixLink;
    }
    return LinkKind::None;
}

void RemoveFolderLink(const std::wstring& link) {
    if (RemoveDirectoryW(link.c_str()) || DeleteFileW(link.c_str())) return;
    const std::string unixLink = UnixPath(link);
    if (!unixLink.empty()) {
        RunUnixShell("rm -f '" + unixLink + "'",
                     [&] { return GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES; });
    }
}

bool MakeFileSymbolicLink(const std::wstring& link, const std::wstring& target) {
    return CreateSymbolicLinkW(link.c_str(), target.c_str(), 2) && IsReparsePoint(link);
}

bool FileExists(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << "cannot write " << Narrow(path);
    DWORD written = 0;
    if (!bytes.empty())
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    return bytes;
}

void WriteUtf16(const std::wstring& path, const std::wstring& text, bool bom) {
    std::wstring content = bom ? L"\xFEFF" + text : text;
    WriteBytes(path, std::string(reinterpret_cast<const char*>(content.data()),
                                 content.size() * sizeof(wchar_t)));
}

std::wstring ReadUtf16(const std::wstring& path) {
    const std::string bytes = ReadBytes(path);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

Process::Process(const std::wstring& exe, const std::wstring& arguments,
                 const std::wstring& desktop) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    const size_t slash = exe.rfind(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? L"." : exe.substr(0, slash);
    std::wstring desktopName = desktop;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (!desktopName.empty()) startup.lpDesktop = &desktopName[0];
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info_)) {
        info_ = PROCESS_INFORMATION{};
    }
}

Process::~Process() {
    if (info_.hProcess != nullptr) {
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info_.hProcess, 99);
            WaitForSingleObject(info_.hProcess, 5000);
        }
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
}

bool Process::WaitFor(DWORD ms) {
    return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, ms) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

RunResult Run(const std::wstring& exe, const std::wstring& arguments, DWORD timeoutMs) {
    RunResult result;
    Process process(exe, arguments);
    result.started = process.Started();
    if (!result.started) return result;
    result.finished = process.WaitFor(timeoutMs);
    if (result.finished) result.exitCode = process.ExitCode();
    return result;
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (true) {
        const size_t at = text.find(L"\r\n", start);
        if (at == std::wstring::npos) {
            if (start < text.size()) lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, at - start));
        start = at + 2;
    }
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out.push_back(c < 128 ? static_cast<char>(c) : '?');
    return out;
}

namespace {

// Redirection off for the calling thread while it lives; a no-op in a 64-bit
// process (the call fails there and nothing is redirected anyway).
class UnredirectedScope {
  public:
    UnredirectedScope() { off_ = Wow64DisableWow64FsRedirection(&old_) != FALSE; }
    ~UnredirectedScope() {
        if (off_) Wow64RevertWow64FsRedirection(old_);
    }

  private:
    void* old_ = nullptr;
    bool off_ = false;
};

}  // namespace

std::wstring NativeSystemFolder() {
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    return std::wstring(windows) + L"\\system32";
}

std::wstring Wow64SystemFolder() {
    wchar_t folder[MAX_PATH] = {};
    EXPECT_NE(0u, GetSystemWow64DirectoryW(folder, MAX_PATH)) << "no SysWOW64 folder";
    return folder;
}

SystemFile::SystemFile(const std::wstring& folder, const std::wstring& name,
                       const std::wstring& source)
    : path_(folder + L"\\" + name) {
    UnredirectedScope scope;
    placed_ = CopyFileW(source.c_str(), path_.c_str(), FALSE) != FALSE;
    EXPECT_TRUE(placed_) << "cannot place " << Narrow(path_);
}

SystemFile::~SystemFile() {
    UnredirectedScope scope;
    DeleteFileW(path_.c_str());
}

TestShare::TestShare(const std::wstring& tag) {
    const char* prefix = std::getenv("WINEPREFIX");
    if (prefix == nullptr || *prefix == 0) return;
    hosts_ = FromHostPath(prefix) + L"\\dosdevices\\unc";
    const std::wstring name = L"pravel_" + tag + L"_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(hosts_.c_str(), nullptr);
    CreateDirectoryW((hosts_ + L"\\localhost").c_str(), nullptr);
    folder_ = hosts_ + L"\\localhost\\" + name;
    EXPECT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr)) << Narrow(folder_);
    share_ = L"\\\\localhost\\" + name;
    EXPECT_TRUE(DirectoryExists(share_)) << "shares do not resolve in this prefix";
}

TestShare::~TestShare() {
    if (folder_.empty()) return;
    RemoveTree(folder_);
    RemoveDirectoryW((hosts_ + L"\\localhost").c_str());  // only when no other share is left
}

HiddenWindowStation::HiddenWindowStation(const std::wstring& name) : name_(name) {
    station_ = CreateWindowStationW(name.c_str(), 0, WINSTA_ALL_ACCESS, nullptr);
    if (station_ == nullptr) return;
    // A desktop is created on the process's own window station: switch for
    // the call, then back.
    HWINSTA own = GetProcessWindowStation();
    if (!SetProcessWindowStation(station_)) return;
    desktop_ = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    SetProcessWindowStation(own);
}

HiddenWindowStation::~HiddenWindowStation() {
    if (desktop_ != nullptr) CloseDesktop(desktop_);
    if (station_ != nullptr) CloseWindowStation(station_);
}

}  // namespace testing_support
