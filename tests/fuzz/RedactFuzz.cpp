// Fuzzes the redaction of URLs for the log. Two kinds of input, chosen by the
// first byte:
//   - any text: the redaction never fails, is idempotent, keeps texts without
//     "://" unchanged, and keeps everything but one span;
//   - a URL built from the input's parts (scheme, user, password with "@"
//     and ":" in it, host with port or an IPv6 literal, path, query with "@"
//     and ":" in it): the result is exactly the URL with "***" for the
//     password, so no password character survives, and the pair the
//     transfer sends (UrlUserInfo) is exactly that user and password.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "download/TransferText.h"

namespace {

// Bytes as UTF-16 code units, one byte each.
std::wstring Widen(const uint8_t* data, size_t size) {
    std::wstring text;
    for (size_t i = 0; i < size; ++i) text += static_cast<wchar_t>(data[i]);
    return text;
}

// The characters a part may hold: anything but those that would end it.
std::wstring Clean(std::wstring part, const wchar_t* forbidden) {
    std::wstring out;
    for (wchar_t c : part) {
        bool bad = c == 0;
        for (const wchar_t* f = forbidden; *f != 0; ++f) bad |= c == *f;
        if (!bad) out += c;
    }
    return out;
}

void CheckAnyText(const std::wstring& text) {
    const std::wstring once = pravel::RedactUrl(text);
    if (pravel::RedactUrl(once) != once) abort();
    if (text.find(L"://") == std::wstring::npos && once != text) abort();
    if (once == text) return;
    // One span replaced by "***": the common prefix and suffix cover the rest.
    size_t prefix = 0;
    while (prefix < once.size() && prefix < text.size() && once[prefix] == text[prefix]) ++prefix;
    size_t suffix = 0;
    while (suffix < once.size() - prefix && suffix < text.size() - prefix &&
           once[once.size() - 1 - suffix] == text[text.size() - 1 - suffix])
        ++suffix;
    if (once.size() - prefix - suffix > 3) abort();
}

void CheckBuiltUrl(const std::vector<std::wstring>& parts) {
    static const wchar_t* const kSchemes[] = {L"http", L"https", L"ftp", L"file"};
    const std::wstring scheme = kSchemes[parts[0].empty() ? 0 : parts[0][0] % 4];
    const std::wstring user = Clean(parts[1], L":/\\?#@");
    const std::wstring password = Clean(parts[2], L"/\\?#");
    std::wstring host = Clean(parts[3], L":/\\?#@[]");
    if (host.empty()) host = L"example.com";
    if (!parts[3].empty() && parts[3][0] % 3 == 0) host = L"[fe80::" + host + L"]";
    if (!parts[3].empty() && parts[3][0] % 2 == 0) host += L":8080";
    const std::wstring path = L"/" + Clean(parts[4], L"?#");
    const std::wstring query = parts[5].empty() ? L"" : L"?" + Clean(parts[5], L"#");
    const std::wstring rest = host + path + query;
    const std::wstring url = scheme + L"://" + user + L":" + password + L"@" + rest;
    const std::wstring expected = scheme + L"://" + user + L":***@" + rest;
    if (pravel::RedactUrl(url) != expected) abort();
    std::wstring sentUser, sentPassword;
    if (!pravel::UrlUserInfo(url, sentUser, sentPassword) || sentUser != user ||
        sentPassword != password)
        abort();
    // Without a password nothing changes.
    const std::wstring plain = scheme + L"://" + user + L"@" + rest;
    if (pravel::RedactUrl(plain) != plain) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (data[0] % 2 == 0) {
        CheckAnyText(Widen(data + 1, size - 1));
        return 0;
    }
    // Parts separated by 0xFF bytes; pairs "0xFE x" give the unit 0x2000 + x
    // (non-ASCII characters such as typographic punctuation and blanks).
    std::vector<std::wstring> parts(1);
    for (size_t i = 1; i < size; ++i) {
        if (data[i] == 0xFF) {
            parts.emplace_back();
        } else if (data[i] == 0xFE && i + 1 < size) {
            parts.back() += static_cast<wchar_t>(0x2000 + data[++i]);
        } else {
            parts.back() += static_cast<wchar_t>(data[i]);
        }
    }
    parts.resize(6);
    CheckBuiltUrl(parts);
    return 0;
}
