// Version information of files and shell libraries. Nothing here throws;
// failures come back as results.
#pragma once

#include <cstdint>
#include <string>

namespace pravel {

struct FileVersion {
    uint32_t ms = 0;  // major (high word), minor (low word)
    uint32_t ls = 0;  // build (high word), revision (low word)
};

// Win32 status (0 on success) and the file version, read in the calling
// thread's file-system view (a search that reads the native view switches
// redirection off around all its steps; see FsRedirectionOff). On Windows
// 10 or later a file inside the Windows folder is read through a temporary
// copy named "shim_clone..." in the program's temporary folder, so that
// compatibility shims cannot change the answer; the copy is taken in the
// same view and is always deleted, read-only or not.
uint32_t GetFileVersion(const std::wstring& path, FileVersion& version);

// The same with the copy decision made by the caller; `copyUsed` receives the
// path of the temporary copy when one was read.
uint32_t GetFileVersionThroughCopy(const std::wstring& path, bool copyFirst, FileVersion& version,
                                   std::wstring* copyUsed);

// Deletes a temporary copy, read-only or not: CopyFileW gives a copy the
// source's attributes, and a read-only file does not delete until they are
// cleared. True when it was deleted.
bool DeleteTemporaryCopy(const std::wstring& path);

// True when `path`, made full ("." and ".." resolved, "/" read as "\", a
// "\\?\" prefix dropped), lies inside the Windows folder; letter case does
// not matter.
bool IsInWindowsFolder(const std::wstring& path);

// "major.minor.build.revision" as signed decimal parts.
std::wstring FormatFileVersion(const FileVersion& version);

// The major version a shell library reports through DllGetVersion, else the
// major part of its file version. False when it cannot be loaded or asked.
bool GetShellLibraryVersion(const std::wstring& path, uint32_t& major);

}  // namespace pravel
