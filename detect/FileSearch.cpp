#include "detect/FileSearch.h"

#include <windows.h>

#include "common/Handles.h"
#include "common/Text.h"
#include "common/Wow64.h"
#include "detect/FileVersion.h"
#include "detect/ReferenceExpansion.h"
#include "detect/SearchEvaluation.h"

namespace pravel {

namespace {

bool IsDotEntry(const wchar_t* name) {
    return (name[0] == L'.' && name[1] == L'\0') ||
           (name[0] == L'.' && name[1] == L'.' && name[2] == L'\0');
}

// The name of the entry `name` names in `folder`, or an empty text when
// there is none. A plain name is checked directly (much cheaper than a
// directory listing in large folders) and comes back as it is; a name with
// wildcards needs the listing and gives the first entry it matches.
std::wstring MatchingEntry(const std::wstring& folder, const std::wstring& name) {
    const std::wstring path = folder + name;
    if (name.find_first_of(L"*?") == std::wstring::npos) {
        return !name.empty() && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES
                   ? name
                   : std::wstring();
    }
    WIN32_FIND_DATAW data;
    UniqueFind match(::FindFirstFileW(path.c_str(), &data));
    return match ? std::wstring(data.cFileName) : std::wstring();
}

// Looks for `name` in `folder` (trailing backslash), then `depth` levels
// below it. Appends the version of the first match, read from the file it
// matched (`file` receives its path), and returns true.
bool SearchFolder(const std::wstring& folder, const std::wstring& name, int32_t depth,
                  std::vector<std::wstring>& found, std::wstring& file) {
    const std::wstring entry = MatchingEntry(folder, name);
    if (!entry.empty()) {
        file = folder + entry;
        FileVersion version;
        GetFileVersion(file, version);  // failure: 0.0.0.0
        found.push_back(FormatFileVersion(version));
        return true;
    }
    if (depth <= 0) return false;
    std::vector<std::wstring> subfolders;
    {
        WIN32_FIND_DATAW data;
        UniqueFind list(::FindFirstFileW((folder + L"*").c_str(), &data));
        if (!list) return false;
        do {
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsDotEntry(data.cFileName)) {
                subfolders.push_back(Concat({folder, std::wstring_view(data.cFileName), "\\"}));
            }
        } while (::FindNextFileW(list.Get(), &data));
    }
    for (const auto& sub : subfolders) {
        if (SearchFolder(sub, name, depth - 1, found, file)) return true;
    }
    return false;
}

std::vector<std::wstring> FixedDriveRoots() {
    std::vector<std::wstring> roots;
    wchar_t drives[100] = {};
    const DWORD length = ::GetLogicalDriveStringsW(100, drives);
    if (length == 0 || length > 100) return roots;
    for (const wchar_t* drive = drives; *drive != L'\0'; drive += lstrlenW(drive) + 1) {
        if (::GetDriveTypeW(drive) == DRIVE_FIXED) roots.emplace_back(drive);
    }
    return roots;
}

}  // namespace

std::vector<std::wstring> FindFileVersion(const std::wstring& searchString, bool use64,
                                          std::wstring* file) {
    const FileSearchTarget parsed = ParseFileSearchString(searchString);
    std::vector<std::wstring> candidates;
    if (IsBareFileName(parsed.path)) {
        for (const auto& root : FixedDriveRoots()) candidates.push_back(root + parsed.path);
    } else {
        candidates.push_back(ExpandReferences(parsed.path, use64));
    }
    // One view for every file-system step: existence, version (its copy
    // included) and listing.
    FsRedirectionOff view(use64);
    std::vector<std::wstring> found;
    std::wstring matched;
    for (const auto& path : candidates) {
        const size_t slash = path.rfind(L'\\');
        const std::wstring folder =
            slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
        const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
        if (SearchFolder(folder, name, parsed.depth, found, matched)) break;
    }
    if (file != nullptr) *file = matched;
    return found;
}

std::vector<std::wstring> ListSubfolders(const std::wstring& folder, bool use64) {
    std::vector<std::wstring> names;
    FsRedirectionOff view(use64);
    WIN32_FIND_DATAW data;
    UniqueFind list(::FindFirstFileW((WithTrailingBackslash(folder) + L"*").c_str(), &data));
    if (!list) return names;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsDotEntry(data.cFileName)) {
            names.emplace_back(data.cFileName);
        }
    } while (::FindNextFileW(list.Get(), &data));
    return names;
}

}  // namespace pravel
