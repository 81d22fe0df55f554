// File-system searches: the version of a file found by path (optionally
// descending into subfolders) or by bare name on every fixed drive, and
// the names of a folder's subfolders.
#pragma once

#include <string>
#include <vector>

namespace pravel {

// Type 0. At most one value: the version ("%d.%d.%d.%d", 0.0.0.0 without a
// version resource) of the first file found, drives in order, each folder
// before its subfolders. With `use64` redirection is off for the search.
std::vector<std::wstring> FindFileVersion(const std::wstring& searchString, bool use64);

// Type 14: names of the subfolders ("." and ".." excluded).
std::vector<std::wstring> ListSubfolders(const std::wstring& folder);

}  // namespace pravel
