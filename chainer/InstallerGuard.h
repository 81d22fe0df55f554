// Waits, without time limit, until no Windows Installer transaction holds the
// mutex "Global\_MSIExecute". The calling thread's messages are dispatched
// while it waits, so its windows keep answering.
#pragma once

#include <cstdint>

namespace pravel {

enum class InstallerGuardResult {
    kIdle,        // no transaction was in progress
    kReleased,    // a transaction was in progress and has ended
    kWaitFailed,  // the wait ended in another way (abandoned mutex, failure)
    kOpenFailed,  // the mutex exists but could not be opened
};

struct InstallerGuardOutcome {
    InstallerGuardResult result;
    uint32_t detail;  // wait result, or the Win32 error of the failed call
};

InstallerGuardOutcome WaitForInstallerIdle();

// True when the run may go on.
inline bool MayRun(const InstallerGuardOutcome& outcome) {
    return outcome.result == InstallerGuardResult::kIdle ||
           outcome.result == InstallerGuardResult::kReleased;
}

}  // namespace pravel
