// What the end of the program removes, worked out from [PREREQ_CHAINER]:
// the files deleted directly, the stop folder of their upward folder
// removal, and the paths handed to the clean-up script (the script itself,
// the program and the program's folders below the clean-up folder).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "config/Configuration.h"

namespace pravel {

constexpr wchar_t kCleanupFilesSeparator = L'\x0001';
constexpr int32_t kCleanupRetryCount = 10;

struct CleanupPlan {
    std::vector<std::wstring> files;  // deleted directly, in this order
    std::wstring folder;              // CleanupFolders: the top folder, never removed
    std::wstring scriptPath;          // CleanupScript
    int32_t retryCount = kCleanupRetryCount;
    std::vector<std::wstring> scriptPaths;  // for the script, in the order added
};

using PathExists = std::function<bool(const std::wstring&)>;

// The non-empty items of a CleanupFiles value (separated by U+0001).
std::vector<std::wstring> SplitCleanupFiles(const std::wstring& value);

// The plan for the given settings:
// - files: every CleanupFiles item that is an absolute path, exists and
//   begins with the clean-up folder text (case-sensitive; any item when the
//   folder is empty), then the configuration file;
// - scriptPaths: the script (when named), the program, then, when the
//   clean-up folder is not empty and the program path begins with it, the
//   program's folder and its parents that lie inside the clean-up folder
//   (never the clean-up folder itself, nothing above it, never a root).
CleanupPlan PlanCleanup(const ChainerSettings& settings, const std::wstring& programPath,
                        const std::wstring& programFolder, const std::wstring& configurationPath,
                        const PathExists& exists);

}  // namespace pravel
