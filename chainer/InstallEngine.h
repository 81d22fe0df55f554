// One run's installation machinery, created when something must be
// installed: builds the launch list from the decided prerequisites, runs it
// through the installer launcher (return codes go to the InterbootContext
// store), stops on a failed mandatory prerequisite or a needed restart, and
// checks afterwards that every mandatory prerequisite is present.
//
// What runs is what was accepted: a setup file with acceptance keys
// (ExactSize, MD5, SHA256, SignerName) that was downloaded, found in the
// download folder or in the package's "downloads" folder
// (download/PackageLookup.h), or named by a file: location is never started
// by its path. It is copied, through the handle it passed its tests through,
// into a folder of the run's own (common/PrivateFolder.h); the copy is
// tested again and started while it is held open (read access, sharing read
// only), and deleted when its start is over. The folder goes at the end of
// the run (CleanUpDownloads, or the engine's end).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "chainer/DownloadPhase.h"
#include "chainer/InterbootContext.h"
#include "chainer/LaunchContext.h"
#include "chainer/PrerequisiteSet.h"
#include "chainer/RunExplanation.h"
#include "common/PrivateFolder.h"
#include "launch/InstallerLauncher.h"

namespace pravel {

class DownloadSink;

class InstallEngine {
  public:
    // `set` and `context` must outlive the engine; the set's decision
    // environment must be in place while it installs.
    InstallEngine(PrerequisiteSet& set, const LaunchContext& context);
    InstallEngine(const InstallEngine&) = delete;
    InstallEngine& operator=(const InstallEngine&) = delete;

    void SetSilent(bool silent) { silent_ = silent; }
    bool Silent() const { return silent_; }

    // The download phase's steps (chainer/DownloadPhase.h): DownloadAll
    // gives 0 or 1603, OpenSites 0.
    uint32_t DownloadAll(DownloadSink* sink);
    uint32_t OpenSites(DownloadSink* sink);
    // The whole phase as the progress window's worker runs it: downloads,
    // sites, then the installation step, and the final TransferFinished(0,
    // 0) on the sink. 0, 1602 (cancelled) or 1603 (failed; the final
    // notification is sent nevertheless when the installation step stopped
    // for a restart, which is no failure to show).
    uint32_t RunDownloadPhase(DownloadSink* sink);
    // The steps the whole phase shows (a download and an installation for
    // each prerequisite to download, one step for each site and each
    // installation of a file on disk), for a progress bar that spans them.
    int32_t PlannedSteps() const;
    // Removes the downloaded files (unless KeepFiles keeps them), the
    // folders the downloads created and the private folder of the copies
    // that ran (logged when something of it is left).
    void CleanUpDownloads();
    DownloadPhase& Downloads() { return downloads_; }

    // Fills the launcher's list: one entry per prerequisite in effective
    // state 1 (delivered with the program) or 5 (available locally).
    void BuildLaunchList(bool silent);

    // The installation step: 0 when every entry ran, 1602 when the sink
    // cancelled, 1603 after a failed mandatory prerequisite or when a
    // restart was started, offered or is needed. `sink` may be null (no
    // progress, no questions).
    uint32_t InstallAll(DownloadSink* sink);

    // True when every mandatory prerequisite (letter "m", without "i") is
    // present or unsupported here (PrerequisiteSet::MandatoryPresent; one
    // that is missing counts whether or not it is selected, one that was
    // never decided counts as missing); otherwise remembers the first
    // missing one's name.
    bool CheckMandatory();
    // Whether the last installation step stopped because a restart was
    // started, refused or is needed (an installer's 3010).
    bool StoppedForRestart() const { return stoppedForRestart_; }
    const std::wstring& FailedMandatory() const { return failedMandatory_; }
    // The restart that stopped the installations: who asked and what was
    // left for after it (empty `askedBy` when none did).
    const RestartStop& Restart() const { return restart_; }

    InstallerLauncher& Launcher() { return launcher_; }
    bool RebootStarted() const { return launcher_.RebootStarted(); }
    bool RebootDeclined() const { return launcher_.RebootDeclined(); }
    bool RestartNeeded() const { return launcher_.RestartNeeded(); }
    // A restart is pending: one that pravel asked for (option r) and that
    // was neither refused nor turned down by Windows, or one an installer
    // needs (3010). Only then does the run end with -1.
    bool RestartPending() const {
        return (RebootStarted() && !RebootDeclined()) || RestartNeeded();
    }
    // Told by the progress window (on its thread) that Windows ends the
    // session; logs whether that is the restart pravel asked for or a
    // session that others end (a logoff, another program's restart or
    // shutdown), which leaves no restart pending.
    void SetShutdownInProgress();
    bool ShutdownInProgress() const { return shutdownInProgress_; }

  private:
    struct HeldStart;
    // Before entry `item` starts: a file: location with a user name gets its
    // share connected; a downloaded or found file with acceptance keys is
    // accepted as it is now (a download accepted by this run already is),
    // copied through its handle into the private folder and the copy
    // accepted: `item` then names the copy, and `held` keeps it open,
    // unchangeable, until the start is over. False when the file or its
    // copy is rejected, or no copy can be made: it is not started (logged).
    bool PrepareStart(LaunchItem& item, HeldStart& held);
    bool ConfirmReboot(int32_t prerequisiteIndex);
    // Logs why the launch entries from `from` on are not installed ("Prerequisite
    // <name> is not installed in this run: <why>"); after a stop for a
    // restart they are what is left for after it.
    void LogNotInstalled(int32_t from, std::initializer_list<TextPiece> why);

    PrerequisiteSet& set_;
    const LaunchContext& context_;
    std::wstring extractionFolder_;  // with a trailing backslash
    bool silent_ = false;
    InterbootContext store_;
    InstallerLauncher launcher_;
    std::wstring failedMandatory_;
    std::atomic<bool> shutdownInProgress_{false};
    bool stoppedForRestart_ = false;
    RestartStop restart_;
    DownloadPhase downloads_;
    PrivateFolder privateCopies_;  // after downloads_: the copies go before the originals
};

}  // namespace pravel
