// The prerequisite run: decide every prerequisite, install the ones that
// need it (silent run), summarise reboots, and keep the InterbootContext key
// only while a reboot is pending.
#include <windows.h>

#include <memory>
#include <utility>
#include <new>

#include "chainer/ChainerApp.h"
#include "chainer/Elevation.h"
#include "chainer/InstallEngine.h"
#include "chainer/InterbootContext.h"
#include "chainer/RunExplanation.h"
#include "chainer/SystemEnvironment.h"
#include "common/ErrorCodes.h"
#include "common/Handles.h"
#include "common/HResultError.h"
#include "common/ProcessLaunch.h"
#include "common/SystemInfo.h"
#include "common/Text.h"
#include "diag/ErrorReport.h"
#include "diag/FaultTranslation.h"
#include "diag/Logger.h"
#include "ui/DownloadProgressDialog.h"
#include "ui/MessageBox.h"
#include "ui/ResourceIds.h"

namespace pravel {

namespace {

// Runs `decide` (a decision pass). An error ends the pass: it is logged with
// `what` and the run goes on with the states reached so far. False when the
// pass did not complete.
template <typename Decide>
bool DecideGuarded(Decide&& decide, const char* what) {
    int32_t failure = 0;
    try {
        decide();
        return true;
    } catch (const HResultError& error) {
        failure = error.Code();
    } catch (const std::bad_alloc&) {
        failure = kHrOutOfMemory;
    } catch (const IException& exception) {
        Log({AsciiPiece(what),
             " stopped on an exception; going on with the decisions made so "
             "far:",
             DescribeException(exception)});
        PresentException(nullptr, exception);
        return false;
    }
    Log({AsciiPiece(what), " stopped on error ", HResultPiece(failure),
         "; going on with the decisions made so far."});
    return false;
}

// The first decision pass; false when it did not complete.
bool EvaluateAllGuarded(PrerequisiteSet& set) {
    return DecideGuarded([&set] { set.EvaluateAll(); }, "Deciding the prerequisites");
}

// The decision pass after the installations; true when it completed and
// every mandatory prerequisite is present. A pass that stops on an error
// counts as a missing mandatory prerequisite.
bool MandatoryPresentAfterwards(InstallEngine& engine, PrerequisiteSet& set) {
    if (!DecideGuarded([&set] { set.Reevaluate(); },
                       "Deciding the prerequisites again after the installations")) {
        return false;
    }
    return engine.CheckMandatory();
}

struct Evaluation {
    PrerequisiteSet& set;
    bool decided = false;
};

DWORD WINAPI EvaluationThread(void* parameter) {
    InstallExceptionTranslation();
    auto& evaluation = *static_cast<Evaluation*>(parameter);
    evaluation.decided = EvaluateAllGuarded(evaluation.set);
    return 0;
}

// With a window the decision runs on a worker while this thread keeps
// dispatching messages. A worker that cannot be created leaves the states
// as loaded (then nothing counts as decided). False when the pass did not
// complete.
bool DecideOnWorker(PrerequisiteSet& set) {
    Evaluation evaluation{set};
    UniqueHandle thread(::CreateThread(nullptr, 0, EvaluationThread, &evaluation, 0, nullptr));
    if (!thread) {
        Log({"The decision thread could not be started (error ", DecimalPiece(::GetLastError()),
             "); no prerequisite was decided."});
        return false;
    }
    WaitWithMessagePump(thread.Get());
    ::WaitForSingleObject(thread.Get(), INFINITE);
    return evaluation.decided;
}

// After a decision pass that did not complete: names every prerequisite
// that it did not reach.
void LogUndecided(const PrerequisiteSet& set) {
    for (const Prerequisite& p : set.Items()) {
        if (p.state == kStateUndefined) Log({"The prerequisite ", p.name, " was not decided."});
    }
}

// The first mandatory prerequisite (letter "m", without "i") that no
// decision reached; empty when there is none.
std::wstring UndecidedMandatory(const PrerequisiteSet& set) {
    for (const Prerequisite& p : set.Items()) {
        if (p.state == kStateUndefined && Contains(p.options, L"m") && !Contains(p.options, L"i"))
            return p.name;
    }
    return std::wstring();
}

// The silent installation (general option "q"): everything on this thread,
// without a sink. An unexpected error ends the installations, not the run.
// The result is 1 when a mandatory prerequisite is still missing afterwards
// (also after a restart that pravel asked for and that was refused); a
// pending restart (asked for, or needed by an installer's 3010) ends the
// run with it.
int32_t InstallSilently(InstallEngine& engine, PrerequisiteSet& set) {
    Log({"Starting installing prerequisites in silent mode."});
    engine.SetSilent(true);
    int32_t failure = 0;
    try {
        engine.DownloadAll(nullptr);
        engine.OpenSites(nullptr);
        engine.InstallAll(nullptr);
    } catch (const HResultError& error) {
        failure = error.Code();
    } catch (const std::bad_alloc&) {
        failure = kHrOutOfMemory;
    } catch (const IException& exception) {
        Log(
            {"Installing the prerequisites stopped on an exception; the remaining ones were not "
             "installed:",
             DescribeException(exception)});
        PresentException(nullptr, exception);
    }
    if (failure != 0) {
        // The run still checks what is present and summarises.
        Log({"Installing the prerequisites stopped on error ", HResultPiece(failure),
             "; the remaining ones were not installed."});
    }
    if (engine.RestartPending()) return kExitSuccess;
    return MandatoryPresentAfterwards(engine, set) ? kExitSuccess : kExitMandatoryMissing;
}

// The basic-UI installation (general option "b"): the modal progress window,
// whose worker thread runs the phase while this thread runs the window. The
// result is 1 when a mandatory prerequisite is missing afterwards. Whatever
// ended the window (also Cancel, the close box, a failure the user closed,
// a window that could not be shown), the prerequisites are decided again, so
// a missing mandatory one is never reported as success.
int32_t InstallWithWindow(InstallEngine& engine, PrerequisiteSet& set, PreparingDialog& preparing) {
    Log({"Starting installing prerequisites in basic UI mode."});
    if (preparing.Title().empty()) preparing.SetTitle(preparing.Caption());
    ProgressRun run;
    run.phase = [&engine](DownloadSink& sink) { return engine.RunDownloadPhase(&sink); };
    run.mandatorySatisfied = [&engine, &set] { return MandatoryPresentAfterwards(engine, set); };
    run.aborted = [&engine] { return engine.ShutdownInProgress(); };
    run.sessionEnding = [&engine] { engine.SetShutdownInProgress(); };
    run.plannedSteps = engine.PlannedSteps();
    DownloadProgressDialog dialog(std::move(run));
    const int ended = dialog.Run(::GetActiveWindow(), preparing.Title());
    if (ended == 7) return kExitMandatoryMissing;
    if (ended == 1) return kExitSuccess;
    // A session that others end is no restart: what is missing stays missing.
    if (engine.RestartPending()) return kExitSuccess;
    if (MandatoryPresentAfterwards(engine, set)) return kExitSuccess;
    Log({"The mandatory prerequisite ", engine.FailedMandatory(),
         " is still missing after the progress window ended."});
    return kExitMandatoryMissing;
}

TextPiece TrueFalse(bool value) {
    return value ? TextPiece("true") : TextPiece("false");
}

// The summary lines; true when a restart is pending: one that pravel asked
// for and that was neither refused nor turned down, or one that an
// installer needs (3010). The end of a session that pravel did not ask for
// (a logoff, another program's restart) leaves none pending.
bool SummariseReboot(const InstallEngine* engine) {
    const bool started = engine != nullptr && engine->RebootStarted();
    const bool declined = engine != nullptr && engine->RebootDeclined();
    const bool needed = engine != nullptr && engine->RestartNeeded();
    const bool inProgress = engine != nullptr && engine->ShutdownInProgress();
    Log({"After running prerequisites we have:"});
    Log({"  Reboot was required=", TrueFalse(started || needed)});
    if (started) Log({"  Reboot was refused=", TrueFalse(declined)});
    if (started && !declined) Log({"  Reboot in Progress=", TrueFalse(inProgress)});
    return engine != nullptr && engine->RestartPending();
}

}  // namespace

std::wstring ChainerApp::ProgramPathForRelaunch() const {
    return launchContext_.programPath.empty() ? GetProgramPath() : launchContext_.programPath;
}

int32_t ChainerApp::RunPrerequisites(PrerequisiteSet& set) {
    SystemEnvironment environment(set.Options());
    return RunPrerequisites(set, environment);
}

int32_t ChainerApp::RunPrerequisites(PrerequisiteSet& set, DecisionEnvironment& environment) {
    Log({"Prerequisites loaded:", DecimalPiece(set.Count())});
    set.SetEnvironment(&environment);
    int32_t result = kExitSuccess;
    bool rebootPending = false;
    std::unique_ptr<InstallEngine> engine;

    if (set.Count() > 0) {
        bool decided = false;
        if (Contains(set.Options().options, L"q")) {  // silent: no window, decide directly
            decided = EvaluateAllGuarded(set);
        } else {
            preparing_.Show(LoadText(IDS_SEARCHING), false);
            decided = DecideOnWorker(set);
        }
        if (!decided) LogUndecided(set);
        const std::wstring& options = set.Options().options;
        const bool anyToInstall = set.AnyToInstall();
        if (!anyToInstall) Log({"No prerequisite must be installed."});
        // Asked before installing, owned by the preparing window (closed
        // only then). A run with neither "q" nor "b" installs nothing.
        const bool installs = Contains(options, L"q") || Contains(options, L"b");
        const ElevatedRun elevated =
            anyToInstall && installs
                ? RunElevatedOnce(set.Options().elevateOnce, ProgramPathForRelaunch(),
                                  preparing_.Window())
                : ElevatedRun{};
        if (anyToInstall) preparing_.Close();
        if (elevated.outcome == ElevatedRun::kEnded) {
            // The elevated run did everything, its clean-up and the
            // InterbootContext key included: its exit code is this run's.
            set.SetEnvironment(nullptr);
            handedOver_ = true;
            return elevated.exitCode;
        }
        if (elevated.outcome == ElevatedRun::kRefused) {
            result = kExitMandatoryMissing;
        } else if (anyToInstall) {
            engine = std::make_unique<InstallEngine>(set, launchContext_);
            if (Contains(options, L"q")) {
                result = InstallSilently(*engine, set);
            } else if (Contains(options, L"b")) {
                result = InstallWithWindow(*engine, set, preparing_);
            }
            rebootPending = SummariseReboot(engine.get());
            if (rebootPending) result = kExitRebootPending;
        }
        // A mandatory prerequisite that no decision reached is not known to
        // be present: the run never reports success for it.
        const std::wstring undecided = decided ? std::wstring() : UndecidedMandatory(set);
        if (!undecided.empty() && !rebootPending) {
            Log({"The mandatory prerequisite ", undecided,
                 " is not known to be present: it was not decided."});
            result = kExitMandatoryMissing;
        }
    }

    if (engine) engine->CleanUpDownloads();
    set.SetEnvironment(nullptr);
    rebootPending_ = rebootPending ? 1 : 0;
    if (!rebootPending) InterbootContext::DeleteKey();
    if (logEnabled) Log(ExitCodeLine(set, result, engine ? &engine->Restart() : nullptr));
    return result;
}

}  // namespace pravel
