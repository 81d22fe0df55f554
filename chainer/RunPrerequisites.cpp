// The prerequisite run: decide every prerequisite, report what must be
// installed, summarise reboots and clear the InterbootContext key.
#include <windows.h>

#include <new>

#include "chainer/ChainerApp.h"
#include "chainer/InterbootContext.h"
#include "chainer/SystemEnvironment.h"
#include "common/ErrorCodes.h"
#include "common/Handles.h"
#include "common/HResultError.h"
#include "common/Text.h"
#include "diag/Logger.h"
#include "launch/ProcessLaunch.h"

namespace pravel {

namespace {

// Runs the first decision pass. An error ends the pass; it is logged and the
// run goes on with the states reached so far.
void EvaluateAllGuarded(PrerequisiteSet& set) {
    int32_t failure = 0;
    try {
        set.EvaluateAll();
    } catch (const HResultError& error) {
        failure = error.Code();
    } catch (const std::bad_alloc&) {
        failure = kHrOutOfMemory;
    }
    if (failure != 0) {
        Log(L"Deciding the prerequisites stopped on error " + FormatHResult(failure) +
            L"; going on with the decisions made so far.");
    }
}

DWORD WINAPI EvaluationThread(void* parameter) {
    EvaluateAllGuarded(*static_cast<PrerequisiteSet*>(parameter));
    return 0;
}

// With a window the decision runs on a worker while this thread keeps
// dispatching messages. A worker that cannot be created leaves the states
// as loaded.
void DecideOnWorker(PrerequisiteSet& set) {
    UniqueHandle thread(::CreateThread(nullptr, 0, EvaluationThread, &set, 0, nullptr));
    if (!thread) return;
    WaitWithMessagePump(thread.Get());
    ::WaitForSingleObject(thread.Get(), INFINITE);
}

}  // namespace

int32_t ChainerApp::RunPrerequisites(PrerequisiteSet& set) {
    Log(L"Prerequisites loaded:" + ToDecimalUnsigned(set.Count()));
    SystemEnvironment environment(set.Options());
    set.SetEnvironment(&environment);
    int32_t result = kExitSuccess;
    bool rebootPending = false;

    if (set.Count() > 0) {
        if (Silent()) {
            EvaluateAllGuarded(set);
        } else {
            DecideOnWorker(set);
        }
        if (!set.AnyToInstall()) {
            Log(L"No prerequisite must be installed.");
        } else {
            const std::wstring& options = set.Options().options;
            if (Contains(options, L"q") || Contains(options, L"b")) {
                Log(L"Installing prerequisites is not available in this build: nothing was "
                    L"downloaded or installed.");
            }
            const bool rebootStarted = false;
            Log(L"After running prerequisites we have:");
            Log(std::wstring(L"  Reboot was required=") + (rebootStarted ? L"true" : L"false"));
        }
    }

    set.SetEnvironment(nullptr);
    rebootPending_ = rebootPending ? 1 : 0;
    if (!rebootPending) InterbootContext::DeleteKey();
    return result;
}

}  // namespace pravel
