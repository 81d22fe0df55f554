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

}  // namespace pravel
