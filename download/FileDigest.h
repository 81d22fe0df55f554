// Digests of files on disk, for the acceptance of downloaded files.
#pragma once

#include <windows.h>

#include <string>

#include "common/Handles.h"

namespace pravel {

// The MD5 of a file open for reading as 32 lowercase hexadecimal digits,
// read from its start whatever its file pointer was: its size is taken
// once, and exactly that many bytes are hashed in 64 KiB blocks. Empty (a
// failure) when its size cannot be read, it is empty, or reading stops
// early.
std::wstring ComputeMd5Of(HANDLE file);

// The same for the file at `path`, opened for reading (others may read and
// write it); empty when it cannot be opened. (Inline: the program itself
// hashes only files it holds open.)
inline std::wstring ComputeFileMd5(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    return file ? ComputeMd5Of(file.Get()) : std::wstring();
}

}  // namespace pravel
