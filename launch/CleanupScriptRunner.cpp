#include "launch/CleanupScriptRunner.h"

#include <windows.h>
#include <shlwapi.h>

#include "common/FileOperations.h"
#include "common/PathForms.h"
#include "common/ProcessLaunch.h"
#include "common/TempFolder.h"
#include "common/Text.h"
#include "diag/Logger.h"
#include "launch/StartCommand.h"

namespace pravel {

namespace {

// A fresh QL_XXXX.ps1 path in the temporary folder (no file left behind),
// or empty when no temporary name could be had. A folder longer than 247
// characters is given in its long-path form.
std::wstring NewPrivateScriptPath() {
    std::wstring folder = LongPathForm(ProgramTempFolder());
    folder = WithTrailingBackslash(folder);
    wchar_t name[MAX_PATH] = {};
    if (::GetTempFileNameW(folder.c_str(), kTempFilePrefix, 0, name) == 0) return std::wstring();
    ::DeleteFileW(name);
    return PrivateScriptPath(name);
}

}  // namespace

std::wstring FindWindowsPowerShell() {
    const std::wstring path = SystemProgramPath(L"WindowsPowerShell\\v1.0\\powershell.exe");
    return ::PathFileExistsW(path.c_str()) ? path : std::wstring();
}

CleanupScriptRunner::~CleanupScriptRunner() {
    try {
        Run();
    } catch (...) {
        // Nothing can be reported at this point of the program's end.
    }
}

void CleanupScriptRunner::SetScript(const std::wstring& scriptPath, bool elevate,
                                    int32_t retryCount) {
    scriptPath_ = scriptPath;
    elevate_ = elevate;
    retryCount_ = retryCount;
}

void CleanupScriptRunner::AddPath(const std::wstring& path) {
    paths_.Add(path);
}

void CleanupScriptRunner::DropFoldersStillInUse() {
    paths_.Filter([](const std::wstring& path) {
        if (!::PathIsDirectoryW(path.c_str())) return true;
        return CountFolderEntries(path, 2) < 2;
    });
}

bool CleanupScriptRunner::Run() {
    if (done_) return true;
    done_ = true;
    if (paths_.Empty() || scriptPath_.empty()) return true;

    const std::wstring powerShell = FindWindowsPowerShell();
    if (powerShell.empty()) {
        Log({"Windows PowerShell was not found: the clean-up script ", scriptPath_,
             " was not started."});
        return true;
    }
    const std::wstring privateScript = NewPrivateScriptPath();
    const std::wstring arguments = PowerShellArguments(privateScript, paths_.Paths(), retryCount_);
    if (privateScript.empty() || !::CopyFileW(scriptPath_.c_str(), privateScript.c_str(), TRUE)) {
        const DWORD error = ::GetLastError();
        Log({"The clean-up script ", scriptPath_, " could not be copied to ",
             privateScript.empty() ? TextPiece("the temporary folder") : TextPiece(privateScript),
             " (error ", DecimalPiece(error), "): it was not started."});
        return false;
    }
    Log({"Starting the clean-up script ", scriptPath_, " with ",
         DecimalPiece(paths_.Paths().size()), " paths."});
    return ShellExecuteNoWait(powerShell, arguments, FolderOf(scriptPath_), elevate_);
}

}  // namespace pravel
