#include "download/DownloadTarget.h"

#include <algorithm>

#include "common/Text.h"

namespace pravel {

namespace {

bool IsReserved(wchar_t c) {
    return std::wstring(L"\\/:*?\"<>|").find(c) != std::wstring::npos;
}

}  // namespace

std::wstring FileNameFromUrl(const std::wstring& url) {
    if (url.empty()) return std::wstring();
    // Positions below are inclusive indexes.
    long end = static_cast<long>(url.size()) - 1;
    const size_t scheme = url.find(L"://");
    if (scheme != std::wstring::npos) {
        const size_t second = url.find(L"://", scheme + 4);
        if (second != std::wstring::npos) end = static_cast<long>(second);
    }
    long nameEnd = end;
    const size_t dot = url.rfind(L'.', static_cast<size_t>(end));
    if (dot != std::wstring::npos) {
        for (long i = static_cast<long>(dot) + 1; i < end; ++i) {
            if (IsReserved(url[static_cast<size_t>(i)])) {
                nameEnd = i - 1;
                break;
            }
        }
    }
    for (long i = nameEnd; i >= 0 && i > nameEnd - 40; --i) {
        if (IsReserved(url[static_cast<size_t>(i)])) {
            return url.substr(static_cast<size_t>(i) + 1, static_cast<size_t>(nameEnd - i));
        }
    }
    const long start = nameEnd - 40 < 0 ? 0 : nameEnd - 40;
    return url.substr(static_cast<size_t>(start), static_cast<size_t>(nameEnd - start + 1));
}

std::wstring DownloadTargetPath(const std::wstring& downloadFolder, const std::wstring& url,
                                const std::wstring& folderSpec, const std::wstring& fileName) {
    if (!fileName.empty()) return downloadFolder + fileName;
    const size_t mark = folderSpec.find(L'?');
    const std::wstring folderPart =
        mark == std::wstring::npos ? folderSpec : folderSpec.substr(0, mark);
    const std::wstring filePart =
        mark == std::wstring::npos ? std::wstring() : folderSpec.substr(mark + 1);
    const std::wstring folder =
        WithTrailingBackslash(WithTrailingBackslash(downloadFolder) + folderPart);
    return folder + (filePart.empty() ? FileNameFromUrl(url) : filePart);
}

std::wstring PackageDownloadPath(const std::wstring& programFolder, const std::wstring& url,
                                 const std::wstring& folderSpec) {
    return DownloadTargetPath(WithTrailingBackslash(programFolder) + L"downloads", url, folderSpec);
}

const char* DownloadPlaceProblem(const std::wstring& url, const std::wstring& folderSpec) {
    // The place below a folder named "." (DownloadTargetPath's form: ".\" first).
    const std::wstring place = DownloadTargetPath(L".", url, folderSpec).substr(2);
    if (place.empty() || place.back() == L'\\' || place.back() == L'/') return "names no file";
    size_t start = 0;
    for (size_t end = 0; end <= place.size(); ++end) {
        if (end < place.size() && place[end] != L'\\' && place[end] != L'/') continue;
        const std::wstring_view part(place.data() + start, end - start);
        // Windows drops trailing dots and blanks of a part: ". ." and "..." climb too.
        if (part.find_first_not_of(L". ") == std::wstring_view::npos &&
            std::count(part.begin(), part.end(), L'.') >= 2)
            return "climbs out of the folder";
        if (part.find(L':') != std::wstring_view::npos) return "names a drive or a stream";
        start = end + 1;
    }
    return nullptr;
}

}  // namespace pravel
