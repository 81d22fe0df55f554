// Locations of the form "file:": the Windows path they name and the user
// information they carry, for the file source of the transfer engine, the
// launch list and the checker. Pure text rules (no platform calls).
#pragma once

#include <string>

namespace pravel {

// A file: location taken apart: its Windows path and the user information
// before its host ("user:password@", percent-decoded).
struct FileLocation {
    bool isFile = false;   // the location begins with "file://" (any case)
    bool refused = false;  // its user information holds a "/" or "\\" (unencoded): it cannot
                           // be told from host and path; path, user and password are empty
    std::wstring path;     // with backslashes
    std::wstring user;
    std::wstring password;
};

// The path of a "file:" location: "file:///C:/x.exe" and "file:///C:\x.exe"
// name C:\x.exe; "file://host/share/x.exe", "file:////host/share/x.exe" and
// "file://\\host\share\x.exe" name \\host\share\x.exe ("localhost" too,
// except before a drive: "file://localhost/C:/x.exe" is C:\x.exe); a drive
// after "file://" ("file://C:/x.exe") names a path on it. The user
// information ends at the last "@" before the first slash ("file://u:p@ss@
// host/s" is user "u", password "p@ss") and never becomes part of the path
// (nor reaches a log through it): a password with a slash
// ("file://u:pa/ss@host/s") cannot be told from a path and is refused. Any
// other location (also "file:" without "//") comes back as it is (isFile
// false).
FileLocation ParseFileLocation(const std::wstring& location);

// A refused file: location as it must be written: the "/", "\" and "@" of
// its user information (up to the last "@" before the first slash after an
// "@") percent-encoded. Any other location comes back as it is.
std::wstring EncodedFileLocation(const std::wstring& location);

// ParseFileLocation(location).path.
std::wstring FileLocationPath(const std::wstring& location);

}  // namespace pravel
