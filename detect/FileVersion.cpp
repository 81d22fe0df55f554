#include "detect/FileVersion.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <vector>

#include "common/Handles.h"
#include "common/SystemLibrary.h"
#include "common/TempFolder.h"
#include "common/Text.h"
#include "common/VersionResource.h"
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
        const std::wstring path = Concat({folder, "shim_clone", DecimalPiece(unique), ".tmp"});
        UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_TEMPORARY, nullptr));
        if (file) return path;
        if (::GetLastError() != ERROR_FILE_EXISTS) return std::wstring();
    }
    return std::wstring();
}

uint32_t ReadVersion(const std::wstring& path, FileVersion& version) {
    std::vector<BYTE> data;
    const DWORD status = ReadVersionResource(path, data);
    if (status != 0) return status;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (QueryVersionValue(data, L"\\", reinterpret_cast<void**>(&info), &length) && info &&
        length >= sizeof(VS_FIXEDFILEINFO)) {
        version.ms = info->dwFileVersionMS;
        version.ls = info->dwFileVersionLS;
    }
    return 0;
}

}  // namespace

bool DeleteTemporaryCopy(const std::wstring& path) {
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::DeleteFileW(path.c_str()) != FALSE;
}

bool IsInWindowsFolder(const std::wstring& path) {
    const wchar_t* given = path.c_str();
    if (StartsWith(path, L"\\\\?\\") && !StartsWith(path, L"\\\\?\\UNC\\")) given += 4;
    wchar_t buffer[MAX_PATH];
    const DWORD length = ::GetFullPathNameW(given, MAX_PATH, buffer, nullptr);
    const wchar_t* full = length == 0 || length >= MAX_PATH ? given : buffer;  // as given
    const std::wstring& windows = WindowsFolder();
    const int n = static_cast<int>(windows.size());
    return n != 0 && ::lstrlenW(full) > n && full[n] == L'\\' &&
           ::CompareStringOrdinal(full, n, windows.c_str(), n, TRUE) == CSTR_EQUAL;
}

uint32_t GetFileVersionThroughCopy(const std::wstring& path, bool copyFirst, FileVersion& version,
                                   std::wstring* copyUsed) {
    version = FileVersion();
    if (copyFirst) {
        const std::wstring clone = CreateCloneFile();
        if (!clone.empty()) {
            // In the caller's view: the copy is of the file the search saw.
            const bool copied = ::CopyFileW(path.c_str(), clone.c_str(), FALSE) != FALSE;
            if (copied) {
                if (copyUsed != nullptr) *copyUsed = clone;
                const uint32_t status = ReadVersion(clone, version);
                DeleteTemporaryCopy(clone);
                return status;
            }
            DeleteTemporaryCopy(clone);
        }
    }
    return ReadVersion(path, version);
}

uint32_t GetFileVersion(const std::wstring& path, FileVersion& version) {
    return GetFileVersionThroughCopy(path, IsWindows10OrLater() && IsInWindowsFolder(path), version,
                                     nullptr);
}

std::wstring FormatFileVersion(const FileVersion& v) {
    // Each part is 0..65535.
    return Concat({DecimalPiece(v.ms >> 16), ".", DecimalPiece(v.ms & 0xFFFF), ".",
                   DecimalPiece(v.ls >> 16), ".", DecimalPiece(v.ls & 0xFFFF)});
}

bool GetShellLibraryVersion(const std::wstring& path, uint32_t& major) {
    // A bare name comes from the system folder only (and stays loaded); a
    // full path is the caller's choice.
    const bool bareName = path.find_first_of(L"\\/:") == std::wstring::npos;
    UniqueModule owned(bareName ? nullptr : ::LoadLibraryW(path.c_str()));
    const HMODULE library = bareName ? LoadSystemLibrary(path.c_str()) : owned.Get();
    if (library == nullptr) return false;
    const auto getVersion = reinterpret_cast<DLLGETVERSIONPROC>(
        reinterpret_cast<void*>(::GetProcAddress(library, "DllGetVersion")));
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
