// Hashes one file and prints "<seconds> <digest>": with the Windows build
// through the program's ComputeFileMd5 (64 KiB blocks), natively through the
// same portable MD5 reading the file in 64 KiB blocks.
#include <chrono>
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include "download/FileDigest.h"
#else
#include <vector>

#include "download/Md5.h"
#endif

namespace {

#ifndef _WIN32
std::string HashFile(const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return std::string();
    std::vector<unsigned char> buffer(65536);
    pravel::Md5 md5;
    size_t read;
    while ((read = std::fread(buffer.data(), 1, buffer.size(), file)) > 0)
        md5.Update(buffer.data(), read);
    std::fclose(file);
    uint8_t digest[16];
    md5.Final(digest);
    std::string hex;
    for (wchar_t c : pravel::Md5::ToHex(digest)) hex += static_cast<char>(c);
    return hex;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: md5_bench FILE\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
#ifdef _WIN32
    const std::string name = argv[1];
    const std::wstring digest = pravel::ComputeFileMd5(std::wstring(name.begin(), name.end()));
    std::string hex(digest.begin(), digest.end());
#else
    const std::string hex = HashFile(argv[1]);
#endif
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (hex.empty()) {
        std::fprintf(stderr, "md5_bench: cannot hash %s\n", argv[1]);
        return 1;
    }
    std::printf("%.3f %s\n", seconds, hex.c_str());
    return 0;
}
