// Windows only: SHA-256 of a file on disk, for the acceptance of downloaded
// files (after the size and MD5 tests).
#pragma once

#include <windows.h>

#include <string>

#include "common/Handles.h"

namespace pravel {

// 64 lowercase hexadecimal digits of a file open for reading, read from its
// start (whatever its file pointer was) in blocks of 65536 bytes, at most
// the size it has now. False (and `hex` empty) when it cannot be sized or
// read, or is empty.
bool ComputeSha256Of(HANDLE file, std::wstring& hex);

// The same for the file at `path`, opened for reading (sharing read and
// write); false when it cannot be opened. (Inline: the program itself
// hashes only files it holds open.)
inline bool ComputeFileSha256(const std::wstring& path, std::wstring& hex) {
    hex.clear();
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && ComputeSha256Of(file.Get(), hex);
}

}  // namespace pravel
