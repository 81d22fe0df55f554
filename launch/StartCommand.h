// How the installer launcher starts a setup file: which files are packages
// and the command lines used when the program runs as LocalSystem (the
// long-path forms are common/PathForms.h's). Pure text rules (no platform
// calls).
#pragma once

#include <string>

namespace pravel {

// The extension of the file name in `path` (text after the last dot of the
// part after the last backslash or slash, without the dot); empty when the
// name has no dot. A dot in a folder name does not count.
std::wstring FileExtensionOf(const std::wstring& path);

// True for the package kinds: extension "msix", "msixbundle" or "appx",
// ignoring case, of the path without a leading "\\?\".
bool IsPackageFile(const std::wstring& path);

// True when the extension is exactly "msi", ignoring case.
bool IsMsiFile(const std::wstring& path);

// The configured arguments as the LocalSystem command lines append them:
// one blank in front unless they are empty or begin with a blank.
std::wstring WithLeadingBlank(const std::wstring& arguments);

// "msiexec.exe /i \"<path without its long-path prefix>\"" followed by
// `arguments` (already given their leading blank): a share path keeps its
// leading "\\".
std::wstring MsiexecCommandLine(const std::wstring& finalPath, const std::wstring& arguments);

// "\"<path>\" " followed by `arguments` (already given their leading blank):
// empty arguments leave the quoted path and one trailing blank.
std::wstring DirectCommandLine(const std::wstring& path, const std::wstring& arguments);

// The command line as the log shows it: the password of every URL in it
// (text from a "://" on) replaced by "***" (RedactUrl; the user information
// ends at the first blank, tab, double quote, "/", "\", "?" or "#" after
// the "://"); everything else stays as it is.
std::wstring RedactCommandLine(const std::wstring& commandLine);

}  // namespace pravel
