// The system DLL loader: system folder only, once, thread-safe, null for
// anything it cannot or must not load.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "common/SystemLibrary.h"
#include "support/WinTestSupport.h"

using namespace testing_support;

namespace {

std::wstring Lower(std::wstring text) {
    for (auto& c : text) c = static_cast<wchar_t>(towlower(c));
    return text;
}

// True when `module` was mapped from the system folder (or, for a 32-bit
// process on 64-bit Windows, from the folder WOW64 redirects it to).
bool FromSystemFolder(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    std::wstring file = Lower(path);
    file = file.substr(0, file.rfind(L'\\'));
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    wchar_t wow[MAX_PATH] = {};
    GetSystemWow64DirectoryW(wow, MAX_PATH);
    return file == Lower(system) || (wow[0] != 0 && file == Lower(wow));
}

}  // namespace

TEST(SystemLibrary, LoadsFromTheSystemFolderOnceAndKeepsTheModule) {
    for (const wchar_t* name : {L"version.dll", L"msi.dll", L"shfolder.dll", L"wininet.dll",
                                L"mpr.dll", L"dbghelp.dll", L"uxtheme.dll", L"comctl32.dll"}) {
        const HMODULE module = pravel::LoadSystemLibrary(name);
        ASSERT_NE(nullptr, module) << Narrow(name);
        EXPECT_TRUE(FromSystemFolder(module)) << Narrow(name);
        EXPECT_EQ(module, pravel::LoadSystemLibrary(name));
    }
    // Names compare without regard to letter case.
    EXPECT_EQ(pravel::LoadSystemLibrary(L"version.dll"), pravel::LoadSystemLibrary(L"VERSION.DLL"));
}

TEST(SystemLibrary, RefusesPathsAndReportsMissingPiecesAsNull) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(nullptr, pravel::LoadSystemLibrary((std::wstring(system) + L"\\mpr.dll").c_str()));
    EXPECT_EQ(nullptr, pravel::LoadSystemLibrary(L"..\\mpr.dll"));
    EXPECT_EQ(nullptr, pravel::LoadSystemLibrary(L"sub/mpr.dll"));
    EXPECT_EQ(nullptr, pravel::LoadSystemLibrary(nullptr));
    EXPECT_EQ(nullptr, pravel::LoadSystemLibrary(L"pravel-no-such-library.dll"));
    EXPECT_EQ(nullptr, pravel::LoadSystemLibrary(L"a-name-far-too-long-for-any-system-dll.dll"));
    EXPECT_EQ(nullptr, pravel::SystemProcAddress(L"version.dll", "NoSuchExport"));
    EXPECT_EQ(nullptr, pravel::SystemProcAddress(L"pravel-no-such-library.dll", "Anything"));
}

TEST(SystemLibrary, TypedFunctionsWorkByNameAndByOrdinal) {
    const auto size = pravel::SystemFunction<DWORD(WINAPI*)(LPCWSTR, LPDWORD)>(
        L"version.dll", "GetFileVersionInfoSizeW");
    ASSERT_NE(nullptr, size);
    wchar_t kernel[MAX_PATH] = {};
    GetSystemDirectoryW(kernel, MAX_PATH);
    DWORD ignored = 0;
    EXPECT_GT(size((std::wstring(kernel) + L"\\kernel32.dll").c_str(), &ignored), 0u);
    // msi.dll ordinal 70 is MsiGetProductInfoW: an unknown product is 1605.
    const auto info = pravel::SystemFunction<UINT(WINAPI*)(LPCWSTR, LPCWSTR, LPWSTR, LPDWORD)>(
        L"msi.dll", MAKEINTRESOURCEA(70));
    ASSERT_NE(nullptr, info);
    wchar_t buffer[40];
    DWORD length = 40;
    EXPECT_EQ(1605u,
              info(L"{6B1D3F2A-9C4E-4B7D-8A21-3E5F6A7B8C9D}", L"VersionString", buffer, &length));
}

TEST(SystemLibrary, ConcurrentFirstUsesAgreeOnOneModule) {
    const wchar_t* names[] = {L"mpr.dll", L"dbghelp.dll", L"uxtheme.dll"};
    std::vector<HMODULE> seen(8 * 3);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 3; ++i) seen[t * 3 + i] = pravel::LoadSystemLibrary(names[i]);
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < 8; ++t) {
        for (int i = 0; i < 3; ++i) {
            EXPECT_NE(nullptr, seen[t * 3 + i]);
            EXPECT_EQ(seen[i], seen[t * 3 + i]);
        }
    }
}
