#include "launch/StartCommand.h"

#include "common/PathForms.h"
#include "common/Text.h"
#include "download/TransferText.h"

namespace pravel {

std::wstring FileExtensionOf(const std::wstring& path) {
    const size_t separator = path.find_last_of(L"\\/");
    const size_t nameStart = separator == std::wstring::npos ? 0 : separator + 1;
    const size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || dot < nameStart) return std::wstring();
    return path.substr(dot + 1);
}

bool IsPackageFile(const std::wstring& path) {
    const std::wstring extension = ToLowerAscii(FileExtensionOf(WithoutLongPathPrefix(path)));
    return extension == L"msix" || extension == L"msixbundle" || extension == L"appx";
}

bool IsMsiFile(const std::wstring& path) {
    return EqualsIgnoreCaseAscii(FileExtensionOf(path), L"msi");
}

std::wstring WithLeadingBlank(const std::wstring& arguments) {
    if (arguments.empty() || arguments[0] == L' ') return arguments;
    return Concat({" ", arguments});
}

std::wstring MsiexecCommandLine(const std::wstring& finalPath, const std::wstring& arguments) {
    return Concat({"msiexec.exe /i \"", WithoutLongPathPrefix(finalPath), "\"", arguments});
}

std::wstring DirectCommandLine(const std::wstring& path, const std::wstring& arguments) {
    return Concat({"\"", path, "\" ", arguments});
}

std::wstring RedactCommandLine(const std::wstring& commandLine) {
    std::wstring shown = commandLine;
    for (size_t scheme = shown.find(L"://"); scheme != std::wstring::npos;
         scheme = shown.find(L"://", scheme + 3)) {
        // The URL up to the end of its user information at most: its
        // password is all RedactUrl changes.
        const size_t end = shown.find_first_of(L" \t\"/\\?#", scheme + 3);
        const std::wstring url = shown.substr(scheme, end - scheme);
        shown.replace(scheme, url.size(), RedactUrl(url));
    }
    return shown;
}

}  // namespace pravel
