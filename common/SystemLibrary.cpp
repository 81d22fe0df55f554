#include "common/SystemLibrary.h"

#include <cwchar>

namespace pravel {

namespace {

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

// A small fixed cache: pravel loads only a handful of system DLLs. Each slot
// remembers a name and its module (or that loading failed), so every DLL is
// tried once per process.
struct Slot {
    wchar_t name[32];
    HMODULE module;
};
constexpr int kSlots = 24;
Slot g_slots[kSlots];
int g_used = 0;
SRWLOCK g_lock = SRWLOCK_INIT;

// True when LoadLibraryExW understands LOAD_LIBRARY_SEARCH_SYSTEM32
// (Windows 8, or Windows 7 with KB2533623: AddDllDirectory is the marker).
bool HasSearchFlags() {
    static const bool has =
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "AddDllDirectory") != nullptr;
    return has;
}

HMODULE LoadFromSystemFolder(const wchar_t* name) {
    if (HasSearchFlags()) return ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    wchar_t path[MAX_PATH + 40];
    const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    if (std::wcslen(name) + length + 2 > sizeof(path) / sizeof(path[0])) return nullptr;
    path[length] = L'\\';
    std::wcscpy(path + length + 1, name);
    // With a full path, the altered search order looks for the DLL's own
    // imports in the system folder first, not in the program's folder.
    return ::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

HMODULE LoadSystemLibrary(const wchar_t* name) noexcept {
    // A bare file name only: a path would leave the system folder.
    if (name == nullptr || std::wcslen(name) >= 32 || std::wcspbrk(name, L"\\/:") != nullptr) {
        return nullptr;
    }
    ::AcquireSRWLockExclusive(&g_lock);
    HMODULE module = nullptr;
    bool cached = false;
    for (int i = 0; i < g_used; ++i) {
        if (::lstrcmpiW(g_slots[i].name, name) == 0) {
            module = g_slots[i].module;
            cached = true;
            break;
        }
    }
    if (!cached) {
        module = LoadFromSystemFolder(name);
        if (g_used < kSlots) {
            std::wcscpy(g_slots[g_used].name, name);
            g_slots[g_used].module = module;
            ++g_used;
        }
    }
    ::ReleaseSRWLockExclusive(&g_lock);
    return module;
}

FARPROC SystemProcAddress(const wchar_t* dllName, const char* procName) noexcept {
    HMODULE module = LoadSystemLibrary(dllName);
    return module == nullptr ? nullptr : ::GetProcAddress(module, procName);
}

void RestrictDllSearchToSystem() noexcept {
    using SetDefaultFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = reinterpret_cast<SetDefaultFn>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault != nullptr) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    ::SetDllDirectoryW(L"");
}

}  // namespace pravel
