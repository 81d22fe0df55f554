// Platform-free half of ConfigFile.h.
#include "config/ConfigFile.h"
#include "common/Text.h"

namespace pravel {

std::wstring ConfigurationPathFor(const std::wstring& programPath) {
    const std::wstring folder = FolderOf(programPath);
    return Concat({WithTrailingBackslash(folder), StripExtension(FileNameOf(programPath)), ".ini"});
}

std::wstring ConfigurationText(const uint8_t* bytes, size_t size) {
    if (size < 2) return std::wstring();
    return DecodeUtf16Le(bytes + 2, size - 2);
}

}  // namespace pravel
