// Path texts of the file-system operations, without touching the file
// system: the long-path form used for deletion and removal, the steps of a
// folder chain, and the walk from a folder up to a stop folder. Paths are
// backslash-separated wide texts.
#pragma once

#include <string>
#include <vector>

namespace pravel {

// Paths of this many characters or more are given to the platform in their
// long-path form.
constexpr size_t kLongPathLength = 260;

// True when the path begins with "\\?\".
bool HasLongPathPrefix(const std::wstring& path);
// True for "\\server\share..." and "\\?\UNC\server\share...".
bool IsUncPath(const std::wstring& path);
// True when the path begins with two backslashes or has a colon as its
// second character.
bool IsFullPath(const std::wstring& path);

// The form in which deletion and folder removal hand a path to the
// platform. A path shorter than kLongPathLength, or one that already carries "\\?\",
// unchanged; otherwise "\\?\UNC\server\share..." for "\\server\share..." and
// "\\?\" + path for every other path.
std::wstring DeletionPathForm(const std::wstring& path);

// The path without trailing backslashes.
std::wstring WithoutTrailingBackslash(const std::wstring& path);

// True when `path` lies below `folder`: it begins with the folder (trailing
// backslashes ignored) followed by a backslash and at least one character,
// comparing ASCII letters without regard to case. An empty folder contains
// nothing.
bool IsInsideFolder(const std::wstring& path, const std::wstring& folder);

// The folders a folder chain creates, in order. The root (a drive "C:", or
// "\\server\share", each with its long-path prefix) is never part of the
// steps. The last component is a step only when `lastIsFolder` is true or
// the path ends with a backslash.
struct FolderChainSteps {
    std::wstring root;
    std::vector<std::wstring> folders;
    bool unc = false;
};
FolderChainSteps SplitFolderChain(const std::wstring& path, bool lastIsFolder);

// Starting with `folder` (trailing backslashes ignored), the folder and each
// of its parents as long as it lies inside `stopFolder` (IsInsideFolder).
// The stop folder itself, anything outside it and every root are never
// listed; an empty stop folder gives no folder at all.
std::vector<std::wstring> FoldersUpTo(const std::wstring& folder, const std::wstring& stopFolder);

}  // namespace pravel
