// Path texts of the file-system operations and of process starts, without
// touching the file system: the long-path forms (the one used for deletion
// and removal, the one handed to a package start), the steps of a folder
// chain, the walk from a folder up to a stop folder, and the arguments that
// start a batch file elevated. Paths are backslash-separated wide texts.
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

// `path` as the platform reads it without its long-path prefix:
// "\\?\UNC\server\share\..." (letters of UNC in any case) becomes
// "\\server\share\...", any other "\\?\" in front is dropped.
std::wstring WithoutLongPathPrefix(const std::wstring& path);

// Paths longer than 247 characters get the long-path form: "\\?\" in front,
// "\\?\UNC\" in place of the leading "\\" of a share path. Shorter paths and
// paths that already carry "\\?\" are returned unchanged.
std::wstring LongPathForm(const std::wstring& path);

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

// True when the last four characters of `file` are ".bat" or ".cmd", in any
// letter case (a batch file to run under the command interpreter when elevating).
bool IsBatchFile(const std::wstring& file);

// The command interpreter's arguments for an elevated batch file:
// /C ""<file>" <arguments>" (the batch file's quoted path and its arguments,
// enclosed in one more pair of quotes).
std::wstring ElevatedBatchArguments(const std::wstring& file, const std::wstring& arguments);

}  // namespace pravel
