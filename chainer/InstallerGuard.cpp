#include "chainer/InstallerGuard.h"

#include <windows.h>

#include "common/Handles.h"
#include "common/ProcessLaunch.h"
#include "diag/Logger.h"

namespace pravel {

InstallerGuardOutcome WaitForInstallerIdle() {
    UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\_MSIExecute"));
    if (!mutex) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return {InstallerGuardResult::kIdle, 0};
        return {InstallerGuardResult::kOpenFailed, error};
    }
    Log({"Another Windows Installer transaction is in progress. Waiting for it to end..."});
    // The preparing window of an interactive run is up meanwhile: it keeps
    // answering while the transaction lasts.
    const DWORD result = WaitPumpingMessages(mutex.Get());
    if (result == WAIT_OBJECT_0) {
        // Ownership is given back at once: the run only needs the transaction to be over.
        ::ReleaseMutex(mutex.Get());
        return {InstallerGuardResult::kReleased, 0};
    }
    if (result == WAIT_ABANDONED_0) ::ReleaseMutex(mutex.Get());
    return {InstallerGuardResult::kWaitFailed,
            result == WAIT_FAILED ? ::GetLastError() : static_cast<DWORD>(result)};
}

}  // namespace pravel
