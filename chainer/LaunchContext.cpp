#include "chainer/LaunchContext.h"

#include "common/Text.h"

namespace pravel {

void LaunchContext::CleanUp(const RemovalOps& ops) {
    if (!cleanupEnabled || cleanupComplete) return;
    cleanupComplete = RemoveListed(createdFiles, createdFolders, ops);
}

std::wstring ComputeWorkFolder(const std::wstring& configured, const std::wstring& defaultProdCode,
                               const std::wstring& tempFolder, const TextExpander& expand) {
    if (!configured.empty()) {
        return NormalizeFolderPath(expand ? expand(configured) : configured);
    }
    return WithTrailingBackslash(WithTrailingBackslash(tempFolder) + defaultProdCode);
}

}  // namespace pravel
