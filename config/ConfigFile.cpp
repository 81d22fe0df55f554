#include "config/ConfigFile.h"

#include <windows.h>

#include <vector>

#include "common/Handles.h"
#include "common/ProcessLaunch.h"
#include "common/Text.h"

namespace pravel {

namespace {

// Opens the configuration for reading. A file that another program holds
// without sharing (a copy still being written) is asked for again every
// kConfigurationRetryStepMs until kConfigurationWaitMs have passed.
UniqueFile OpenConfiguration(const std::wstring& path, DWORD& error) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        error = file ? 0 : ::GetLastError();
        if (file || (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) ||
            ::GetTickCount() - start >= kConfigurationWaitMs) {
            return file;
        }
        ::Sleep(kConfigurationRetryStepMs);
    }
}

uint32_t FindConfiguration(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    UniqueFind find(::FindFirstFileW(path.c_str(), &data));
    if (find) return 0;
    const DWORD error = ::GetLastError();
    return error != 0 ? error : ERROR_GEN_FAILURE;
}

ConfigurationLookupFn g_lookup = &FindConfiguration;

}  // namespace

void SetConfigurationLookup(ConfigurationLookupFn lookup) {
    g_lookup = lookup != nullptr ? lookup : &FindConfiguration;
}

ConfigFileStatus ReadConfigurationFile(const std::wstring& path, std::wstring& text) {
    text.clear();
    // Only a file or folder that is not there makes the configuration
    // missing. A folder that cannot be listed (access denied), a lost
    // network path or a drive that is not ready say nothing about it: it may
    // well be there, so the run must not end as if there were nothing to do.
    DWORD error = g_lookup(path);
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        return ConfigFileStatus::kMissing;
    }
    UniqueFile file;
    if (error == 0) file = OpenConfiguration(path, error);
    // The size of the file as opened: a copy that was still being written
    // when it was found has its whole size only now.
    LARGE_INTEGER size = {};
    if (file && !::GetFileSizeEx(file.Get(), &size)) error = ::GetLastError();
    // A file of 0 or 1 byte holds no configuration at all.
    if (file && error == 0 && size.QuadPart >= 2) {
        std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        if (::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read,
                       nullptr)) {
            text = ConfigurationText(bytes.data(), read);
        } else {
            error = ::GetLastError();
        }
    }
    if (error == 0) return ConfigFileStatus::kRead;
    // No log can be written without the file's LogFile: the debugger output
    // is the only place that can tell why the run did not start.
    ::OutputDebugStringW(
        Concat({"Cannot read the configuration ", path, " (error ", DecimalPiece(error), ": ",
                TrimWhite(FormatSystemMessage(error)), ")."})
            .c_str());
    return ConfigFileStatus::kUnusable;
}

}  // namespace pravel
