// The end of the program: what [PREREQ_CHAINER] asks to remove, deleted
// directly or handed to the clean-up script, and the launch context's own
// clean-up. Deletion failures are silent.
#include <windows.h>

#include <new>

#include "chainer/ChainerApp.h"
#include "chainer/CleanupPlan.h"
#include "common/FileOperations.h"
#include "common/Handles.h"
#include "common/HResultError.h"
#include "common/Text.h"
#include "config/IniDocument.h"
#include "diag/Logger.h"

namespace pravel {

namespace {

bool FoundByFind(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    UniqueFind find(::FindFirstFileW(path.c_str(), &data));
    return find.IsValid();
}

// Runs one step of the program's end; an error ends only that step.
template <typename Step>
void Guarded(const char* what, Step step) noexcept {
    int32_t failure = 0;
    try {
        step();
        return;
    } catch (const HResultError& error) {
        failure = error.Code();
    } catch (const std::bad_alloc&) {
        failure = kHrOutOfMemory;
    } catch (...) {
        failure = kHrFail;
    }
    try {
        Log({AsciiPiece(what), " stopped on error ", HResultPiece(failure), "."});
    } catch (...) {
    }
}

}  // namespace

void ChainerApp::LoadCleanupSettings(const IniDocument& document) {
    ChainerSettings settings;
    if (!document.ReadChainerSettings(settings)) return;
    CleanupPlan plan =
        PlanCleanup(settings, programPath_, programFolder_, configurationPath_, FoundByFind);
    scriptRunner_.SetScript(plan.scriptPath, false, plan.retryCount);
    for (const auto& path : plan.scriptPaths) scriptRunner_.AddPath(path);
    cleanupFolder_ = plan.folder;
    cleanupFiles_ = std::move(plan.files);
}

void ChainerApp::CleanUp() {
    for (const auto& file : cleanupFiles_) {
        DeletePath(file);
        // Without a clean-up folder nothing tells how far up to go: no folder goes.
        if (!cleanupFolder_.empty()) RemoveEmptyParents(FolderOf(file), cleanupFolder_);
    }
    scriptRunner_.DropFoldersStillInUse();
}

ChainerApp::~ChainerApp() {
    if (!handedOver_) {
        Guarded("Removing the clean-up files", [this] { CleanUp(); });
        Guarded("Starting the clean-up script", [this] { scriptRunner_.Run(); });
    }
    Guarded("The launch context's clean-up",
            [this] { launchContext_.CleanUp(FileSystemRemoval()); });
}

}  // namespace pravel
