// Locating and reading the configuration file that lies beside the program.
#pragma once

#include <cstdint>
#include <string>

namespace pravel {

// The program's folder, a backslash, its file name cut at the last dot, and
// ".ini": C:\Setup\pravel.exe reads C:\Setup\pravel.ini, a.b.exe reads a.b.ini.
std::wstring ConfigurationPathFor(const std::wstring& programPath);

// The text of a configuration file of `size` bytes held in `bytes`: the first
// two bytes (the byte-order mark) are skipped and the rest read as UTF-16LE.
// A file shorter than two bytes is an empty configuration; an odd last byte
// is dropped.
std::wstring ConfigurationText(const uint8_t* bytes, size_t size);

enum class ConfigFileStatus {
    kMissing,   // no file: the run ends at once with exit code 0
    kRead,      // `text` holds the configuration
    kUnusable,  // present but unreadable: the run ends at once with exit code 1
};

// How long a configuration that another program holds without sharing (a
// copy still being written) is waited for, and how often it is tried.
constexpr uint32_t kConfigurationWaitMs = 10000;
constexpr uint32_t kConfigurationRetryStepMs = 100;

// Windows only: finds and reads the file at `path`, read whole at the size
// it has once opened. kMissing only when looking for it answers "file not
// found" or "path not found"; kUnusable when it cannot be looked for
// otherwise (access denied on its folder, a lost network path, a drive not
// ready), or exists but cannot be opened (also after kConfigurationWaitMs
// of sharing violations), sized or read. The reason then goes to the
// debugger output ("Cannot read the configuration <path> (error <n>:
// <system text>)."): no log can be written without the file's LogFile.
ConfigFileStatus ReadConfigurationFile(const std::wstring& path, std::wstring& text);

// --- Seam for the tests that link the library --------------------------------
// How the configuration is looked for (default: FindFirstFileW): 0 when it
// is there, else the Win32 error. Null restores the default.
using ConfigurationLookupFn = uint32_t (*)(const std::wstring& path);
void SetConfigurationLookup(ConfigurationLookupFn lookup);

}  // namespace pravel
