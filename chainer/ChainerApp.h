// The application object: finds and loads the configuration beside the
// program, switches the log on, prepares the launch context, waits until no
// Windows Installer transaction is running and hands over to the
// prerequisite run. Its exit code becomes the process exit code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chainer/LaunchContext.h"
#include "chainer/PrerequisiteSet.h"
#include "launch/CleanupScriptRunner.h"
#include "ui/PreparingDialog.h"

namespace pravel {

class IniDocument;
class DecisionEnvironment;

class ChainerApp {
  public:
    ChainerApp() = default;
    // The end of the program, in this order: the clean-up files are deleted
    // (with their emptied folders below the clean-up folder), the clean-up
    // script receives what is left to remove and is started (neither after
    // a hand-over: the elevated run did both), and the launch context removes
    // what it created. Never throws.
    ~ChainerApp();
    ChainerApp(const ChainerApp&) = delete;
    ChainerApp& operator=(const ChainerApp&) = delete;

    // The main run: 0 without a configuration file, 1 when the configuration
    // exists but cannot be read or the Windows Installer guard did not let
    // the run start, else the prerequisite run's result.
    int32_t Run();
    // Decides and installs the prerequisites; returns the exit code. With
    // ElevateOnce an unelevated run hands the installation over to an
    // elevated one (chainer/Elevation.h) and returns its exit code; it then
    // cleans nothing up itself (HandedOver).
    int32_t RunPrerequisites(PrerequisiteSet& set);
    // The same with the decisions asked of `environment` (the running
    // system's for the program; tests give their own).
    int32_t RunPrerequisites(PrerequisiteSet& set, DecisionEnvironment& environment);
    // Reads [PREREQ_CHAINER]'s clean-up keys (nothing without the section).
    void LoadCleanupSettings(const IniDocument& document);
    // Deletes the clean-up files and the folders they leave empty below the
    // clean-up folder, then takes folders still in use off the script's list.
    void CleanUp();

    int32_t ExitCode() const { return exitCode_; }
    bool Silent() const { return silent_ != 0; }
    bool RebootPending() const { return rebootPending_ != 0; }
    // True when an elevated run installed and cleaned up in this run's place.
    bool HandedOver() const { return handedOver_; }
    const LaunchContext& Context() const { return launchContext_; }
    const std::wstring& ProductName() const { return productName_; }
    const std::wstring& WindowTitle() const { return windowTitle_; }
    PreparingDialog& Preparing() { return preparing_; }

  private:
    void PrepareLaunchContext(const GeneralOptions& options);
    void PrepareWindowTexts();
    // The program that an elevated run starts (this one).
    std::wstring ProgramPathForRelaunch() const;

    int32_t exitCode_ = 0;
    uint8_t rebootPending_ = 0;
    uint8_t silent_ = 0;
    bool handedOver_ = false;
    LaunchContext launchContext_;
    PreparingDialog preparing_;
    std::wstring productName_;
    std::wstring windowTitle_;
    std::vector<std::wstring> cleanupFiles_;
    CleanupScriptRunner scriptRunner_;  // after launchContext_: starts before it cleans up
    std::wstring programPath_;
    std::wstring programFolder_;
    std::wstring configurationPath_;
    std::wstring cleanupFolder_;
};

}  // namespace pravel
