// pravel-check --layout DIR FILE: a package for sites without a network.
// DIR receives the package as shipped - every file of FILE's folder, byte
// for byte, the program and FILE among them, subfolders included - and in
// its folder "downloads" every download of FILE, fetched as --fetch fetches
// it and accepted by its keys, at the place pravel looks for it before it
// downloads (download/PackageLookup.h). The configuration is not changed.
//
// The layout is made in "DIR.partial" beside DIR and renamed to DIR only
// when everything is in place: DIR never exists half made. Any error (a
// download that cannot be fetched or fails a key, a file that cannot be
// copied, an error in the configuration) leaves DIR.partial with what was
// fetched; the next run takes it up: a download already there is kept when
// it passes its keys (or has none), so only what is missing or fails its
// keys is fetched again, and a broken-off transfer is resumed. DIR itself
// must not exist yet, or be an empty folder.
//
// Findings, in compiler form: the --fetch note for every download in the
// layout ("serves", or "is kept from the last run"), errors at the line of
// the key that fails (the Url line when it cannot be fetched, the Folder line
// when its place lies outside the folder), a warning for a download that no
// MD5, SHA256 or SignerName tests (the layout cannot prove on the target
// that it is the file fetched here) and one for a file: location (run where
// it lies, never carried), and a last note with where the layout is.
#pragma once

#include <string>
#include <vector>

#include "checker/ConfigCheck.h"
#include "checker/Fetch.h"

namespace pravel {

struct LayoutOutcome {
    std::vector<Finding> findings;
    int downloads = 0;  // prerequisites with a Url
    int placed = 0;     // downloads in the layout, passing their keys
    bool complete = false;
    // DIR exists and is not an empty folder: nothing was done (an error of
    // the arguments).
    bool folderTaken = false;
};

// `configuration` is FILE (its path as given), `folder` DIR (absolute, in
// the platform's form); `report` is FILE's check and must be readable.
// `found` is called with every finding as soon as it is known.
LayoutOutcome MakeLayout(const CheckReport& report, const std::wstring& configuration,
                         const std::wstring& folder, FetchPlatform& platform,
                         void (*found)(const Finding&, void*), void* context);

}  // namespace pravel
