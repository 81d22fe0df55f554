#include "chainer/InstallEngine.h"

#include "chainer/LaunchList.h"
#include "chainer/SystemEnvironment.h"
#include "common/ErrorCodes.h"
#include "common/Text.h"
#include "detect/ReferenceExpansion.h"
#include "diag/Logger.h"
#include "download/Acceptance.h"
#include "download/DownloadRules.h"
#include "download/DownloadSink.h"
#include "download/DownloadTarget.h"
#include "download/FileLocation.h"
#include "download/WinInetApi.h"
#include "ui/AppModule.h"
#include "ui/MessageBox.h"
#include "ui/ResourceIds.h"

namespace pravel {

namespace {

constexpr int32_t kStepInstalling = 9;

// A connection to the share of a file: location made with the user name
// and password of its URL; removed again when it goes. A connection that
// cannot be made is logged and the file is opened without it (it may be
// reachable as it is).
class ShareConnection {
  public:
    ShareConnection() = default;
    ~ShareConnection() {
        if (share_.empty()) return;
        if (const DWORD error = DisconnectShare(share_.c_str()); error != 0) {
            Log({"Cannot remove the connection to ", share_, " (error ", DecimalPiece(error),
                 ")."});
        }
    }
    ShareConnection(const ShareConnection&) = delete;
    ShareConnection& operator=(const ShareConnection&) = delete;

    void Connect(const std::wstring& share, const FileLocation& location) {
        const DWORD error =
            ConnectShare(share.c_str(), location.user.c_str(),
                         location.password.empty() ? nullptr : location.password.c_str());
        if (error == 0) {
            share_ = share;
            return;
        }
        Log({"Cannot connect ", share, " with the user name of the location (error ",
             DecimalPiece(error), ")."});
    }

  private:
    std::wstring share_;
};

}  // namespace

// What the start of one setup file needs, kept until the start is over;
// then the private copy goes.
struct InstallEngine::HeldStart {
    explicit HeldStart(PrivateFolder& folder) : copies(folder) {}
    ~HeldStart() {
        file.Reset();
        if (!copy.empty()) copies.Discard(copy);
    }
    HeldStart(const HeldStart&) = delete;
    HeldStart& operator=(const HeldStart&) = delete;

    ShareConnection share;  // for a file: location with a user name
    PrivateFolder& copies;
    std::wstring copy;  // the private copy that runs
    UniqueFile file;    // the copy as it was accepted
};

InstallEngine::InstallEngine(PrerequisiteSet& set, const LaunchContext& context)
    : set_(set),
      context_(context),
      extractionFolder_(context.extractionFolder.empty()
                            ? std::wstring()
                            : WithTrailingBackslash(context.extractionFolder)),
      launcher_(&store_),
      downloads_(set) {
    downloads_.SetPackageFolder(context.programFolder);
    launcher_.SetRebootConfirmation([this](int32_t index) { return ConfirmReboot(index); });
}

uint32_t InstallEngine::DownloadAll(DownloadSink* sink) {
    return downloads_.DownloadAll(sink);
}

uint32_t InstallEngine::OpenSites(DownloadSink* sink) {
    downloads_.OpenSites(sink);
    return kInstallSuccess;
}

uint32_t InstallEngine::RunDownloadPhase(DownloadSink* sink) {
    if (DownloadAll(sink) != kInstallSuccess) return kInstallFailure;
    if (sink != nullptr && sink->IsCancelled()) return kInstallUserExit;
    OpenSites(sink);
    if (sink != nullptr && sink->IsCancelled()) return kInstallUserExit;
    const uint32_t installed = InstallAll(sink);
    // A stop for a restart (started, refused or needed) is no failure to
    // show: the phase ends as after its last step, so the window ends by
    // itself and the prerequisites are decided again.
    if (installed != kInstallSuccess && !stoppedForRestart_) return kInstallFailure;
    if (sink != nullptr) sink->TransferFinished(0, 0);
    return installed;
}

void InstallEngine::CleanUpDownloads() {
    downloads_.CleanUp();
    const std::wstring folder = privateCopies_.Path();
    if (const uint32_t error = privateCopies_.Remove(); error != 0) {
        Log({"The private folder ", folder, " cannot be removed (error ", DecimalPiece(error),
             "): a setup's program may still run from it."});
    }
}

void InstallEngine::BuildLaunchList(bool silent) {
    launcher_.Clear();
    const int32_t uiMode = CommandLineUiModeOf(set_.Options().options);
    for (size_t i = 0; i < set_.Count(); ++i) {
        const int32_t state = set_.EffectiveState(i);
        if (state != kStateInstallFromPackage && state != kStateAvailableLocally) continue;
        const Prerequisite& p = set_.At(i);
        LaunchItem item;
        item.arguments = CompleteCommandLine(p, uiMode);
        if (state == kStateInstallFromPackage) {
            item.filePath = SetupFilePath(p.location, extractionFolder_, context_.programFolder);
        } else {
            // A file: location runs where it lies; a download where this run's
            // phase put it or found it (in the package), else in the download folder.
            const FileLocation local = ParseFileLocation(p.location);
            const std::wstring obtained = downloads_.FileOf(static_cast<int32_t>(i));
            item.filePath = local.isFile ? local.path
                            : !obtained.empty()
                                ? obtained
                                : DownloadTargetPath(ProcessDownloadFolder(set_.Options()),
                                                     p.location, p.folder);
            item.arguments = ExpandReferences(item.arguments, false);
        }
        item.displayName = p.name;
        item.rebootMode = RebootModeOf(p.options);
        item.silent = silent ? 1 : 0;
        item.listenerName = p.retValPropName;
        item.prerequisiteIndex = static_cast<int32_t>(i);
        launcher_.Add(std::move(item));
    }
}

void InstallEngine::SetShutdownInProgress() {
    shutdownInProgress_ = true;
    if (RebootStarted() && !RebootDeclined()) {
        Log({"Windows is ending the session for the restart pravel asked for."});
    } else {
        Log(
            {"Windows is ending the session, and pravel asked for no restart (a logoff, or a "
             "restart or shutdown that another program asked for): no prerequisite is installed "
             "after this; the run keeps no restart pending for it."});
    }
}

void InstallEngine::LogNotInstalled(int32_t from, std::initializer_list<TextPiece> why) {
    for (int32_t k = from; k < launcher_.Count(); ++k) {
        const std::wstring& name = launcher_.Item(k).displayName;
        if (stoppedForRestart_) restart_.leftFor.push_back(name);
        Log(Concat({"Prerequisite ", name, " is not installed in this run: "}) + Concat(why));
    }
}

uint32_t InstallEngine::InstallAll(DownloadSink* sink) {
    stoppedForRestart_ = false;
    restart_ = RestartStop();
    BuildLaunchList(Contains(set_.Options().options, L"q"));
    if (sink != nullptr) sink->SetRange(launcher_.Count());
    for (int32_t i = 0; i < launcher_.Count(); ++i) {
        if (shutdownInProgress_) {
            LogNotInstalled(i, {"Windows is ending the session."});
            return kInstallSuccess;
        }
        LaunchItem& item = launcher_.Item(i);
        if (sink != nullptr) {
            if (sink->IsCancelled()) return kInstallUserExit;
            sink->ShowStep(LoadFormatted(IDS_INSTALLING, {item.displayName}).c_str(),
                           kStepInstalling);
        }
        // Without a window, or where nobody can see one, no question is
        // asked: the reboot mode decides as in a silent run. A file that
        // fails its acceptance keys is not started: a failed entry.
        HeldStart held(privateCopies_);
        const int32_t outcome = PrepareStart(item, held)
                                    ? launcher_.LaunchWithReboot(i, sink == nullptr || !interactive)
                                    : kLaunchFailed;
        if (outcome == kLaunchFailed) {
            if (!Contains(set_.At(static_cast<size_t>(item.prerequisiteIndex)).options, L"m")) {
                continue;
            }
            if (sink != nullptr) {
                sink->ReportError(LoadFormatted(IDS_FAILED, {item.displayName}).c_str(),
                                  kErrorMandatoryFailed, nullptr);
            }
            return kInstallFailure;
        }
        if (outcome == kLaunchRebootNeeded) {
            stoppedForRestart_ = true;
            restart_.askedBy = item.displayName;
            restart_.installerNeeds = item.returnCode == kSuccessRebootRequired;
            if (restart_.installerNeeds || !RebootDeclined()) {
                LogNotInstalled(i + 1, {"it is left for after the restart that ", item.displayName,
                                        restart_.installerNeeds ? TextPiece(" needs (3010).")
                                                                : TextPiece(" asked for.")});
            } else {
                LogNotInstalled(i + 1, {"the installations stopped at the restart that ",
                                        item.displayName, " asked for, which was refused."});
            }
            if (sink != nullptr) {
                sink->ReportError(item.displayName.c_str(), kErrorRebootNeeded, nullptr);
            }
            return kInstallFailure;
        }
    }
    return kInstallSuccess;
}

int32_t InstallEngine::PlannedSteps() const {
    int32_t steps = 0;
    for (size_t i = 0; i < set_.Count(); ++i) {
        switch (set_.EffectiveState(i)) {
            case kStateDownload:
                steps += 2;  // the download, then the installation
                break;
            case kStateOpenSite:
            case kStateInstallFromPackage:
            case kStateAvailableLocally:
                steps += 1;
                break;
            default:
                break;
        }
    }
    return steps;
}

bool InstallEngine::PrepareStart(LaunchItem& item, HeldStart& held) {
    const Prerequisite& p = set_.At(static_cast<size_t>(item.prerequisiteIndex));
    if (p.locationKind != kLocationUrl) return true;  // a file delivered with the program
    const FileLocation location = ParseFileLocation(p.location);
    if (location.refused) {
        Log({"The file: location of ", p.name,
             " is refused: a \"/\" or \"\\\" in its user name or password cannot be told from "
             "its path (write them as %2F and %5C); nothing is run."});
        return false;
    }
    const std::wstring share = ShareRootOf(item.filePath);
    if (location.isFile && !location.user.empty() && !share.empty()) {
        held.share.Connect(share, location);
    }
    if (!HasAcceptanceKeys(p)) return true;
    // Downloaded and accepted by this run: held open since its test.
    UniqueFile found;
    HANDLE original = downloads_.Accepted(item.prerequisiteIndex);
    if (original == INVALID_HANDLE_VALUE) {
        // Found in the download folder, or a file: location: tested now, as
        // it is.
        const wchar_t* reason =
            AcceptFile(p, static_cast<uint32_t>(p.exactSize), item.filePath, found);
        if (reason != nullptr) {
            Log({"The file found for ", p.name, " was rejected.(", std::wstring_view(reason),
                 "): ", item.filePath, " is not run."});
            return false;
        }
        Log({"The file found for ", p.name, " was accepted: ", item.filePath});
        original = found.Get();
    }
    // Never started by its path: a private copy made through the handle
    // runs, held open until its start is over.
    if (!AcceptPrivateCopy(p, item.filePath, original, privateCopies_, held.copy, held.file))
        return false;
    item.filePath = held.copy;
    return true;
}

bool InstallEngine::CheckMandatory() {
    return set_.MandatoryPresent(failedMandatory_);
}

bool InstallEngine::ConfirmReboot(int32_t prerequisiteIndex) {
    const size_t index = static_cast<size_t>(prerequisiteIndex);
    set_.Evaluate(index, true);
    Prerequisite& p = set_.At(index);
    if (p.state == kStateDownload) {
        p.availableLocally = set_.IsAvailableLocally(p) ? 1 : 0;
    }
    return p.state == kStatePresent;
}

}  // namespace pravel
