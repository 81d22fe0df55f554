#include "download/FileLocation.h"

#include "common/Text.h"
#include "download/TransferText.h"

namespace pravel {

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

// Whether `text` holds a colon that is not a drive's ("C:" at the start of
// a path component, followed by a slash or the end): no path has one.
bool HasColonOutsideDrive(std::wstring_view text) {
    for (size_t i = text.find(L':'); i != std::wstring_view::npos; i = text.find(L':', i + 1)) {
        const bool drive = i >= 1 && StartsWithDrive(text.substr(i - 1)) &&
                           (i == 1 || IsSlash(text[i - 2])) &&
                           (i + 1 == text.size() || IsSlash(text[i + 1]));
        if (!drive) return true;
    }
    return false;
}

// After "file://": the end of user information whose password holds a
// slash, read up to the last "@" before the first slash that follows an "@".
size_t GuessedUserInfoEnd(std::wstring_view rest) {
    const size_t slash = rest.find_first_of(L"/\\", rest.find(L'@'));
    return rest.rfind(L'@', slash == std::wstring_view::npos ? slash : slash - 1);
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
        // "//" and an authority: user information ("user:password@", up to
        // the last "@" before the first slash), then a host, a share path or
        // a drive.
        rest.remove_prefix(2);
        const size_t end = rest.find_first_of(L"/\\");
        const size_t at = rest.substr(0, end).rfind(L'@');
        if (at == std::wstring_view::npos && rest.find(L'@') != std::wstring_view::npos &&
            HasColonOutsideDrive(rest.substr(0, rest.find(L'@')))) {
            // "user:pass/word@host": a slash in the user information ends
            // the authority early, and host and path would take the
            // password. Nothing of it is used.
            parsed.refused = true;
            parsed.path.clear();
            return parsed;
        }
        if (at != std::wstring_view::npos) {
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

std::wstring EncodedFileLocation(const std::wstring& location) {
    if (!ParseFileLocation(location).refused) return location;
    const size_t start = 7;  // after "file://"
    const size_t end = start + GuessedUserInfoEnd(std::wstring_view(location).substr(start));
    std::wstring encoded = location.substr(0, start);
    for (size_t i = start; i < end; ++i) {
        const wchar_t c = location[i];
        encoded += c == L'/'    ? L"%2F"
                   : c == L'\\' ? L"%5C"
                   : c == L'@'  ? L"%40"
                                : std::wstring(1, c);
    }
    return encoded + location.substr(end);
}

std::wstring FileLocationPath(const std::wstring& location) {
    return ParseFileLocation(location).path;
}

}  // namespace pravel
