// State shared by the prerequisite run and the launching code: where the
// program lies, where setup files are taken from, and what the context
// itself created (removed again when it is destroyed).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chainer/PrerequisiteSet.h"
#include "common/RemovalLists.h"

namespace pravel {

// Bits of LaunchContext::flags.
constexpr uint32_t kLaunchFromDisk = 0x1;  // setup files are paths on disk, never extracted

struct LaunchContext {
    std::wstring programPath;
    std::wstring programFolder;     // with a trailing backslash
    std::wstring extractionFolder;  // with a trailing backslash
    uint32_t flags = 0;
    uint32_t keepMode = 0;
    bool cleanupEnabled = false;
    bool cleanupComplete = false;
    std::vector<std::wstring> createdFiles;
    std::vector<std::wstring> createdFolders;  // in creation order

    // Removes what the context created, when its clean-up is enabled and not
    // yet complete: the files, then the folders in reverse order of creation.
    // The lists keep what could not be removed; the clean-up is complete
    // when both are empty. Failures are silent.
    void CleanUp(const RemovalOps& ops);
};

// The extraction or download folder for a configured ExtractionFolder or
// DownloadFolder value: its folder references expanded and the path
// normalised with a trailing backslash; when nothing is configured,
// <temporary folder>\<DefaultProdCode>\.
std::wstring ComputeWorkFolder(const std::wstring& configured, const std::wstring& defaultProdCode,
                               const std::wstring& tempFolder, const TextExpander& expand);

}  // namespace pravel
