// Time to decide 100 prerequisites with three registry or file searches
// each, in-process, against the real (Wine) registry and file system.
// Goal: 50 ms or less for the whole pass.
#include <windows.h>

#include <cstdio>
#include <string>

#include "chainer/PrerequisiteSet.h"
#include "chainer/SystemEnvironment.h"
#include "config/IniDocument.h"
#include "detect/FileVersion.h"

using namespace pravel;

namespace {

const wchar_t* kBenchKey = L"Software\\PravelBench";

std::wstring BuildConfiguration(const std::wstring& file) {
    std::wstring text = L"[PREREQUISITES]\r\n";
    for (int n = 1; n <= 100; ++n)
        text += L"App" + std::to_wstring(n) + L"=Prerequisite " + std::to_wstring(n) + L"\r\n";
    for (int n = 1; n <= 100; ++n) {
        const std::wstring k = std::to_wstring(n);
        text += L"[App" + k + L"]\r\nSetupFile=p" + k + L".exe\r\n";
        // Registry value with a version, a key presence test, and a file version.
        text += L"SearchType1=2\r\nSearchString1=HKCU\\Software\\PravelBench\\P" + k +
                L"\\Version\r\nVerMin1=1.0\r\n";
        text += L"SearchType2=5\r\nSearchString2=HKCU\\Software\\PravelBench\\P" + k + L"\r\n";
        text += L"SearchType3=0\r\nSearchString3=" + file + L"\r\nVerMin3=1.0\r\n";
    }
    return text;
}

double Milliseconds(const LARGE_INTEGER& a, const LARGE_INTEGER& b, const LARGE_INTEGER& f) {
    return 1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
}

}  // namespace

int main() {
    for (int n = 1; n <= 100; ++n) {
        HKEY key = nullptr;
        const std::wstring path = std::wstring(kBenchKey) + L"\\P" + std::to_wstring(n);
        RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr);
        const wchar_t version[] = L"2.0.1";
        RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                       sizeof(version));
        RegCloseKey(key);
    }
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring file = std::wstring(system) + L"\\kernel32.dll";

    IniDocument document;
    document.Parse(BuildConfiguration(file));
    const int rounds = 5;
    double best = 1e9;
    double total = 0;
    size_t present = 0;
    for (int round = 0; round < rounds; ++round) {
        PrerequisiteSet set;
        set.Load(document, TextExpander());
        SystemEnvironment environment(set.Options());
        set.SetEnvironment(&environment);
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        set.EvaluateAll();
        QueryPerformanceCounter(&end);
        const double ms = Milliseconds(start, end, frequency);
        best = ms < best ? ms : best;
        total += ms;
        present = 0;
        for (const auto& p : set.Items()) present += p.state == kStatePresent ? 1 : 0;
    }
    // Breakdown: the share of the file-version reads.
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < 100; ++i) {
        FileVersion version;
        GetFileVersion(file, version);
    }
    QueryPerformanceCounter(&end);
    std::printf("evaluate: of which 100 file-version reads alone: %.1f ms\n",
                Milliseconds(start, end, frequency));
    QueryPerformanceCounter(&start);
    for (int i = 0; i < 100; ++i) {
        GetFileAttributesW(file.c_str());
    }
    QueryPerformanceCounter(&end);
    std::printf("evaluate: of which 100 file look-ups alone: %.1f ms\n",
                Milliseconds(start, end, frequency));
    QueryPerformanceCounter(&start);
    for (int n = 1; n <= 100; ++n) {
        HKEY key = nullptr;
        const std::wstring path = std::wstring(kBenchKey) + L"\\P" + std::to_wstring(n);
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
            RegCloseKey(key);
        }
    }
    QueryPerformanceCounter(&end);
    std::printf("evaluate: of which 100 registry key opens alone: %.1f ms\n",
                Milliseconds(start, end, frequency));
    RegDeleteTreeW(HKEY_CURRENT_USER, kBenchKey);
    std::printf(
        "evaluate: 100 prerequisites x 3 searches: best %.1f ms, mean %.1f ms over %d rounds "
        "(%zu present; goal <= 50 ms)\n",
        best, total / rounds, rounds, present);
    return present == 100 ? 0 : 1;
}
