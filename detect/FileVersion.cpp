#include "detect/FileVersion.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <vector>

#include "common/Handles.h"
#include "common/TempFolder.h"
#include "common/Text.h"
#include "common/Wow64.h"
#include "detect/OsNames.h"

namespace pravel {

namespace {

// The Windows folder (shell folder 0x24), asked once per process.
const std::wstring& WindowsFolder() {
    static const std::wstring folder = [] {
        wchar_t path[MAX_PATH] = {};
        if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_WINDOWS, nullptr, 0, path))) {
            return std::wstring();
        }
        return std::wstring(path);
    }();
    return folder;
}

// Creates an empty, uniquely named "shim_clone*.tmp" file in the program's
// temporary folder; empty on failure.
std::wstring CreateCloneFile() {
    static volatile LONG counter = 0;
    const std::wstring folder = ProgramTempFolder();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const uint32_t unique = ::GetTickCount() ^ (::GetCurrentThreadId() << 16) ^
                                static_cast<uint32_t>(::InterlockedIncrement(&counter));
        const std::wstring path = folder + L"shim_clone" + ToDecimalUnsigned(unique) + L".tmp";
        UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_TEMPORARY, nullptr));
        if (file) return path;
        if (::GetLastError() != ERROR_FILE_EXISTS) return std::wstring();
    }
    return std::wstring();
}

uint32_t ReadVersion(const std::wstring& path, FileVersion& version) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return ::GetLastError();
    std::vector<BYTE> data;
    try {
        data.resize(size);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return ::GetLastError();
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) && info &&
        length >= sizeof(VS_FIXEDFILEINFO)) {
        version.ms = info->dwFileVersionMS;
        version.ls = info->dwFileVersionLS;
    }
    return 0;
}

bool IsInWindowsFolder(const std::wstring& path) {
    const std::wstring windows = WindowsFolder();
    return !windows.empty() && path.compare(0, windows.size(), windows) == 0;
}

}  // namespace

uint32_t GetFileVersionThroughCopy(const std::wstring& path, bool copyFirst, FileVersion& version,
                                   std::wstring* copyUsed) {
    version = FileVersion();
    if (copyFirst) {
        const std::wstring clone = CreateCloneFile();
        if (!clone.empty()) {
            bool copied;
            {
                FsRedirectionOff redirection;
                copied = ::CopyFileW(path.c_str(), clone.c_str(), FALSE) != FALSE;
            }
            if (copied) {
                if (copyUsed != nullptr) *copyUsed = clone;
                const uint32_t status = ReadVersion(clone, version);
                ::DeleteFileW(clone.c_str());
                return status;
            }
            ::DeleteFileW(clone.c_str());
        }
    }
    return ReadVersion(path, version);
}

uint32_t GetFileVersion(const std::wstring& path, FileVersion& version) {
    return GetFileVersionThroughCopy(path, IsWindows10OrLater() && IsInWindowsFolder(path), version,
                                     nullptr);
}

std::wstring FormatFileVersion(const FileVersion& v) {
    return ToDecimal(static_cast<int32_t>(v.ms >> 16)) + L"." +
           ToDecimal(static_cast<int32_t>(v.ms & 0xFFFF)) + L"." +
           ToDecimal(static_cast<int32_t>(v.ls >> 16)) + L"." +
           ToDecimal(static_cast<int32_t>(v.ls & 0xFFFF));
}

bool GetShellLibraryVersion(const std::wstring& path, uint32_t& major) {
    UniqueModule library(::LoadLibraryW(path.c_str()));
    if (!library) return false;
    const auto getVersion = reinterpret_cast<DLLGETVERSIONPROC>(
        reinterpret_cast<void*>(::GetProcAddress(library.Get(), "DllGetVersion")));
    if (getVersion != nullptr) {
        DLLVERSIONINFO info = {};
        info.cbSize = sizeof(info);
        if (FAILED(getVersion(&info))) return false;
        major = info.dwMajorVersion;
        return true;
    }
    FileVersion version;
    if (GetFileVersion(path, version) != 0) return false;
    major = version.ms >> 16;
    return true;
}

}  // namespace pravel
