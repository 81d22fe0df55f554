// Display names of the running Windows version, from an OsVersionInfo
// record. The detailed name carries the release or service pack ("Windows 10
// version 22H2 x64", "Windows 7 SP1 x86"); the generic name does not
// ("Windows 10 x64"). Unknown versions are "OsNotIdentified". These are the
// names that WinNTVersions and WinNT64Versions lists use.
#pragma once

#include <string>

#include "common/OsVersionInfo.h"

namespace pravel {

std::wstring DetailedOsName(const OsVersionInfo& os);
std::wstring GenericOsName(const OsVersionInfo& os);

// Texts that, given as the whole list, exclude every system of their bitness
// (ASCII, kept narrow).
constexpr const char* kAll64BitSystems =
    "Windows XP/Vista/Windows 7/Windows 8 x64/Windows 8.1 x64/Windows 10 x64/Windows 11 x64";
constexpr const char* kAll32BitSystems =
    "Windows 9x/ME/NT/2000/XP/Vista/Windows 7/Windows 8 x86/Windows 8.1 x86/Windows 10 x86";

// True when the list for this bitness (WinNT64Versions on 64-bit Windows,
// else WinNTVersions) excludes a system with these names: the list is the
// group text of its bitness, or one of its ", "-separated entries equals
// either name exactly.
bool IsOsExcluded(const std::wstring& winNTVersions, const std::wstring& winNT64Versions,
                  bool is64BitOs, const std::wstring& detailedName,
                  const std::wstring& genericName);

// True when the language list (decimal identifiers, each ended by ";")
// accepts `languageId`. An empty list accepts every language; text after
// the last ";" is not examined.
bool IsLanguageListAccepting(const std::wstring& languageList, uint16_t languageId);

// Windows only: the process-wide names and the tests of the running system.
const std::wstring& RunningDetailedOsName();
const std::wstring& RunningGenericOsName();
bool IsOsAccepted(const std::wstring& winNTVersions, const std::wstring& winNT64Versions);
// Logs "SystemDefault LangID=<id>-<name>" when logging is on.
bool IsLanguageAccepted(const std::wstring& languageList);
bool IsWindows10OrLater();

}  // namespace pravel
