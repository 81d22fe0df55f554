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

namespace {

// Replaces every `from` (a "%name%" reference, any letter case) by `to`.
void ReplaceReference(std::wstring& text, const wchar_t* from, const wchar_t* to) {
    const size_t length = static_cast<size_t>(::lstrlenW(from));
    for (size_t at = 0; at + length <= text.size();) {
        if (::CompareStringOrdinal(text.c_str() + at, static_cast<int>(length), from,
                                   static_cast<int>(length), TRUE) == CSTR_EQUAL) {
            text.replace(at, length, to);
            at += static_cast<size_t>(::lstrlenW(to));
        } else {
            ++at;
        }
    }
}

}  // namespace

std::wstring ExpandEnvironment(const std::wstring& text, bool native) {
    std::wstring source = text;
    if (native && IsWow64Process32()) {
        ReplaceReference(source, L"%ProgramFiles%", L"%ProgramW6432%");
        ReplaceReference(source, L"%CommonProgramFiles%", L"%CommonProgramW6432%");
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
