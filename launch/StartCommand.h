// How the installer launcher starts a setup file: which files are packages,
// the long-path form handed to the package step, and the command lines used
// when the program runs as LocalSystem. Pure text rules (no platform calls).
#pragma once

#include <string>

namespace pravel {

// `path` as the platform reads it without its long-path prefix:
// "\\?\UNC\server\share\..." (letters of UNC in any case) becomes
// "\\server\share\...", any other "\\?\" in front is dropped.
std::wstring WithoutLongPathPrefix(const std::wstring& path);

// The extension of the file name in `path` (text after the last dot of the
// part after the last backslash or slash, without the dot); empty when the
// name has no dot. A dot in a folder name does not count.
std::wstring FileExtensionOf(const std::wstring& path);

// True for the package kinds: extension "msix", "msixbundle" or "appx",
// ignoring case, of the path without a leading "\\?\".
bool IsPackageFile(const std::wstring& path);

// True when the extension is exactly "msi", ignoring case.
bool IsMsiFile(const std::wstring& path);

// Paths longer than 247 characters get the long-path form: "\\?\" in front,
// "\\?\UNC\" in place of the leading "\\" of a share path. Shorter paths and
// paths that already carry "\\?\" are returned unchanged.
std::wstring LongPathForm(const std::wstring& path);

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

// True when the last four characters of `file` are ".bat" or ".cmd", in any
// letter case (a batch file to run under the command interpreter when elevating).
bool IsBatchFile(const std::wstring& file);

// The command interpreter's arguments for an elevated batch file:
// /C ""<file>" <arguments>" (the batch file's quoted path and its arguments,
// enclosed in one more pair of quotes).
std::wstring ElevatedBatchArguments(const std::wstring& file, const std::wstring& arguments);

}  // namespace pravel
