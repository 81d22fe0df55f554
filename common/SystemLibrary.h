// The one way pravel loads a system DLL that is not one of Windows' "known
// DLLs" (version, msi, shfolder, wininet, mpr, dbghelp, uxtheme, comctl32 and
// the like). Setup programs run from folders that others can write to, and the
// plain search order looks in the program's folder first: such a DLL is
// therefore never imported statically and never loaded by its bare name.
//
// Contract: the DLL is loaded from the system folder only (with
// LOAD_LIBRARY_SEARCH_SYSTEM32 where the platform has it, otherwise by its
// full path in GetSystemDirectoryW, which WOW64 redirects for a 32-bit
// process), once per process and thread-safely, and stays loaded until the
// process ends. "Not available" is a null result, never an exception: callers
// treat it like a missing function.
#pragma once

#include <windows.h>

namespace pravel {

// The module of the system DLL `name` (a bare file name such as L"msi.dll";
// a name with a path is refused), or null when it cannot be loaded from the
// system folder. Without LOAD_LIBRARY_SEARCH_SYSTEM32 the full path is loaded
// with LOAD_WITH_ALTERED_SEARCH_PATH, so the DLL's own imports also come from
// the system folder.
HMODULE LoadSystemLibrary(const wchar_t* name) noexcept;

// The export `procName` (a name, or MAKEINTRESOURCEA(ordinal)) of the system
// DLL `dllName`, or null when the DLL or the export is missing.
FARPROC SystemProcAddress(const wchar_t* dllName, const char* procName) noexcept;

// Typed form: SystemFunction<decltype(&::InternetOpenW)>(L"wininet.dll", "InternetOpenW").
template <typename Fn>
Fn SystemFunction(const wchar_t* dllName, const char* procName) noexcept {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(SystemProcAddress(dllName, procName)));
}

// First thing in the entry point, before COM and before any other DLL is
// loaded: restricts the process's default DLL search to the system folder
// where the platform allows it and takes the current folder out of the
// search. This also covers system DLLs that load others by their bare names
// (measured under Wine: msi.dll pulls in comctl32.dll, which loads
// uxtheme.dll so). Failures are ignored (older systems lack the functions).
void RestrictDllSearchToSystem() noexcept;

}  // namespace pravel
