#include "common/Wow64.h"

#include <windows.h>

#include "common/Bitness.h"

namespace pravel {

bool IsWow64Process32() {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    static const IsWow64ProcessFn query =
        reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    return query != nullptr && query(::GetCurrentProcess(), &wow64) && wow64;
}

bool Is64BitWindows() {
    return kIs64BitBuild || IsWow64Process32();
}

}  // namespace pravel

namespace pravel {

FsRedirectionOff::FsRedirectionOff(bool active) {
    if (!active || !IsWow64Process32()) return;
    using DisableFn = BOOL(WINAPI*)(PVOID*);
    static const DisableFn disable = reinterpret_cast<DisableFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "Wow64DisableWow64FsRedirection")));
    disabled_ = disable != nullptr && disable(&oldValue_);
}

FsRedirectionOff::~FsRedirectionOff() {
    if (!disabled_) return;
    using RevertFn = BOOL(WINAPI*)(PVOID);
    static const RevertFn revert = reinterpret_cast<RevertFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "Wow64RevertWow64FsRedirection")));
    if (revert != nullptr) revert(oldValue_);
}

}  // namespace pravel
