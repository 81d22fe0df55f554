// Starting programs and waiting for them. A failed start never throws: the
// result is false and the exit-code slot receives the Win32 error.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace pravel {

// The full path of `name` (a file name, or a path relative to the folder) in
// the system folder as GetSystemDirectoryW gives it (a 32-bit process on
// 64-bit Windows that starts it is redirected to the 32-bit folder). Programs
// pravel starts by name are started by this path: the search order of a bare
// name looks in pravel's own folder first, which others may be able to write
// to. Never a bare name: should the folder not be had, the result is
// "\<name>".
std::wstring SystemProgramPath(const wchar_t* name);

// CreateProcessW (empty texts passed as null) and an unbounded wait.
bool CreateProcessAndWait(const std::wstring& application, const std::wstring& commandLine,
                          DWORD creationFlags, uint32_t* exitCode);

// ShellExecuteExW with "open" and an unbounded wait. The long-path prefix is
// dropped as WithoutLongPathPrefix does ("\\?\UNC\" becomes "\\"); an empty
// folder means the file's own folder. The slot receives the exit code (or the
// Win32 error of a failed start). When the shell starts no process (it
// handed the file to a program already running, through DDE for example),
// there is nothing to wait for: true, the slot receives 0 and `noProcess`
// (when given) is set; it is cleared otherwise.
bool ShellExecuteAndWait(const std::wstring& file, const std::wstring& arguments,
                         const std::wstring& folder, bool hidden, uint32_t* exitCode,
                         bool* noProcess = nullptr);

// ShellExecuteExW without waiting, with "runas" when elevating. A .bat/.cmd
// file to elevate runs under the /C switch of the system folder's cmd.exe. Always true:
// callers cannot see a failed start.
bool ShellExecuteNoWait(const std::wstring& file, const std::wstring& arguments,
                        const std::wstring& folder, bool elevate);

// Waits without time limit for `handle` while dispatching the calling
// thread's messages, so that its windows keep answering (also to programs
// that broadcast a message and wait for every window). The wait's result:
// WAIT_OBJECT_0, WAIT_ABANDONED_0 (an abandoned mutex, now owned by this
// thread) or WAIT_FAILED.
DWORD WaitPumpingMessages(HANDLE handle);
// True when WaitPumpingMessages ended with WAIT_OBJECT_0.
bool WaitWithMessagePump(HANDLE handle);

// The system's text for a Win32 code, or the code in signed decimal.
std::wstring FormatSystemMessage(uint32_t code);

}  // namespace pravel
