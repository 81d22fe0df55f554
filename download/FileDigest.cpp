#include "download/FileDigest.h"

#include <windows.h>

#include <vector>

#include "common/Handles.h"
#include "download/Md5.h"

namespace pravel {

std::wstring ComputeMd5Of(HANDLE file) {
    LARGE_INTEGER size = {};
    const LARGE_INTEGER start = {};
    if (!::GetFileSizeEx(file, &size) || size.QuadPart <= 0 ||
        !::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
        return std::wstring();
    }
    constexpr DWORD kBlock = 65536;
    std::vector<uint8_t> buffer(kBlock);
    Md5 md5;
    uint64_t left = static_cast<uint64_t>(size.QuadPart);
    while (left > 0) {
        const DWORD wanted = left < kBlock ? static_cast<DWORD>(left) : kBlock;
        DWORD read = 0;
        if (!::ReadFile(file, buffer.data(), wanted, &read, nullptr) || read == 0) {
            return std::wstring();  // the file shrank or cannot be read: no digest
        }
        md5.Update(buffer.data(), read);
        left -= read;
    }
    uint8_t digest[16];
    md5.Final(digest);
    return Md5::ToHex(digest);
}

}  // namespace pravel
