#include "chainer/LaunchList.h"

#include "common/Text.h"
#include "download/TransferText.h"

namespace pravel {

int32_t CommandLineUiModeOf(const std::wstring& generalOptions) {
    if (Contains(generalOptions, L"b")) return kUiModeBasic;
    if (Contains(generalOptions, L"q")) return kUiModeSilent;
    return kUiModeFull;
}

std::wstring CompleteCommandLine(const Prerequisite& prerequisite, int32_t uiMode) {
    const size_t letter = prerequisite.options.find_first_of(L"bqjn");
    const wchar_t ui = letter == std::wstring::npos ? L'\0' : prerequisite.options[letter];
    const std::wstring& base = prerequisite.commandLine;
    const std::wstring* uiPart = nullptr;
    if (ui == L'b' || (ui == L'n' && uiMode == kUiModeBasic)) {
        uiPart = &prerequisite.basicUiCommandLine;
    } else if (ui == L'q' || (ui == L'n' && uiMode == kUiModeSilent)) {
        uiPart = &prerequisite.noUiCommandLine;
    }
    if (uiPart == nullptr) return base;
    return Concat({base, L" ", *uiPart});
}

int32_t RebootModeOf(const std::wstring& options) {
    if (!Contains(options, L"r")) return kRebootNever;
    return Contains(options, L"R") ? kRebootWhenPresent : kRebootAlways;
}

std::wstring SetupFilePath(const std::wstring& location, const std::wstring& extractionFolder,
                           const std::wstring& programFolder) {
    const bool absolute =
        StartsWith(location, L"\\\\") || (location.size() >= 2 && location[1] == L':');
    if (absolute) return location;
    const std::wstring& folder = extractionFolder.empty() ? programFolder : extractionFolder;
    return WithTrailingBackslash(folder) + location;
}

namespace {

bool IsSlash(wchar_t c) {
    return c == L'/' || c == L'\\';
}

bool StartsWithDrive(const std::wstring& text) {
    return text.size() >= 2 && text[1] == L':' &&
           ((text[0] >= L'A' && text[0] <= L'Z') || (text[0] >= L'a' && text[0] <= L'z'));
}

// The number of slashes (either kind) at the start of `text`.
size_t LeadingSlashes(const std::wstring& text) {
    size_t n = 0;
    while (n < text.size() && IsSlash(text[n])) ++n;
    return n;
}

}  // namespace

FileLocation ParseFileLocation(const std::wstring& location) {
    FileLocation parsed;
    if (!StartsWithIgnoreCaseAscii(location, L"file://")) {
        parsed.path = location;
        return parsed;
    }
    parsed.isFile = true;
    std::wstring rest = location.substr(5);
    const size_t slashes = LeadingSlashes(rest);
    std::wstring path;
    if (slashes == 2) {
        // "//" and an authority: user information ("user:password@", ending
        // before the first slash), then a host, a share path or a drive.
        rest.erase(0, 2);
        const size_t at = rest.find(L'@');
        if (at != std::wstring::npos && at < rest.find_first_of(L"/\\")) {
            const std::wstring info = rest.substr(0, at);
            const size_t colon = info.find(L':');
            parsed.user = PercentDecode(info.substr(0, colon));
            if (colon != std::wstring::npos)
                parsed.password = PercentDecode(info.substr(colon + 1));
            rest.erase(0, at + 1);
        }
        const size_t hostEnd = rest.find_first_of(L"/\\");
        const size_t inner = LeadingSlashes(rest);
        if (inner >= 2) {
            path = L"\\\\" + rest.substr(inner);  // "file://user@\\host\share"
        } else if (StartsWithDrive(rest)) {
            path = rest;  // "file://C:/x"
        } else if (hostEnd != std::wstring::npos &&
                   EqualsIgnoreCaseAscii(rest.substr(0, hostEnd), L"localhost") &&
                   StartsWithDrive(rest.substr(hostEnd + 1))) {
            path = rest.substr(hostEnd + 1);  // "file://localhost/C:/x"
        } else {
            path = L"\\\\" + rest;  // "file://host/share/x"
        }
    } else if (slashes >= 4) {
        path = L"\\\\" + rest.substr(slashes);  // "file:////host/share", "file://\\host\share"
    } else {
        path = rest.substr(slashes);  // "file:///C:/x"
    }
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    parsed.path = std::move(path);
    return parsed;
}

std::wstring FileLocationPath(const std::wstring& location) {
    return ParseFileLocation(location).path;
}

std::wstring ShareRootOf(const std::wstring& path) {
    if (!StartsWith(path, L"\\\\") || StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\\\.\\"))
        return std::wstring();
    const size_t server = path.find(L'\\', 2);
    if (server == std::wstring::npos || server == 2 || server + 1 >= path.size())
        return std::wstring();
    const size_t share = path.find(L'\\', server + 1);
    return share == server + 1 ? std::wstring() : path.substr(0, share);
}

}  // namespace pravel
