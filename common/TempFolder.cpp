#include "common/TempFolder.h"

#include <windows.h>
#include <sddl.h>

#include <vector>

#include "common/FileOperations.h"
#include "common/Handles.h"
#include "common/Text.h"

namespace pravel {

namespace {

bool (*g_localSystemProbe)() = &IsLocalSystemAccount;

std::wstring OrdinaryTempFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) return std::wstring();
    return WithTrailingBackslash(std::wstring(buffer, length));
}

// <Windows>\SystemTemp\, created when missing with a protected access list
// for LocalSystem and the Administrators group.
std::wstring SystemTempFolder() {
    wchar_t windows[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    const std::wstring folder = WithTrailingBackslash(windows) + L"SystemTemp\\";
    if (::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
        CreateFolderWithAccess(folder, L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
    return folder;
}

// The TOKEN_USER record of the process token; empty when it cannot be read.
std::vector<BYTE> TokenUserRecord() {
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put())) return {};
    DWORD size = 0;
    ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<BYTE> buffer(size);
    if (!::GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size)) return {};
    return buffer;
}

}  // namespace

bool IsLocalSystemAccount() {
    const std::vector<BYTE> record = TokenUserRecord();
    if (record.empty()) return false;
    const auto* user = reinterpret_cast<const TOKEN_USER*>(record.data());
    return ::IsWellKnownSid(user->User.Sid, WinLocalSystemSid) != FALSE;
}

std::wstring ProcessUserSid() {
    const std::vector<BYTE> record = TokenUserRecord();
    wchar_t* text = nullptr;
    if (record.empty() || !::ConvertSidToStringSidW(
                              reinterpret_cast<const TOKEN_USER*>(record.data())->User.Sid, &text))
        return std::wstring();
    UniqueLocalMem owner(text);
    return text;
}

std::wstring ComputeTempFolder(bool isLocalSystem) {
    if (!isLocalSystem) return OrdinaryTempFolder();
    using GetTempPath2Fn = DWORD(WINAPI*)(DWORD, LPWSTR);
    const auto getTempPath2 = reinterpret_cast<GetTempPath2Fn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "GetTempPath2W")));
    if (getTempPath2 != nullptr) {
        wchar_t buffer[MAX_PATH + 1] = {};
        const DWORD length = getTempPath2(MAX_PATH + 1, buffer);
        if (length != 0 && length <= MAX_PATH) {
            return WithTrailingBackslash(std::wstring(buffer, length));
        }
    }
    return SystemTempFolder();
}

const std::wstring& ProgramTempFolder() {
    static const std::wstring folder = ComputeTempFolder(g_localSystemProbe());
    return folder;
}

bool RunsAsLocalSystem() {
    return g_localSystemProbe();
}

void SetLocalSystemProbe(bool (*probe)()) {
    g_localSystemProbe = probe != nullptr ? probe : &IsLocalSystemAccount;
}

}  // namespace pravel
