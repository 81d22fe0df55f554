// Registry reading shared by the searches and the reference expansion.
// Missing keys and values are "not found", never errors.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/Handles.h"
#include "detect/RegistryPath.h"

namespace pravel {

enum class RegistryView {
    k64IfChosen,    // the 64-bit view when the 64-bit choice is set on 64-bit Windows
    k64WhenChosen,  // the 64-bit view whenever the 64-bit choice is set
};

// Opens `path.key` under its root for `access`; false when it does not open.
bool OpenRegistryKey(const RegistryPath& path, REGSAM access, bool use64, RegistryView view,
                     UniqueHKey& key);

// The data as text up to its first NUL, whatever its type (empty data: ""):
// size / 2 characters, so an odd last byte is dropped, and data without a
// terminating NUL is read no further than its size.
bool ReadValueRaw(HKEY key, const std::wstring& name, std::wstring& text);
// String and expandable data up to the first NUL (as Windows reads them,
// also when junk follows it in the data), multi-string data without its
// trailing NULs, DWORD data as unsigned decimal; any other type fails.
// `type` receives the data type.
bool ReadValueTyped(HKEY key, const std::wstring& name, std::wstring& text, DWORD* type = nullptr);
// The data as a reference puts it into a path: ReadValueTyped, but
// expandable data with its %variables% expanded (ExpandEnvironment, in the
// native view with `use64`) and multi-string data as its first string.
bool ReadValueForPath(HKEY key, const std::wstring& name, bool use64, std::wstring& text);

// Names of all subkeys (up to 260 characters each).
std::vector<std::wstring> EnumerateSubkeys(HKEY key);
// Names of all values (up to 16383 characters each); false when the
// enumeration ended with an error.
bool EnumerateValueNames(HKEY key, std::vector<std::wstring>& names);

}  // namespace pravel
