// Opens a web page the way the user's shell opens an internet shortcut: the
// program writes a ".url" file into its temporary folder and hands it to the
// shell's "open" verb, so the user's browser and its settings decide.
#pragma once

#include <cstdint>
#include <string>

namespace pravel {

// The text of an internet shortcut file for `url` (ANSI, as the shell reads it).
std::string InternetShortcutText(const std::string& ansiUrl);

// Writes "URLxxxx.url" (a new file) in `folder` with the shortcut of `url`
// converted to the thread's ANSI code page and opens it with the shell
// ("open", shown normally; with `noUi` the shell shows no window of its own,
// no error and no "open with", SEE_MASK_FLAG_NO_UI). `openError` receives 0
// or the shell's Win32 error. Returns the path of the shortcut file, or an
// empty text when it could not be written (nothing is opened then).
std::wstring OpenUrlThroughShortcut(const std::wstring& url, const std::wstring& folder, bool noUi,
                                    uint32_t& openError);

}  // namespace pravel
