// Starting programs and waiting for them. A failed start never throws: the
// result is false and the exit-code slot receives the Win32 error.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace pravel {

// CreateProcessW (empty texts passed as null) and an unbounded wait.
bool CreateProcessAndWait(const std::wstring& application, const std::wstring& commandLine,
                          DWORD creationFlags, uint32_t* exitCode);

// ShellExecuteExW with "open" and an unbounded wait. A leading "\\?\" is
// dropped; an empty folder means the file's own folder. True also when the
// shell returned no process (the slot then keeps its value).
bool ShellExecuteAndWait(const std::wstring& file, const std::wstring& arguments,
                         const std::wstring& folder, bool hidden, uint32_t* exitCode);

// ShellExecuteExW without waiting, with "runas" when elevating. A .bat/.cmd
// file to elevate runs under the command interpreter's /C switch. Always true:
// callers cannot see a failed start.
bool ShellExecuteNoWait(const std::wstring& file, const std::wstring& arguments,
                        const std::wstring& folder, bool elevate);

// Waits for `handle` while dispatching the calling thread's messages.
bool WaitWithMessagePump(HANDLE handle);

// The system's text for a Win32 code, or the code in signed decimal.
std::wstring FormatSystemMessage(uint32_t code);

}  // namespace pravel
