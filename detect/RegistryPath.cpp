#include "detect/RegistryPath.h"

#include "common/Text.h"

namespace pravel {

namespace {

RegistryRoot RootOf(const std::wstring& name) {
    struct Alias {
        const char* shortName;
        const char* longName;
        RegistryRoot root;
    };
    static const Alias kAliases[] = {
        {"HKLM", "HKEY_LOCAL_MACHINE", RegistryRoot::kLocalMachine},
        {"HKCU", "HKEY_CURRENT_USER", RegistryRoot::kCurrentUser},
        {"HKCR", "HKEY_CLASSES_ROOT", RegistryRoot::kClassesRoot},
        {"HKCC", "HKEY_CURRENT_CONFIG", RegistryRoot::kCurrentConfig},
    };
    for (const auto& alias : kAliases) {
        if (EqualsIgnoreCaseAscii(name, alias.shortName) ||
            EqualsIgnoreCaseAscii(name, alias.longName)) {
            return alias.root;
        }
    }
    return RegistryRoot::kUsers;
}

}  // namespace

bool ParseRegistryKeyPath(const std::wstring& text, RegistryPath& path) {
    const size_t first = text.find(L'\\');
    if (first == std::wstring::npos) return false;
    path.root = RootOf(text.substr(0, first));
    path.key = text.substr(first + 1);
    path.valueName.clear();
    return true;
}

bool ParseRegistryValuePath(const std::wstring& text, RegistryPath& path) {
    const size_t first = text.find(L'\\');
    if (first == std::wstring::npos) return false;
    const size_t last = text.rfind(L'\\');
    path.root = RootOf(text.substr(0, first));
    path.key = last > first ? text.substr(first + 1, last - first - 1) : std::wstring();
    path.valueName = text.substr(last + 1);
    return true;
}

}  // namespace pravel
