#include "chainer/ConfigFile.h"

#include <windows.h>

#include <vector>

#include "common/Handles.h"

namespace pravel {

ConfigFileStatus ReadConfigurationFile(const std::wstring& path, std::wstring& text) {
    text.clear();
    WIN32_FIND_DATAW data;
    UniqueFind find(::FindFirstFileW(path.c_str(), &data));
    if (!find) return ConfigFileStatus::kMissing;
    const DWORD size = data.nFileSizeLow;

    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ConfigFileStatus::kUnusable;
    // A file of 0 or 1 byte holds no configuration at all.
    if (size < 2) return ConfigFileStatus::kRead;
    if (::SetFilePointer(file.Get(), 2, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
        return ConfigFileStatus::kUnusable;
    }
    std::vector<uint8_t> bytes(size);  // the two skipped bytes stay zero
    DWORD read = 0;
    if (!::ReadFile(file.Get(), bytes.data() + 2, size - 2, &read, nullptr) || read == 0) {
        return ConfigFileStatus::kRead;
    }
    text = ConfigurationText(bytes.data(), read + 2);
    return ConfigFileStatus::kRead;
}

}  // namespace pravel
