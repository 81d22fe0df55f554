// Version resources of files, read through version.dll. version.dll is not a
// known DLL, so it is loaded at run time from the system folder only (never
// imported statically: a planted copy beside the program would run).
//
// Failure behaviour: nothing throws. Without version.dll (or one of its
// functions) every read fails with ERROR_MOD_NOT_FOUND, like a file that has
// no version resource.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace pravel {

// Reads the whole version resource of `path` into `data`. 0 on success,
// otherwise the Win32 error (ERROR_RESOURCE_TYPE_NOT_FOUND and the like for
// a file without one, ERROR_NOT_ENOUGH_MEMORY, ERROR_MOD_NOT_FOUND).
DWORD ReadVersionResource(const std::wstring& path, std::vector<BYTE>& data);

// VerQueryValueW on a resource read by ReadVersionResource. False when the
// value is missing or version.dll is not available.
bool QueryVersionValue(std::vector<BYTE>& data, const wchar_t* subBlock, void** value,
                       UINT* length);

}  // namespace pravel
