// The run's log: a UTF-16LE file in which every opening starts with a banner
// and a machine description, followed by one time-stamped line per message.
// Nothing is written unless `logEnabled` is set. The file is opened on the
// first Write: the configured path first, then QUILLON_LOGS in the common
// application data folder, then beside the program, then QUILLON_LOGS in
// the temporary folder. Failures go to the debugger output only; a message
// that finds no file is lost and the next Write tries again.
//
// Under LocalSystem (RunsAsLocalSystem) the log never goes through a link a
// user may have planted: a QUILLON_LOGS folder that is a junction, symbolic
// link or other reparse point is skipped (the next location is tried), and a
// log file that is a reparse point or has more than one hard link is never
// written (opened without following a final link, checked on the handle
// before the first write; the next location is tried).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "common/Handles.h"
#include "common/OsVersionInfo.h"
#include "common/Text.h"

namespace pravel {

// Process-wide: true once the configuration names a log file.
extern bool logEnabled;

class Logger {
  public:
    Logger();
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    // Takes `path` unless a file is already open.
    void SetLogFile(const std::wstring& path);
    // The running system's version for the machine description that starts
    // every opening of the file ("OS Version: ..."): the run hands it over
    // before it enables logging, as the log reads no system facts of its
    // own. Until then the description shows an empty record (0.0.0).
    void SetSystemVersion(const OsVersionInfo& os);
    // Writes "<time stamp>-<message>\r\n", flushing after each piece.
    void Write(std::wstring_view message);

    // The path of the open file (empty while closed).
    std::wstring OpenPath();

  private:
    bool OpenLocked();
    bool NextFallback(int& next, std::wstring& candidate, bool guarded,
                      UniqueFile& folderHold) const;
    void WriteLocked(std::wstring_view text);

    CRITICAL_SECTION lock_;
    std::wstring path_;
    std::wstring fileName_;  // empty: the program's name with extension "LOG"
    UniqueFile file_;
    OsVersionInfo system_;
};

// The one Logger of the process.
Logger& TheLogger();

// Writes `message` when logging is enabled.
void Log(std::wstring_view message);
// Writes the pieces joined (see Concat) when logging is enabled; they are
// joined only then.
void Log(std::initializer_list<TextPiece> pieces);

}  // namespace pravel
