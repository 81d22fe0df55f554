// Where a downloaded prerequisite is stored: the download folder, the
// optional subfolder (and file name) of its Folder value, and otherwise the
// file name taken from its URL.
#pragma once

#include <string>

namespace pravel {

// The file name a URL names: the text after the last reserved character
// (\ / : * ? " < > |) before the end of the name, where a query after the
// extension is cut off and a second "://" (a redirect inside the URL) ends
// the URL. At most 41 characters long.
std::wstring FileNameFromUrl(const std::wstring& url);

// `folderSpec` is "folder", "folder?file" or "?file". With a non-empty
// `fileName` the target is the download folder followed by it.
std::wstring DownloadTargetPath(const std::wstring& downloadFolder, const std::wstring& url,
                                const std::wstring& folderSpec,
                                const std::wstring& fileName = std::wstring());

// A package made for sites without a network (pravel-check --layout) keeps
// every download in the folder "downloads" beside the program, at the place
// the download takes below the download folder; pravel looks there before it
// downloads (download/PackageLookup.h).
std::wstring PackageDownloadPath(const std::wstring& programFolder, const std::wstring& url,
                                 const std::wstring& folderSpec);

// Why the place a download takes below its folder (Folder's subfolder and
// file name, or the name from the URL) is not a file inside that folder:
// "climbs out of the folder" (a ".." part), "names a drive or a stream" (a
// ":"), "names no file" (empty name); null when it is one.
const char* DownloadPlaceProblem(const std::wstring& url, const std::wstring& folderSpec);

}  // namespace pravel
