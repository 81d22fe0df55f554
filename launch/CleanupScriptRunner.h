// Hands files and folders that can only go after the program has ended to
// the configured clean-up script: Windows PowerShell runs a private copy of
// the script from the temporary folder with the named parameters -paths (the
// list) and -retry_count, and the program does not wait for it. The runner
// starts the script once: when Run is called, or else when it is destroyed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "launch/PowerShellCommand.h"

namespace pravel {

// <system folder>\WindowsPowerShell\v1.0\powershell.exe when that file
// exists, else empty. A 32-bit process on 64-bit Windows sees the 32-bit
// system folder through file-system redirection.
std::wstring FindWindowsPowerShell();

class CleanupScriptRunner {
  public:
    CleanupScriptRunner() = default;
    ~CleanupScriptRunner();
    CleanupScriptRunner(const CleanupScriptRunner&) = delete;
    CleanupScriptRunner& operator=(const CleanupScriptRunner&) = delete;

    void SetScript(const std::wstring& scriptPath, bool elevate, int32_t retryCount);
    // Appends the path unless an equal one (ignoring case) is listed.
    void AddPath(const std::wstring& path);
    const std::vector<std::wstring>& Paths() const { return paths_.Paths(); }
    // Takes every folder with two or more entries off the list: the script
    // would not be able to remove it. Files and missing paths stay.
    void DropFoldersStillInUse();

    // Starts the script once (later calls return true and do nothing).
    // - no paths, or no script configured: true, nothing is created or started;
    // - no Windows PowerShell: true, nothing is copied or started (logged);
    // - the script cannot be copied to QL_XXXX.ps1 in the temporary folder:
    //   false, nothing is started (logged);
    // - otherwise powershell.exe is started hidden in the script's folder
    //   without waiting: true. The private copy is left to the script.
    bool Run();

  private:
    CleanupPathList paths_;
    std::wstring scriptPath_;
    bool elevate_ = false;
    int32_t retryCount_ = 10;
    bool done_ = false;
};

}  // namespace pravel
