// Saves named values of an HKLM key (64-bit view) and puts them back when it
// goes, deleting the ones that did not exist.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <map>
#include <string>

namespace testing_support {

class RegistrySnapshot {
  public:
    RegistrySnapshot(const wchar_t* path, std::initializer_list<const wchar_t*> names) {
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                        nullptr, &key_, nullptr);
        for (const wchar_t* name : names) {
            Saved saved;
            DWORD size = sizeof(saved.data);
            saved.exists = RegQueryValueExW(key_, name, nullptr, &saved.type, saved.data, &size) ==
                           ERROR_SUCCESS;
            saved.size = size;
            saved_[name] = saved;
        }
    }
    ~RegistrySnapshot() {
        for (const auto& [name, saved] : saved_) {
            if (saved.exists) {
                RegSetValueExW(key_, name.c_str(), 0, saved.type, saved.data, saved.size);
            } else {
                RegDeleteValueW(key_, name.c_str());
            }
        }
        RegCloseKey(key_);
    }
    void SetString(const wchar_t* name, const std::wstring& value, DWORD type = REG_SZ) {
        RegSetValueExW(key_, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    void SetDword(const wchar_t* name, DWORD value) {
        RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof(value));
    }
    void Delete(const wchar_t* name) { RegDeleteValueW(key_, name); }

  private:
    struct Saved {
        bool exists = false;
        DWORD type = 0;
        DWORD size = 0;
        BYTE data[2048];
    };
    HKEY key_ = nullptr;
    std::map<std::wstring, Saved> saved_;
};

}  // namespace testing_support
