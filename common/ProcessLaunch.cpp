#include "common/ProcessLaunch.h"

#include <shellapi.h>

#include "common/Handles.h"
#include "common/PathForms.h"
#include "common/Text.h"

namespace pravel {

namespace {

const wchar_t* OrNull(const std::wstring& text) {
    return text.empty() ? nullptr : text.c_str();
}

// Waits without limit for `process` (which may be empty) and stores its exit
// code in the slot when one was given.
void WaitForExit(const UniqueHandle& process, uint32_t* exitCode) {
    if (!process) return;
    ::WaitForSingleObject(process.Get(), INFINITE);
    DWORD code = 0;
    if (exitCode != nullptr && ::GetExitCodeProcess(process.Get(), &code)) *exitCode = code;
}

}  // namespace

std::wstring SystemProgramPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    return Concat(
        {std::wstring_view(folder, length < MAX_PATH ? length : 0), "\\", std::wstring_view(name)});
}

bool CreateProcessAndWait(const std::wstring& application, const std::wstring& commandLine,
                          DWORD creationFlags, uint32_t* exitCode) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::wstring writable = commandLine;
    if (!::CreateProcessW(OrNull(application), writable.empty() ? nullptr : &writable[0], nullptr,
                          nullptr, FALSE, creationFlags, nullptr, nullptr, &startup, &info)) {
        if (exitCode != nullptr) *exitCode = ::GetLastError();
        return false;
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    WaitForExit(process, exitCode);
    return true;
}

bool ShellExecuteAndWait(const std::wstring& file, const std::wstring& arguments,
                         const std::wstring& folder, bool hidden, uint32_t* exitCode,
                         bool* noProcess) {
    const std::wstring path = WithoutLongPathPrefix(file);
    std::wstring directory = folder;
    if (directory.empty()) directory = FolderOf(path);
    directory = WithoutLongPathPrefix(directory);

    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = path.c_str();
    info.lpParameters = OrNull(arguments);
    info.lpDirectory = OrNull(directory);
    info.nShow = hidden ? SW_HIDE : SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&info)) {
        if (exitCode != nullptr) *exitCode = ::GetLastError();
        return false;
    }
    if (noProcess != nullptr) *noProcess = info.hProcess == nullptr;
    if (info.hProcess == nullptr && exitCode != nullptr) *exitCode = 0;
    WaitForExit(UniqueHandle(info.hProcess), exitCode);
    return true;
}

bool ShellExecuteNoWait(const std::wstring& file, const std::wstring& arguments,
                        const std::wstring& folder, bool elevate) {
    std::wstring target = file;
    std::wstring parameters = arguments;
    if (elevate && IsBatchFile(file)) {
        target = SystemProgramPath(L"cmd.exe");
        parameters = ElevatedBatchArguments(file, arguments);
    }

    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = elevate ? ::GetForegroundWindow() : nullptr;
    info.lpVerb = elevate ? L"runas" : L"open";
    info.lpFile = target.c_str();
    info.lpParameters = OrNull(parameters);
    info.lpDirectory = OrNull(folder);
    info.nShow = SW_HIDE;
    if (!::ShellExecuteExW(&info) &&
        (reinterpret_cast<INT_PTR>(info.hInstApp) == SE_ERR_NOASSOC ||
         reinterpret_cast<INT_PTR>(info.hInstApp) == SE_ERR_ASSOCINCOMPLETE)) {
        // Without an association for the verb: the default verb, and the shell may ask.
        info.fMask &= ~static_cast<ULONG>(SEE_MASK_FLAG_NO_UI);
        info.lpVerb = nullptr;
        ::ShellExecuteExW(&info);
    }
    UniqueHandle process(info.hProcess);
    if (process) {
        using GetProcessIdFn = DWORD(WINAPI*)(HANDLE);
        static const auto getProcessId = reinterpret_cast<GetProcessIdFn>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleW(L"Kernel32.dll"), "GetProcessId")));
        if (getProcessId != nullptr) ::AllowSetForegroundWindow(getProcessId(process.Get()));
    }
    return true;
}

bool WaitWithMessagePump(HANDLE handle) {
    return WaitPumpingMessages(handle) == WAIT_OBJECT_0;
}

DWORD WaitPumpingMessages(HANDLE handle) {
    while (true) {
        const DWORD result =
            ::MsgWaitForMultipleObjectsEx(1, &handle, INFINITE, 0x5FF, MWMO_INPUTAVAILABLE);
        if (result != WAIT_OBJECT_0 + 1) return result;
        MSG message;
        if (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

std::wstring FormatSystemMessage(uint32_t code) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, code, 0x400, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    UniqueLocalMem owner(text);
    if (length == 0 || text == nullptr) return ToDecimal(static_cast<int32_t>(code));
    return std::wstring(text, length);
}

}  // namespace pravel
