#include "chainer/InterbootContext.h"

#include <windows.h>

#include "common/Handles.h"

namespace pravel {

void InterbootContext::SetNumber(const std::string& name, int32_t value) {
    char text[16];
    ::wsprintfA(text, "%d", value);
    SetString(name, text);
}

void InterbootContext::SetString(const std::string& name, const std::string& text) {
    std::string existing;
    if (GetString(name, existing)) return;
    UniqueHKey key;
    if (::RegCreateKeyA(HKEY_CURRENT_USER, kKeyName, key.Put()) != ERROR_SUCCESS) return;
    ::RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                     static_cast<DWORD>(text.size()));
}

bool InterbootContext::GetString(const std::string& name, std::string& text) const {
    UniqueHKey key;
    if (::RegOpenKeyA(HKEY_CURRENT_USER, kKeyName, key.Put()) != ERROR_SUCCESS) return false;
    std::string buffer(260, '\0');
    DWORD size = static_cast<DWORD>(buffer.size());
    LONG status = ::RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(&buffer[0]), &size);
    if (status == ERROR_MORE_DATA) {
        buffer.assign(size, '\0');
        status = ::RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(&buffer[0]), &size);
    }
    if (status != ERROR_SUCCESS) return false;
    buffer.resize(size);
    const size_t nul = buffer.find('\0');
    text = nul == std::string::npos ? buffer : buffer.substr(0, nul);
    return true;
}

bool InterbootContext::GetNumber(const std::string& name, int32_t& value) const {
    std::string text;
    if (!GetString(name, text) || text.empty()) return false;
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) return false;
    int64_t number = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        number = number * 10 + (text[i] - '0');
        if (number > 2147483648LL) return false;
    }
    if (text[0] == '-') number = -number;
    if (number > INT32_MAX || number < INT32_MIN) return false;
    value = static_cast<int32_t>(number);
    return true;
}

void InterbootContext::DeleteValue(const std::string& name) {
    UniqueHKey key;
    if (::RegOpenKeyA(HKEY_CURRENT_USER, kKeyName, key.Put()) != ERROR_SUCCESS) return;
    ::RegDeleteValueA(key.Get(), name.c_str());
}

std::vector<std::pair<std::string, std::string>> InterbootContext::Enumerate() const {
    std::vector<std::pair<std::string, std::string>> values;
    UniqueHKey key;
    if (::RegOpenKeyA(HKEY_CURRENT_USER, kKeyName, key.Put()) != ERROR_SUCCESS) return values;
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD length = sizeof(name);
        if (::RegEnumValueA(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        std::string text;
        GetString(std::string(name, length), text);
        values.emplace_back(std::string(name, length), text);
    }
    return values;
}

void InterbootContext::LaunchFinished(const std::string& name, uint32_t returnCode) {
    if (name.empty()) return;
    SetNumber(name, static_cast<int32_t>(returnCode));
}

void InterbootContext::DeleteKey() {
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kKeyName);
}

}  // namespace pravel
