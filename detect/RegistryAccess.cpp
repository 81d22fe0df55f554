#include "detect/RegistryAccess.h"

#include <algorithm>

#include "common/Text.h"
#include "common/Wow64.h"

namespace pravel {

namespace {

HKEY RootKey(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::kLocalMachine:
            return HKEY_LOCAL_MACHINE;
        case RegistryRoot::kCurrentUser:
            return HKEY_CURRENT_USER;
        case RegistryRoot::kClassesRoot:
            return HKEY_CLASSES_ROOT;
        case RegistryRoot::kCurrentConfig:
            return HKEY_CURRENT_CONFIG;
        default:
            return HKEY_USERS;
    }
}

}  // namespace

bool OpenRegistryKey(const RegistryPath& path, REGSAM access, bool use64, RegistryView view,
                     UniqueHKey& key) {
    if (use64 && ((view == RegistryView::k64IfChosen && Is64BitWindows()) ||
                  view == RegistryView::k64WhenChosen)) {
        access |= KEY_WOW64_64KEY;
    }
    return ::RegOpenKeyExW(RootKey(path.root), path.key.c_str(), 0, access, key.Put()) ==
           ERROR_SUCCESS;
}

bool ReadValueRaw(HKEY key, const std::wstring& name, std::wstring& text) {
    DWORD size = 0;
    if (::RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
        return false;
    }
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&data[0]),
                           &size) != ERROR_SUCCESS) {
        return false;
    }
    // Whole characters only (an odd last byte is dropped), up to the first NUL.
    data.resize(size / sizeof(wchar_t));
    text = data.substr(0, data.find(L'\0'));
    return true;
}

bool ReadValueTyped(HKEY key, const std::wstring& name, std::wstring& text, DWORD* typeOut) {
    std::vector<BYTE> data(200);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size());
    LONG status;
    while ((status = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size)) ==
           ERROR_MORE_DATA) {
        data.assign(size + 2, 0);
        size = static_cast<DWORD>(data.size());
    }
    if (status != ERROR_SUCCESS) return false;
    if (typeOut != nullptr) *typeOut = type;
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
        case REG_MULTI_SZ: {
            text.assign(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
            // A string ends at its first NUL, as Windows reads it, whatever
            // follows in the data; a multi-string keeps its inner NULs.
            if (type != REG_MULTI_SZ) text.resize(std::min(text.size(), text.find(L'\0')));
            while (!text.empty() && text.back() == L'\0') text.pop_back();
            return true;
        }
        case REG_DWORD: {
            DWORD value = 0;
            memcpy(&value, data.data(), sizeof(value));
            text = ToDecimalUnsigned(value);
            return true;
        }
        default:
            return false;
    }
}

bool ReadValueForPath(HKEY key, const std::wstring& name, bool use64, std::wstring& text) {
    DWORD type = 0;
    if (!ReadValueTyped(key, name, text, &type)) return false;
    if (type == REG_EXPAND_SZ) text = ExpandEnvironment(text, use64);
    const size_t end = text.find(L'\0');  // of a multi-string's first string
    if (type == REG_MULTI_SZ && end != std::wstring::npos) text.resize(end);
    return true;
}

std::vector<std::wstring> EnumerateSubkeys(HKEY key) {
    std::vector<std::wstring> names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[261];
        DWORD length = 261;
        if (::RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name, length);
    }
    return names;
}

bool EnumerateValueNames(HKEY key, std::vector<std::wstring>& names) {
    std::vector<wchar_t> name(16384);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        const LONG status =
            ::RegEnumValueW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) return true;
        if (status != ERROR_SUCCESS) return false;
        names.emplace_back(name.data(), length);
    }
}

}  // namespace pravel
