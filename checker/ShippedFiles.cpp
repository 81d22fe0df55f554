#include "checker/ShippedFiles.h"

#include <algorithm>
#include <vector>

#include "checker/DocumentIndex.h"
#include "checker/KeyNames.h"
#include "common/Text.h"
#include "download/FileLocation.h"
#include "ui/WindowTexts.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>

#include "checker/Utf8.h"
#endif

namespace pravel {

namespace {

const std::wstring kSetupExeDir = L"[SETUPEXEDIR]";

// Where a configured path leads: into the package (`relative` below its
// folder), or somewhere pravel-check cannot look (`outside` says why).
struct Place {
    std::wstring relative;
    std::wstring outside;
};

// "[Name]" or "%NAME%" in `text`: a reference that only the machine resolves.
bool HasReference(const std::wstring& text) {
    const size_t open = text.find(L'[');
    if (open != std::wstring::npos && text.find(L']', open) != std::wstring::npos) return true;
    const size_t percent = text.find(L'%');
    return percent != std::wstring::npos && text.find(L'%', percent + 1) != std::wstring::npos;
}

// `path` joined to the folder `base` below the package folder, as Windows
// joins it: "." dropped, ".." taken back lexically. Empty when it leaves
// the package folder (or names the folder itself).
std::wstring BelowPackage(const std::wstring& base, const std::wstring& path) {
    std::vector<std::wstring> parts;
    std::wstring part;
    const std::wstring whole = base + L"\\" + path;
    for (size_t i = 0; i <= whole.size(); ++i) {
        if (i < whole.size() && whole[i] != L'\\' && whole[i] != L'/') {
            part.push_back(whole[i]);
            continue;
        }
        if (part == L"..") {
            if (parts.empty()) return std::wstring();
            parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        part.clear();
    }
    std::wstring joined;
    for (const std::wstring& p : parts) joined += (joined.empty() ? L"" : L"\\") + p;
    return joined;
}

// A path relative to the folder `base` below the package folder (pravel's
// folder: ""), or the reason it cannot be judged.
Place InPackage(const std::wstring& base, const std::wstring& path) {
    Place place;
    if (StartsWith(path, L"\\\\")) {
        place.outside = L"is on a share";
    } else if (IsAbsolutePath(path)) {
        place.outside = L"is a full path";
    } else if (StartsWith(path, L"\\") || StartsWith(path, L"/")) {
        place.outside = L"is a path on the drive of pravel's folder";
    } else {
        place.relative = BelowPackage(base, path);
        if (place.relative.empty()) place.outside = L"lies outside pravel's folder";
    }
    return place;
}

// Where pravel takes a relative SetupFile from: the folder ExtractionFolder
// names (as loaded: normalised with a trailing backslash), when that is
// pravel's folder ([SETUPEXEDIR]) or a relative folder (taken from pravel's
// folder, its current folder) or one below either.
Place SetupFilePlace(const std::wstring& extractionFolder, const std::wstring& setupFile) {
    if (IsAbsolutePath(setupFile)) return InPackage(L"", setupFile);
    Place place;
    std::wstring below = extractionFolder;
    if (StartsWith(below, kSetupExeDir)) {
        below.erase(0, kSetupExeDir.size());
    } else if (IsAbsolutePath(below) || StartsWith(below, L"\\")) {
        place.outside =
            L"is taken from ExtractionFolder " + extractionFolder + L", outside the package";
        return place;
    }
    if (HasReference(below)) {
        place.outside = L"is taken from ExtractionFolder " + extractionFolder +
                        L", which depends on the machine";
        return place;
    }
    return InPackage(below, setupFile);
}

// A file: source: its path once pravel has put its own folder in for
// [SETUPEXEDIR] (a relative path is taken from pravel's folder, its current
// folder while it runs).
Place FileSourcePlace(const std::wstring& location) {
    std::wstring url = location;
    const size_t reference = url.find(kSetupExeDir);
    // A drive that stands for pravel's folder, recognised after parsing.
    const std::wstring stand = L"P:\\";
    if (reference != std::wstring::npos) url.replace(reference, kSetupExeDir.size(), stand);
    const std::wstring path = ParseFileLocation(url).path;
    if (reference != std::wstring::npos && StartsWith(path, stand)) {
        const std::wstring rest = path.substr(stand.size());
        if (!HasReference(rest)) return InPackage(L"", rest);
    }
    if (reference != std::wstring::npos || HasReference(path)) {
        Place place;
        place.outside = L"depends on the machine";
        return place;
    }
    return InPackage(L"", path);
}

class ShippedFileCheck {
  public:
    ShippedFileCheck(CheckReport& report, const PackageLookup& holds)
        : report_(report), holds_(holds) {}

    // `use` is what pravel does with the file ("starts", ...), `when` when
    // it does it, `after` what the run then does without it.
    void Judge(const IniPair& pair, const Place& place, const std::wstring& use,
               const std::wstring& when, const std::wstring& after) {
        const int line = report_.EditorLine(pair.line);
        const std::wstring named = pair.key + L" " + pair.value;
        if (!place.outside.empty()) {
            found_.push_back(Finding{line, Severity::kNote,
                                     named + L" " + place.outside +
                                         L": pravel-check cannot tell whether the machines "
                                         L"that run pravel hold it"});
        } else if (!holds_(place.relative)) {
            found_.push_back(Finding{line, Severity::kError,
                                     named + L" is missing: pravel " + use + L" " + place.relative +
                                         L" from its own folder" + when +
                                         L", and the folder of this configuration holds "
                                         L"no such file" +
                                         after});
        }
    }

    void Finish() {
        for (Finding& finding : found_) report_.findings.push_back(std::move(finding));
        std::stable_sort(report_.findings.begin(), report_.findings.end(),
                         [](const Finding& a, const Finding& b) { return a.line < b.line; });
    }

  private:
    CheckReport& report_;
    const PackageLookup& holds_;
    std::vector<Finding> found_;
};

}  // namespace

void CheckShippedFiles(CheckReport& report, const PackageLookup& holds) {
    if (!report.readable) return;
    const DocumentIndex index(report.document);
    ShippedFileCheck check(report, holds);

    const std::wstring& extraction = report.set.Options().extractionFolder;
    for (size_t i = 0; i < report.set.Count(); ++i) {
        const Prerequisite& p = report.set.At(i);
        const IniSection* section = index.AppSection(static_cast<int>(i) + 1);
        if (section == nullptr) continue;
        if (p.locationKind == kLocationSetupFile) {
            const IniPair* pair = index.Key(*section, L"SetupFile");
            if (pair == nullptr || pair->value.empty()) continue;
            if (extraction.empty() && !IsAbsolutePath(pair->value)) continue;  // warned about
            check.Judge(*pair, SetupFilePlace(extraction, pair->value), L"starts", L"",
                        HasReference(pair->value)
                            ? L" (pravel expands no [Folder] or %VAR% reference in SetupFile)"
                            : L"; the installation fails");
        } else if (p.locationKind == kLocationUrl) {
            const FileLocation location = ParseFileLocation(p.location);
            if (!location.isFile || location.refused) continue;  // refused: an error of its own
            const IniPair* pair = index.Key(*section, L"Url");
            if (pair == nullptr) continue;
            check.Judge(*pair, FileSourcePlace(pair->value), L"takes", L"",
                        L"; the prerequisite is not installed");
        }
    }

    const IniSection* chainer = index.Section(kChainer);
    const IniPair* script = chainer == nullptr ? nullptr : index.Key(*chainer, L"CleanupScript");
    if (script != nullptr && !script->value.empty()) {
        check.Judge(*script, InPackage(L"", script->value), L"copies", L" at the end of every run",
                    L" (the clean-up script never starts)");
    }

    for (const IniSection& section : report.document.Sections()) {
        std::wstring language;
        if (!TextsSectionLanguage(section.Name(), language) ||
            index.Section(section.Name()) != &section) {
            continue;
        }
        // An icon on a share is a warning of the texts check (checker/ConfigCheck.h).
        const IniPair* icon = index.Key(section, L"Icon");
        if (icon != nullptr && !icon->value.empty() && !IsNetworkPath(icon->value)) {
            check.Judge(*icon, InPackage(L"", icon->value), L"loads", L"",
                        L" (the windows keep the built-in icon)");
        }
    }
    check.Finish();
}

#ifdef _WIN32

PackageLookup FolderLookup(const std::wstring& folder) {
    return [folder](const std::wstring& relative) {
        const std::wstring path = folder.empty() ? relative : folder + L"\\" + relative;
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    };
}

#else

namespace {

// The entry of `folder` named `name` ignoring ASCII letter case (the exact
// name first), or empty.
std::string EntryIgnoringCase(const std::string& folder, const std::string& name) {
    struct stat info;
    if (::stat((folder + "/" + name).c_str(), &info) == 0) return name;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return std::string();
    const std::wstring wanted = Utf16FromUtf8(name);
    std::string found;
    while (const dirent* entry = ::readdir(dir)) {
        if (EqualsIgnoreCaseAscii(Utf16FromUtf8(entry->d_name), wanted)) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

}  // namespace

std::string PathIgnoringCase(const std::wstring& folder, const std::wstring& relative) {
    std::string path = folder.empty() ? "." : Utf8FromUtf16(folder);
    size_t start = 0;
    for (size_t end = 0; end <= relative.size(); ++end) {
        if (end < relative.size() && relative[end] != L'\\' && relative[end] != L'/') continue;
        if (end > start) {
            const std::string entry =
                EntryIgnoringCase(path, Utf8FromUtf16(relative.substr(start, end - start)));
            if (entry.empty()) return std::string();
            path += "/" + entry;
        }
        start = end + 1;
    }
    return path;
}

PackageLookup FolderLookup(const std::wstring& folder) {
    return [folder](const std::wstring& relative) {
        const std::string path = PathIgnoringCase(folder, relative);
        struct stat info;
        return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
    };
}

#endif

}  // namespace pravel
