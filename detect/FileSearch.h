// File-system searches: the version of a file found by path (optionally
// descending into subfolders) or by bare name on every fixed drive, and
// the names of a folder's subfolders.
#pragma once

#include <string>
#include <vector>

namespace pravel {

// Type 0. At most one value: the version ("%d.%d.%d.%d", 0.0.0.0 without a
// version resource) of the first file found, drives in order, each folder
// before its subfolders. References are expanded first; then every step
// (existence, version, listing) reads one file-system view: the native one
// with `use64` (redirection off), else the process's own. A name with
// wildcards ("*", "?") is read from the first file it matches. `file`, when
// given, receives the path of the file read (empty when none was found).
std::vector<std::wstring> FindFileVersion(const std::wstring& searchString, bool use64,
                                          std::wstring* file = nullptr);

// Type 14: names of the subfolders of `folder` ("." and ".." excluded), in
// the native view with `use64`, else the process's own.
std::vector<std::wstring> ListSubfolders(const std::wstring& folder, bool use64);

}  // namespace pravel
