// Removing what a step of the run created, from its lists of files and
// folders. The file-system calls are passed in, so that the order and the
// bookkeeping are the same for the real file system and for a test double.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace pravel {

struct RemovalOps {
    std::function<bool(const std::wstring&)> deleteFile;    // true when deleted
    std::function<bool(const std::wstring&)> removeFolder;  // true when removed (only empty ones)
};

// Deletes every file of `files` in order, then removes every folder of
// `folders` in reverse order of creation (inner folders before the folders
// that hold them). Afterwards both lists hold only what could not be
// removed, in their original order. True when both lists are empty.
bool RemoveListed(std::vector<std::wstring>& files, std::vector<std::wstring>& folders,
                  const RemovalOps& ops);

}  // namespace pravel
