// Windows only: SHA-256 of a file on disk, for the acceptance of downloaded
// files (after the size and MD5 tests).
#pragma once

#include <windows.h>

#include <string>

namespace pravel {

// 64 lowercase hexadecimal digits of the file at `path`. The file is opened
// for reading (sharing read and write) and read in blocks of 65536 bytes, at
// most the size it had when opened. False (and `hex` empty) when it cannot
// be opened, sized or read, or is empty.
bool ComputeFileSha256(const std::wstring& path, std::wstring& hex);

// The same for a file open for reading: read from its start up to the size
// it has now, whatever its file pointer was.
bool ComputeSha256Of(HANDLE file, std::wstring& hex);

}  // namespace pravel
