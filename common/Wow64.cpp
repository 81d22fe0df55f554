#include "common/Wow64.h"

#include <windows.h>

#include "common/Bitness.h"
#include "common/Text.h"

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

std::wstring ExpandEnvironment(const std::wstring& text, bool native) {
    std::wstring source = text;
    if (native && IsWow64Process32()) {
        // The names under which a 32-bit process finds the native folders.
        static const wchar_t* const kNames[][2] = {
            {L"%programfiles%", L"%ProgramW6432%"},
            {L"%commonprogramfiles%", L"%CommonProgramW6432%"},
        };
        for (const auto& names : kNames) {
            size_t at;
            while ((at = ToLowerAscii(source).find(names[0])) != std::wstring::npos) {
                source.replace(at, ::lstrlenW(names[0]), names[1]);
            }
        }
    }
    const DWORD size = ::ExpandEnvironmentStringsW(source.c_str(), nullptr, 0);
    if (size == 0) return text;
    std::wstring expanded(size, L'\0');
    const DWORD length = ::ExpandEnvironmentStringsW(source.c_str(), &expanded[0], size);
    if (length == 0 || length > size) return text;
    expanded.resize(length - 1);  // the count includes the terminator
    return expanded;
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
