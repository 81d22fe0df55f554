// Administrator rights asked for once (the general option ElevateOnce):
// when something must be installed and pravel runs without them, it starts
// itself again with the verb "runas" before installing (the User Account
// Control prompt), waits for that run and ends with its exit code. The
// elevated run is an ordinary run: it reads the configuration (nothing has
// deleted it: this run waits and cleans nothing up), decides, installs,
// cleans up and logs to the same log.
//
// Only Windows prompts: under Wine every process is elevated and "runas"
// just starts the program. The two platform calls go through
// ElevationPlatform, which the tests replace.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace pravel {

// What the process's token says.
enum class Elevation : uint8_t {
    kElevated,     // a full administrator token (also with UAC off)
    kNotElevated,  // a filtered administrator's or a standard user's: "runas" prompts
    kUnknown,      // Windows before Vista (no elevation), or the token could not be read
};

struct ElevationPlatform {
    Elevation (*query)();
    // Starts `program` in `folder`, without arguments, with the verb "runas"
    // (the prompt owned by `owner`, which may be null) and waits without
    // time limit until it ends, dispatching this thread's messages. 0 with
    // its exit code, or the Win32 error of the start (ERROR_CANCELLED: the
    // prompt was refused).
    uint32_t (*runElevated)(const std::wstring& program, const std::wstring& folder, HWND owner,
                            uint32_t& exitCode);
};

// Replaces the platform calls (tests only); null restores Windows'.
void SetElevationPlatform(const ElevationPlatform* platform);
// Windows' calls (a test may keep one of them).
const ElevationPlatform& WindowsElevation();

struct ElevatedRun {
    enum Outcome : uint8_t {
        kNotAsked,  // install here: not wanted, elevated already, cannot tell, or nobody can answer
        kEnded,     // the elevated run ended: its exit code is the run's
        kRefused,   // the prompt was refused or the start failed: exit code 1, nothing installed
    };
    Outcome outcome = kNotAsked;
    int32_t exitCode = 0;
};

// Before installing: when `wanted` and the process is not elevated, starts
// `programPath` elevated and waits (see above). Not asked when the window
// station is not visible (nobody could answer the prompt, a silent
// deployment in session 0 say): the run then installs with the rights it
// has. Every outcome but "not wanted" is logged.
ElevatedRun RunElevatedOnce(bool wanted, const std::wstring& programPath, HWND owner);

}  // namespace pravel
