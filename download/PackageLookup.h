// Downloads that the package brings along: a package made for sites without
// a network (pravel-check --layout) keeps every download of its
// configuration in the folder "downloads" beside the program, at the place
// the download takes below the download folder (download/DownloadTarget.h,
// PackageDownloadPath). The download phase looks there first, for each
// prerequisite it is about to download:
//   - a file there is tested by the prerequisite's acceptance keys exactly
//     as a download is (download/Acceptance.h): one that passes is taken in
//     place, held open as a download is, and nothing is downloaded; without
//     acceptance keys it is taken as it is;
//   - a missing or rejected file is downloaded from the Url as usual (where
//     the machine has a network); the package's file is never changed or
//     deleted.
// Every outcome is logged; a missing file only when the package has the
// folder at all (runs of packages without it log nothing new).
#pragma once

#include <string>

#include "common/Handles.h"
#include "config/Configuration.h"

namespace pravel {

// Looks for the download of `p` in the package of the program in
// `programFolder` (empty: nothing is looked up). True when it is taken:
// `path` names it and `held` holds it open when it passed acceptance keys.
// False (with `path` and `held` unchanged) when it must be downloaded.
bool TakeFromPackage(const Prerequisite& p, const std::wstring& programFolder, std::wstring& path,
                     UniqueFile& held);

}  // namespace pravel
