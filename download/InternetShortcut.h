// Opens a web page the way the user's shell opens an internet shortcut: the
// program writes a ".url" file into its temporary folder and hands it to the
// shell's "open" verb, so the user's browser and its settings decide.
#pragma once

#include <string>

namespace pravel {

// The text of an internet shortcut file for `url` (ANSI, as the shell reads it).
std::string InternetShortcutText(const std::string& ansiUrl);

// Writes "URLxxxx.url" (a new file) in `folder` with the shortcut of `url`
// converted to the thread's ANSI code page and opens it with the shell
// ("open", shown normally). The shell's own result is not looked at. Returns
// the path of the shortcut file, or an empty text when it could not be
// written (nothing is opened then).
std::wstring OpenUrlThroughShortcut(const std::wstring& url, const std::wstring& folder);

}  // namespace pravel
