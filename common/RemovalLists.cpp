#include "common/RemovalLists.h"

#include <algorithm>

namespace pravel {

bool RemoveListed(std::vector<std::wstring>& files, std::vector<std::wstring>& folders,
                  const RemovalOps& ops) {
    std::vector<std::wstring> failedFiles;
    for (auto& file : files) {
        if (!ops.deleteFile(file)) failedFiles.push_back(std::move(file));
    }
    std::vector<std::wstring> failedFolders;
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        if (!ops.removeFolder(*it)) failedFolders.push_back(std::move(*it));
    }
    std::reverse(failedFolders.begin(), failedFolders.end());
    files.swap(failedFiles);
    folders.swap(failedFolders);
    return files.empty() && folders.empty();
}

}  // namespace pravel
