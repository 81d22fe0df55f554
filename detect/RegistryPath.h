// Registry paths of the configuration: "ROOT\key\path" for keys and
// "ROOT\key\path\value" for values. The root is the text before the first
// backslash: HKLM/HKEY_LOCAL_MACHINE, HKCU/HKEY_CURRENT_USER,
// HKCR/HKEY_CLASSES_ROOT, HKCC/HKEY_CURRENT_CONFIG (any letter case); every
// other root selects HKEY_USERS. A path without a backslash has no root.
#pragma once

#include <string>

namespace pravel {

enum class RegistryRoot { kLocalMachine, kCurrentUser, kClassesRoot, kCurrentConfig, kUsers };

struct RegistryPath {
    RegistryRoot root = RegistryRoot::kUsers;
    std::wstring key;        // without the root
    std::wstring valueName;  // value paths only
};

// Key path: the key is everything after the first backslash.
bool ParseRegistryKeyPath(const std::wstring& text, RegistryPath& path);
// Value path: the key lies between the first and the last backslash, the
// value name after the last one.
bool ParseRegistryValuePath(const std::wstring& text, RegistryPath& path);

}  // namespace pravel
