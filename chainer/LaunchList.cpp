#include "chainer/LaunchList.h"

#include "common/Text.h"

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
