#include "chainer/ChainerApp.h"

#include <windows.h>

#include "chainer/InstallerGuard.h"
#include "common/ErrorCodes.h"
#include "common/HResultError.h"
#include "common/SystemInfo.h"
#include "common/TempFolder.h"
#include "common/Text.h"
#include "config/ConfigFile.h"
#include "config/IniDocument.h"
#include "detect/FolderProperties.h"
#include "detect/OsVersionReader.h"
#include "detect/ReferenceExpansion.h"
#include "diag/Logger.h"
#include "ui/AppModule.h"
#include "ui/ConfiguredTexts.h"
#include "ui/MessageBox.h"
#include "ui/ResourceIds.h"
#include "ui/TextTemplate.h"
#include "ui/WindowTexts.h"

namespace pravel {

namespace {

// Extraction folder of the process, computed on first use.
const std::wstring& ExtractionFolderOnce(const GeneralOptions& options) {
    static const std::wstring folder =
        ComputeWorkFolder(options.extractionFolder, options.defaultProdCode, ProgramTempFolder(),
                          [](const std::wstring& text) { return ExpandReferences(text, false); });
    return folder;
}

void LogGuardFailure(const InstallerGuardOutcome& outcome) {
    if (outcome.result == InstallerGuardResult::kOpenFailed) {
        Log(
            {"The Windows Installer mutex Global\\_MSIExecute exists but could not be opened "
             "(error ",
             DecimalPiece(outcome.detail), "). No prerequisite was run."});
    } else {
        Log({"Waiting for the Windows Installer mutex Global\\_MSIExecute failed (result ",
             DecimalPiece(outcome.detail), "). No prerequisite was run."});
    }
}

}  // namespace

int32_t ChainerApp::Run() {
    programPath_ = GetProgramPath();
    if (programPath_.empty()) ThrowHr(kHrFail);  // the path does not fit 260 characters
    programFolder_ = WithTrailingBackslash(FolderOf(programPath_));
    configurationPath_ = ConfigurationPathFor(programPath_);
    SetSetupExeDir(programFolder_);

    std::wstring text;
    const ConfigFileStatus read = ReadConfigurationFile(configurationPath_, text);
    if (read == ConfigFileStatus::kMissing) return kExitSuccess;
    if (read == ConfigFileStatus::kUnusable) {
        // A configuration that cannot be read is no configuration without
        // prerequisites: nothing was decided, so the run never reports success.
        exitCode_ = kExitMandatoryMissing;
        return exitCode_;
    }
    IniDocument document;
    document.Parse(text);

    PrerequisiteSet set;
    set.Load(document,
             [](const std::wstring& location) { return ExpandReferences(location, false); });

    LoadCleanupSettings(document);
    ChainerSettings settings;
    document.ReadChainerSettings(settings);
    if (!settings.logFile.empty()) {
        TheLogger().SetSystemVersion(GetOsVersionInfo());
        logEnabled = true;
        TheLogger().SetLogFile(settings.logFile);
        Log({"Configuration file:", configurationPath_});
    }

    silent_ = Contains(set.Options().options, L"q") ? 1 : 0;
    // On a window station no person can see, every question is answered as
    // in a silent run and no window waits for a click.
    interactive = silent_ == 0 && WindowStationVisible();
    if (silent_ == 0 && !interactive) {
        Log({"The window station is not visible: no question is asked, no window waits."});
    }

    PrepareLaunchContext(set.Options());
    ::SetCurrentDirectoryW(programFolder_.c_str());  // also for a relative Icon
    UseConfiguredTexts(document);
    PrepareWindowTexts();
    preparing_.Show(LoadText(IDS_PREPARING), false);  // only in an interactive run

    const InstallerGuardOutcome guard = WaitForInstallerIdle();
    if (!MayRun(guard)) {
        LogGuardFailure(guard);
        exitCode_ = kExitMandatoryMissing;
        return kExitMandatoryMissing;
    }
    exitCode_ = RunPrerequisites(set);
    return exitCode_;
}

void ChainerApp::PrepareLaunchContext(const GeneralOptions& options) {
    launchContext_.programPath = programPath_;
    launchContext_.programFolder = programFolder_;
    launchContext_.extractionFolder = ExtractionFolderOnce(options);
    launchContext_.flags = 3;
    launchContext_.keepMode = 3;
    launchContext_.cleanupEnabled = true;
}

void ChainerApp::PrepareWindowTexts() {
    productName_.clear();
    if (const std::wstring* name = TheWindowTexts().Find(kTextProductName)) {
        productName_ = *name;
    } else {
        GetProductName(programPath_, productName_);
    }
    windowTitle_ = FormatTemplate(LoadText(IDS_SETUP_CAPTION), {productName_});
    preparing_.SetProgramPath(programPath_);
    preparing_.SetProductName(productName_);
    preparing_.SetTitle(windowTitle_);
}

}  // namespace pravel
