// Digests of files on disk, for the acceptance of downloaded files.
#pragma once

#include <windows.h>

#include <string>

namespace pravel {

// The MD5 of the file at `path` as 32 lowercase hexadecimal digits. The file
// is opened for reading (others may read and write it), its size is taken
// once, and exactly that many bytes are hashed in 64 KiB blocks. Empty (a
// failure) when the file cannot be opened, its size cannot be read, it is
// empty, or reading stops early.
std::wstring ComputeFileMd5(const std::wstring& path);

// The same for a file open for reading: read from its start up to the size
// it has now, whatever its file pointer was.
std::wstring ComputeMd5Of(HANDLE file);

}  // namespace pravel
