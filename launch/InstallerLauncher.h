// Runs the entries of one run's launch list: decides how each setup file is
// started (package manager, msiexec/direct start under LocalSystem, the shell
// otherwise), waits for it, records and logs its return code, tells the
// listener, and restarts Windows when an entry's reboot mode asks for it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pravel {

// One setup to run (one per prerequisite to install).
struct LaunchItem {
    std::wstring filePath;      // full path; may carry "\\?\"
    std::wstring arguments;     // the configured command line for the UI mode
    std::wstring displayName;   // shown while the entry runs
    int32_t rebootMode = 0;     // 0 never, 1 always, 2 when found present afterwards
    int32_t silent = 0;         // whether the run is silent (not read by the launch)
    uint32_t returnCode = 0;    // exit code, or the Win32 error of a failed start; 0 when
                                // the shell handed the file to a running program
    std::wstring listenerName;  // the prerequisite's RetValPropName
    int32_t prerequisiteIndex = 0;
};

// Told the return code of every launch, once, after it is known.
class LaunchListener {
  public:
    virtual ~LaunchListener() = default;
    virtual void LaunchFinished(const std::string& name, uint32_t returnCode) = 0;
};

// Answers of LaunchWithReboot.
enum LaunchOutcome : int32_t {
    kLaunchInstalled = 0,
    kLaunchFailed = 1,
    kLaunchRebootNeeded = 2,  // a restart was started or offered, or one is needed (3010)
};

class InstallerLauncher {
  public:
    // `listener` may be null; it must outlive the launcher.
    explicit InstallerLauncher(LaunchListener* listener) : listener_(listener) {}

    void Add(LaunchItem item) { items_.push_back(std::move(item)); }
    void Clear() { items_.clear(); }
    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    // Throws HResultError(0x8000000B) outside the list.
    LaunchItem& Item(int32_t index);

    // Runs entry `index` and waits for it. True when its return code is 0 or
    // 3010. A failed start is no exception: false, with the Win32 error as
    // return code and in LastLaunchError(). A file the shell hands to a
    // program already running starts no process: return code 0, logged.
    // Codes 3010 and codes with both top bits set (a setup that crashed) are
    // followed by a 2000 ms pause.
    bool Launch(int32_t index);

    // Launch, then the reboot handling of the entry: a restart for reboot
    // mode 1, or mode 2 when the confirmation callback answers true
    // ("Rebooting machine..."); 3010 records that a restart is needed
    // (RestartNeeded: the installer needs one, whatever pravel asks) and
    // starts none by itself. `quiet`: no question is asked. A restart request
    // that Windows does not accept is logged with its error and counts as
    // refused (RebootDeclined).
    int32_t LaunchWithReboot(int32_t index, bool quiet);

    // Asks (unless quiet; No sets RebootDeclined), enables SeShutdownPrivilege
    // and requests the restart. True when Windows accepted the request;
    // otherwise, unless the user answered No, the thread's last error tells
    // why.
    bool Reboot(bool quiet);

    // Mode 2: given the entry's prerequisite index, true when the
    // prerequisite is found present after its installation.
    void SetRebootConfirmation(std::function<bool(int32_t)> confirm) {
        confirm_ = std::move(confirm);
    }

    uint32_t LastLaunchError() const { return lastLaunchError_; }
    // Readable from any thread (the window that learns of the session's end).
    bool RebootStarted() const { return rebootStarted_.load(); }
    bool RebootDeclined() const { return rebootDeclined_.load(); }
    // An entry returned 3010: a restart must come before its installation is
    // complete (pending whether or not the user or Windows took a request).
    bool RestartNeeded() const { return restartNeeded_; }

  private:
    bool StartAsLocalSystem(LaunchItem& item);
    bool StartThroughShell(LaunchItem& item, bool hidden);

    LaunchListener* listener_;
    std::vector<LaunchItem> items_;
    uint32_t lastLaunchError_ = 0;
    std::atomic<bool> rebootStarted_{false};
    std::atomic<bool> rebootDeclined_{false};
    bool restartNeeded_ = false;
    std::function<bool(int32_t)> confirm_;
};

// --- Seams for the tests that link the library ------------------------------
// The restart request (default: ExitWindowsEx). Under Wine a real request ends
// every process of the prefix at once, so tests replace it. Null restores it.
using ShutdownRequestFn = bool (*)(uint32_t flags, uint32_t reason);
void SetShutdownRequest(ShutdownRequestFn request);

// The question before a restart (default: MessageBoxW, owned by the
// foreground window); answers IDYES or IDNO. Null restores it.
using RebootQuestionFn = int (*)(void* owner, const wchar_t* text, const wchar_t* caption,
                                 uint32_t type);
void SetRebootQuestion(RebootQuestionFn question);

}  // namespace pravel
