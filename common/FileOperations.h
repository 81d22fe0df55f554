// File-system routines of the extraction, download and clean-up steps. They
// work on wide-text paths, show nothing, log nothing and never throw on a
// file-system failure: a result or nothing at all tells what happened.
// Deletion and removal pass paths of 260 characters or more in their
// long-path form ("\\?\", "\\?\UNC\" for shares; see DeletionPathForm).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/RemovalLists.h"

namespace pravel {

// DeleteFileW; true when it succeeded. The Win32 error of a failure stays
// in the thread's last-error value.
bool DeletePath(const std::wstring& path);

// RemoveDirectoryW (only an empty folder goes); true when it succeeded. The
// Win32 error of a failure stays in the thread's last-error value.
bool RemoveFolder(const std::wstring& path);

// Deletes everything below `folder`, read-only files and folders included;
// the folder itself stays. Entries that cannot be removed are skipped. A
// linked folder (reparse point) is removed as a link: what it points to is
// never entered.
void DeleteFolderContents(const std::wstring& folder);

// Removes `folder` and then each parent, as long as it lies inside
// `stopFolder` (FoldersUpTo): a folder that still holds something stays, and
// so do its parents. The stop folder, anything above it and every root are
// never removed; an empty stop folder removes nothing.
void RemoveEmptyParents(const std::wstring& folder, const std::wstring& stopFolder);

// Creates the folders of `path` that are missing, from the top down; the
// last component only when `lastIsFolder` is true (otherwise it names a
// file) or the path ends with a backslash. The root (drive, or server and
// share) is never created. Every folder created is appended to `created`
// when given. ERROR_ALREADY_EXISTS is no failure. On a local path the first
// other failure ends the chain: the folder created in the step before is
// removed again when it is empty (and taken off `created`), and the error is
// returned. On a share, failures are passed over and the result is that of
// the last step. Returns 0 when the path already exists or the chain is
// complete.
uint32_t CreateFolderChain(const std::wstring& path, bool lastIsFolder,
                           std::vector<std::wstring>* created);

// Deletes the file open as `file` (a HANDLE) through that handle: its delete
// disposition is set (SetFileInformationByHandle) on it, or, when it lacks
// delete access, on a second handle opened from it (ReOpenFile; `file` must
// then share delete). The file that handle names, wherever it lies now, is
// deleted once its last handle is closed; no path is looked up again, so a
// link re-pointed since the file was opened cannot make it delete anything
// else. True when the disposition was set (false, for example, when the
// account may not delete the file).
bool DeleteThroughHandle(void* file);

// Creates `folder` with the access list `sddl` (security descriptor text).
// 0, or the error of building the descriptor or of creating the folder
// (ERROR_ALREADY_EXISTS when something is there).
uint32_t CreateFolderWithAccess(const std::wstring& folder, const wchar_t* sddl);

// Whether `path` is a reparse point (a junction, symbolic link or mount
// point); false when it does not exist.
bool IsReparsePoint(const std::wstring& path);

// The folders on the way to `folder` (itself included, the root excluded)
// that are links: junctions, symbolic links and mount points, every folder
// the platform reports as a reparse point. Components that do not exist
// are not links.
std::vector<std::wstring> LinkedFoldersOf(const std::wstring& folder);

// DeletePath and RemoveFolder for RemoveListed.
RemovalOps FileSystemRemoval();

// The end of a download phase: deletes every downloaded file and removes
// every folder the downloads created (reverse order of creation, only empty
// ones). Failures are ignored; both lists are empty afterwards.
void RemoveFilesAndCreatedFolders(std::vector<std::wstring>& files,
                                  std::vector<std::wstring>& createdFolders);

// The entries of `folder` other than "." and "..", counted up to `limit`
// (counting stops there). 0 for a folder that cannot be read.
size_t CountFolderEntries(const std::wstring& folder, size_t limit);

}  // namespace pravel
