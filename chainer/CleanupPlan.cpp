#include "chainer/CleanupPlan.h"

#include "common/PathForms.h"
#include "common/Text.h"

namespace pravel {

std::vector<std::wstring> SplitCleanupFiles(const std::wstring& value) {
    std::vector<std::wstring> items;
    for (auto& item : Split(value, std::wstring(1, kCleanupFilesSeparator))) {
        if (!item.empty()) items.push_back(std::move(item));
    }
    return items;
}

CleanupPlan PlanCleanup(const ChainerSettings& settings, const std::wstring& programPath,
                        const std::wstring& programFolder, const std::wstring& configurationPath,
                        const PathExists& exists) {
    CleanupPlan plan;
    plan.scriptPath = settings.cleanupScript;
    if (!plan.scriptPath.empty()) plan.scriptPaths.push_back(plan.scriptPath);
    plan.folder = settings.cleanupFolders;

    for (auto& item : SplitCleanupFiles(settings.cleanupFiles)) {
        if (!IsFullPath(item) || !StartsWith(item, plan.folder)) continue;
        if (exists && exists(item)) plan.files.push_back(std::move(item));
    }
    plan.files.push_back(configurationPath);

    if (!programPath.empty()) plan.scriptPaths.push_back(programPath);
    if (!plan.folder.empty() && StartsWith(programPath, plan.folder)) {
        for (auto& folder : FoldersUpTo(programFolder, plan.folder)) {
            plan.scriptPaths.push_back(std::move(folder));
        }
    }
    return plan;
}

}  // namespace pravel
