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
    return Concat({base, " ", *uiPart});
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

bool StartsWithDrive(std::wstring_view text) {
    return text.size() >= 2 && text[1] == L':' &&
           ((text[0] >= L'A' && text[0] <= L'Z') || (text[0] >= L'a' && text[0] <= L'z'));
}

// The number of slashes (either kind) at the start of `text`.
size_t LeadingSlashes(std::wstring_view text) {
    size_t n = 0;
    while (n < text.size() && IsSlash(text[n])) ++n;
    return n;
}

}  // namespace

FileLocation ParseFileLocation(const std::wstring& location) {
    FileLocation parsed;
    parsed.path = location;
    if (!StartsWithIgnoreCaseAscii(location, L"file://")) return parsed;
    parsed.isFile = true;
    std::wstring_view rest(location);
    rest.remove_prefix(5);
    size_t slashes = LeadingSlashes(rest);
    bool share = slashes >= 4;  // "file:////host/share", "file://\\\\host\\share"
    if (slashes == 2) {
        // "//" and an authority: user information ("user:password@", ending
        // before the first slash), then a host, a share path or a drive.
        rest.remove_prefix(2);
        const size_t at = rest.find(L'@');
        if (at < rest.find_first_of(L"/\\")) {
            const std::wstring_view info = rest.substr(0, at);
            const size_t colon = info.find(L':');
            parsed.user = PercentDecode(std::wstring(info.substr(0, colon)));
            if (colon != std::wstring_view::npos)
                parsed.password = PercentDecode(std::wstring(info.substr(colon + 1)));
            rest.remove_prefix(at + 1);
        }
        slashes = LeadingSlashes(rest);
        const size_t hostEnd = rest.find_first_of(L"/\\");
        if (slashes >= 2) {
            share = true;  // "file://user@\\\\host\\share"
        } else if (StartsWithDrive(rest)) {
            slashes = 0;  // "file://C:/x"
        } else if (hostEnd != std::wstring_view::npos &&
                   EqualsIgnoreCaseAscii(rest.substr(0, hostEnd), L"localhost") &&
                   StartsWithDrive(rest.substr(hostEnd + 1))) {
            slashes = hostEnd + 1;  // "file://localhost/C:/x"
        } else {
            share = true;  // "file://host/share/x"
            slashes = 0;
        }
    }
    // Otherwise "file:///C:/x": the path follows the slashes.
    rest.remove_prefix(slashes);
    parsed.path.assign(share ? L"\\\\" : L"");
    parsed.path.append(rest);
    for (wchar_t& c : parsed.path) {
        if (c == L'/') c = L'\\';
    }
    return parsed;
}

std::wstring FileLocationPath(const std::wstring& location) {
    return ParseFileLocation(location).path;
}

std::wstring ShareRootOf(const std::wstring& path) {
    if (path.size() < 5 || path[0] != L'\\' || path[1] != L'\\' || path[2] == L'?' ||
        path[2] == L'.' || path[2] == L'\\')
        return std::wstring();
    const size_t server = path.find(L'\\', 2);
    if (server == std::wstring::npos || server + 1 >= path.size() || path[server + 1] == L'\\')
        return std::wstring();
    return path.substr(0, path.find(L'\\', server + 1));
}

}  // namespace pravel
