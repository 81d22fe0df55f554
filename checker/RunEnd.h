// What pravel does with [PREREQ_CHAINER], told in words for the checker's
// findings and --explain: where the log really goes (pravel opens LogFile
// as written: no %VAR% or [Folder] reference is expanded and no folder is
// created; when the file cannot be opened it falls back to
// <common application data>\QUILLON_LOGS, then beside the program, then
// %TEMP%\QUILLON_LOGS, each with the program's name and ".LOG"), and what
// the end of every run removes (with the section present: the
// configuration file always, the CleanupFiles that exist, and through the
// clean-up script the program and its folders).
#pragma once

#include <string>

#include "config/Configuration.h"

namespace pravel {

enum class LogPlace {
    kNone,           // no LogFile: no log at all
    kAsWritten,      // a full path in a folder every Windows has
    kFolderMayLack,  // a full path in a folder pravel does not create
    kRelative,       // opened in the current folder of whoever starts pravel
    kNeverExpanded,  // holds %VAR% or a [Folder] reference: never found
};

struct LogDestination {
    LogPlace place = LogPlace::kNone;
    std::wstring folder;     // the folder LogFile names (kFolderMayLack)
    std::wstring reference;  // the %VAR% or [Folder] text (kNeverExpanded)
};

LogDestination ClassifyLogFile(const std::wstring& logFile);

// "C:\ProgramData\QUILLON_LOGS\pravel.LOG (then beside pravel.exe as
// pravel.LOG, then %TEMP%\QUILLON_LOGS\pravel.LOG)" for the program
// `programName` ("pravel").
std::wstring FallbackLogText(const std::wstring& programName);

// The program and configuration file names for a configuration file name:
// "setup.ini" is read by "setup.exe".
std::wstring ProgramNameFor(const std::wstring& configurationFileName);

// The note on [PREREQ_CHAINER]: pravel deletes the configuration file at
// the end of every run (and, with a clean-up script, the program).
std::wstring ChainerNote(const ChainerSettings& settings,
                         const std::wstring& configurationFileName);

// One sentence on what the end of every run removes: the configuration
// file named `configurationFileName` and, with `settings`, the clean-up
// files and the clean-up script's paths; `hasSection`: [PREREQ_CHAINER] is
// present. `keepFiles` is the general KeepFiles value.
std::wstring RunEndText(bool hasSection, const ChainerSettings& settings,
                        const std::wstring& configurationFileName, int32_t keepFiles);

}  // namespace pravel
