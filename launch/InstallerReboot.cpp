// The reboot handling of the installer launcher: after a successful launch,
// restart Windows when the entry's reboot mode asks for it, or record that a
// restart is needed (3010).
#include <windows.h>

#include <string>

#include "common/ErrorCodes.h"
#include "common/Handles.h"
#include "common/ProcessLaunch.h"
#include "common/Text.h"
#include "diag/Logger.h"
#include "launch/InstallerLauncher.h"
#include "ui/MessageBox.h"
#include "ui/ResourceIds.h"

namespace pravel {

namespace {

// SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_APPLICATION |
// SHTDN_REASON_MINOR_INSTALLATION.
constexpr uint32_t kRestartReason = 0x80040002u;

bool RequestShutdown(uint32_t flags, uint32_t reason) {
    return ::ExitWindowsEx(flags, reason) != FALSE;
}

// The program's message routine: a box while the run is interactive, the
// debugger output otherwise (then the answer is 0, which is not Yes).
int AskWithMessageBox(void* owner, const wchar_t* text, const wchar_t* caption, uint32_t type) {
    return ShowMessage(static_cast<HWND>(owner), type, text, caption);
}

ShutdownRequestFn g_shutdownRequest = &RequestShutdown;
RebootQuestionFn g_rebootQuestion = &AskWithMessageBox;

// Enables SeShutdownPrivilege in the process token; true when the
// adjustment reports no error (the privilege is then held).
bool EnableShutdownPrivilege(UniqueHandle& token) {
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                            token.Put())) {
        return false;
    }
    TOKEN_PRIVILEGES privileges = {};
    if (!::LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
        return false;
    }
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    ::AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
    return ::GetLastError() == ERROR_SUCCESS;
}

}  // namespace

void SetShutdownRequest(ShutdownRequestFn request) {
    g_shutdownRequest = request != nullptr ? request : &RequestShutdown;
}

void SetRebootQuestion(RebootQuestionFn question) {
    g_rebootQuestion = question != nullptr ? question : &AskWithMessageBox;
}

int32_t InstallerLauncher::LaunchWithReboot(int32_t index, bool quiet) {
    const LaunchItem& item = Item(index);
    if (!Launch(index)) return kLaunchFailed;
    if (item.returnCode == kSuccessRebootRequired) restartNeeded_ = true;
    const bool restart = item.rebootMode == 1 ||
                         (item.rebootMode == 2 && confirm_ && confirm_(item.prerequisiteIndex));
    if (restart) {
        Log({"Rebooting machine..."});
        rebootStarted_ = true;
        if (!Reboot(quiet) && !rebootDeclined_) {
            // Windows did not take the request: no restart is coming, so the
            // run goes on as after a refused one (and never reports a
            // pending restart).
            Log({"The restart request failed (error ", DecimalPiece(::GetLastError()),
                 "); going on as after a refused restart."});
            rebootDeclined_ = true;
        }
        return kLaunchRebootNeeded;
    }
    return item.returnCode == kSuccessRebootRequired ? kLaunchRebootNeeded : kLaunchInstalled;
}

bool InstallerLauncher::Reboot(bool quiet) {
    if (!quiet) {
        // Strings 216 and 217 of the table.
        const std::wstring text = LoadText(IDS_REBOOT_QUESTION);
        const std::wstring caption = LoadText(IDS_CONFIRMATION);
        const int answer = g_rebootQuestion(::GetForegroundWindow(), text.c_str(), caption.c_str(),
                                            MB_YESNO | MB_ICONINFORMATION);
        if (answer != IDYES) {
            rebootDeclined_ = true;
            return false;
        }
    }
    UniqueHandle token;
    if (!EnableShutdownPrivilege(token)) {
        if (::GetLastError() == ERROR_SUCCESS) ::SetLastError(ERROR_PRIVILEGE_NOT_HELD);
        return false;
    }
    ::SetLastError(ERROR_SUCCESS);
    if (g_shutdownRequest(EWX_REBOOT | EWX_FORCE, kRestartReason)) return true;
    if (::GetLastError() == ERROR_SUCCESS) ::SetLastError(ERROR_GEN_FAILURE);
    return false;
}

}  // namespace pravel
