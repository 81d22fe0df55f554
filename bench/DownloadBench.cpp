// Download bench: the Downloader fetching one file from a local server,
// with the bench process's peak working set during the transfer.
//   download_bench.exe URL TARGET
// Prints "seconds=S bytes=N mbps=M idle_ws_kib=I peak_ws_kib=P result=R".
#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "download/Downloader.h"
#include "download/WinInetApi.h"

namespace {

SIZE_T WorkingSet() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.WorkingSetSize;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: download_bench URL TARGET\n");
        return 2;
    }
    DeleteFileW(argv[2]);
    DeleteFileW((std::wstring(argv[2]) + L".part").c_str());
    // Loading wininet.dll is part of the process start, not of the transfer
    // (curl's speed does not include its start either).
    if (!pravel::WinInet().Available()) return 3;
    const SIZE_T idle = WorkingSet();
    std::atomic<bool> done{false};
    std::atomic<SIZE_T> peak{idle};
    std::thread sampler([&] {
        while (!done) {
            const SIZE_T now = WorkingSet();
            if (now > peak) peak = now;
            Sleep(20);
        }
    });
    const auto start = std::chrono::steady_clock::now();
    pravel::Downloader downloader(nullptr, nullptr);
    const uint32_t result = downloader.Download(argv[1], argv[2]);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    done = true;
    sampler.join();
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(argv[2], GetFileExInfoStandard, &data);
    const unsigned long long bytes =
        (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    std::printf("seconds=%.3f bytes=%llu mbps=%.1f idle_ws_kib=%llu peak_ws_kib=%llu result=%u\n",
                seconds, bytes, bytes / seconds / 1e6, static_cast<unsigned long long>(idle / 1024),
                static_cast<unsigned long long>(peak / 1024), result);
    DeleteFileW(argv[2]);
    return result == 0 ? 0 : 1;
}
