// The private copy of an accepted file (common/PrivateFolder.h): the file
// opened as the acceptance opens it, copied through that handle into a
// private folder under PARENT, then the copy read again as its test reads
// it (SHA-256). Prints "<copy seconds> <test seconds> <digest>"; with a
// repeat count, the copy (folder made, file copied, copy discarded) is done
// that many times and the mean of one copy is printed.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/Handles.h"
#include "common/PrivateFolder.h"
#include "download/FileSha256.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: copy_bench FILE PARENT [REPEAT]\n");
        return 2;
    }
    const int repeat = argc > 3 ? _wtoi(argv[3]) : 1;
    pravel::UniqueFile original(::CreateFileW(argv[1], GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!original) {
        std::fprintf(stderr, "copy_bench: cannot open the file (%lu)\n", ::GetLastError());
        return 1;
    }
    pravel::PrivateFolder folder(argv[2]);
    std::wstring copy;
    double copySeconds = 0;
    for (int i = 0; i < repeat; ++i) {
        if (i != 0) folder.Discard(copy);
        const auto start = std::chrono::steady_clock::now();
        if (const uint32_t error = folder.CopyIn(original.Get(), L"setup.exe", copy); error != 0) {
            std::fprintf(stderr, "copy_bench: the copy failed (%u)\n", error);
            return 1;
        }
        copySeconds += Seconds(start);
    }
    const auto start = std::chrono::steady_clock::now();
    pravel::UniqueFile held(::CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    std::wstring hex;
    if (!held || !pravel::ComputeSha256Of(held.Get(), hex)) return 1;
    const double testSeconds = Seconds(start);
    held.Reset();
    if (folder.Remove() != 0) {
        std::fprintf(stderr, "copy_bench: the private folder is left\n");
        return 1;
    }
    std::printf("%.6f %.3f %s\n", copySeconds / repeat, testSeconds,
                std::string(hex.begin(), hex.end()).c_str());
    return 0;
}
