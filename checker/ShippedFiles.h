// The files a package ships beside pravel.exe, looked for where pravel will
// look for them, with the configuration's own folder standing for pravel's
// folder: a relative SetupFile in the folder ExtractionFolder names when
// that is [SETUPEXEDIR] (or a folder below it), a file: source whose path
// begins with [SETUPEXEDIR] or is relative (pravel's folder is its current
// folder), and a relative Icon= of a [Texts] section or CleanupScript
// (pravel's folder too). Each one the folder does not hold is an error at
// its line. A path that leaves the package (a full path, a share, another
// folder reference, ".." above the folder) is a note: it cannot be judged
// here. A relative SetupFile without ExtractionFolder is the warning of
// PrerequisiteCheck (it comes from <temp>\<DefaultProdCode>\) and is not
// looked for.
#pragma once

#include <functional>
#include <string>

#include "checker/ConfigCheck.h"

namespace pravel {

// Whether the package folder holds a file (not a folder) at `relative`: a
// path below the folder, its parts joined by backslashes, without "." or
// "..". Letter case is ignored, as Windows ignores it.
using PackageLookup = std::function<bool(const std::wstring& relative)>;

// Appends the findings on shipped files to `report`, keeping them ordered
// by line. Nothing for a report whose file pravel cannot read.
void CheckShippedFiles(CheckReport& report, const PackageLookup& holds);

// The lookup in `folder` on this system ("" is the current folder).
PackageLookup FolderLookup(const std::wstring& folder);

#ifndef _WIN32
// The path on this system of `relative` (parts separated by "\" or "/")
// below `folder`, each part's letter case ignored as Windows ignores it;
// empty when a part is missing.
std::string PathIgnoringCase(const std::wstring& folder, const std::wstring& relative);
#endif

}  // namespace pravel
