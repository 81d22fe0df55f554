// The rules that turn a prerequisite into an entry of the launch list: which
// configured command line it gets, its reboot mode and the path of its setup
// file. Pure text rules; the install engine applies them.
#pragma once

#include <cstdint>
#include <string>

#include "config/Configuration.h"

namespace pravel {

// UI mode of the command lines, from the general Options: 1 with "b",
// otherwise 0 with "q", otherwise 2.
enum CommandLineUiMode : int32_t {
    kUiModeSilent = 0,
    kUiModeBasic = 1,
    kUiModeFull = 2,
};
int32_t CommandLineUiModeOf(const std::wstring& generalOptions);

// CommandLine completed by the prerequisite's own UI letter, the first of
// "b", "q", "j", "n" found in its Options: "b" appends a blank and
// BasicUiCommandLine, "q" a blank and NoUiCommandLine, "n" follows the UI
// mode (silent: NoUiCommandLine, basic: BasicUiCommandLine, full: nothing),
// "j" or no letter keeps CommandLine alone.
std::wstring CompleteCommandLine(const Prerequisite& prerequisite, int32_t uiMode);

// Reboot mode of the launch entry: 0 without "r", 1 with "r", 2 with "r" and "R".
enum RebootMode : int32_t {
    kRebootNever = 0,
    kRebootAlways = 1,
    kRebootWhenPresent = 2,
};
int32_t RebootModeOf(const std::wstring& options);

// Path of a setup file delivered with the program: the location itself when
// it is absolute (begins with two backslashes, or its second character is a
// colon), else `folder` (the extraction folder, or the program's folder when
// that is empty) joined to it with one backslash.
std::wstring SetupFilePath(const std::wstring& location, const std::wstring& extractionFolder,
                           const std::wstring& programFolder);

// The share of a "\\\\server\\share\\..." path ("\\\\server\\share"); empty for
// every other path (also "\\\\?\\" paths).
std::wstring ShareRootOf(const std::wstring& path);

}  // namespace pravel
