#include "download/TransferText.h"

#include <cstdint>
#include <vector>

#include "common/Text.h"

namespace pravel {

std::wstring PercentDecode(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
            HexDigitValue(text[i + 2]) >= 0) {
            out +=
                static_cast<wchar_t>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

namespace {

// Where the user information of `url` lies: [start, at) with `colon` the
// position of its first ":" (npos without one). False without any.
bool FindUserInfo(const std::wstring& url, size_t& start, size_t& colon, size_t& at) {
    const size_t scheme = url.find(L"://");
    if (scheme == std::wstring::npos) return false;
    start = scheme + 3;
    size_t end = url.find_first_of(L"/\\?#", start);
    if (end == std::wstring::npos) end = url.size();
    if (end == start) return false;
    at = url.rfind(L'@', end - 1);
    if (at == std::wstring::npos || at < start) return false;
    colon = url.find(L':', start);
    if (colon > at) colon = std::wstring::npos;
    return true;
}

}  // namespace

bool UrlUserInfo(const std::wstring& url, std::wstring& user, std::wstring& password) {
    user.clear();
    password.clear();
    size_t start = 0, colon = 0, at = 0;
    if (!FindUserInfo(url, start, colon, at)) return false;
    if (colon == std::wstring::npos) {
        user = url.substr(start, at - start);
    } else {
        user = url.substr(start, colon - start);
        password = url.substr(colon + 1, at - colon - 1);
    }
    return true;
}

std::wstring RedactUrl(const std::wstring& url) {
    size_t start = 0, colon = 0, at = 0;
    if (!FindUserInfo(url, start, colon, at) || colon == std::wstring::npos) return url;
    const std::wstring_view text(url);
    return Concat({text.substr(0, colon + 1), "***", text.substr(at)});
}

bool HasControlCharacter(const std::wstring& text) {
    for (const wchar_t c : text) {
        if (c < 0x20 || c == 0x7F) return true;
    }
    return false;
}

std::wstring ServerText(const std::wstring& text) {
    constexpr size_t kMaxChars = 200;
    std::wstring shown = text.substr(0, kMaxChars);
    for (wchar_t& c : shown) {
        if (c < 0x20 || c == 0x7F) c = L'?';
    }
    if (text.size() > kMaxChars) shown += L"...";
    return shown;
}

std::wstring WithoutFragment(const std::wstring& target) {
    return target.substr(0, target.find(L'#'));
}

std::wstring RealmFromChallenge(const std::wstring& challenge) {
    const size_t blank = challenge.find(L' ');
    if (blank == std::wstring::npos) return std::wstring();
    for (const std::wstring& item : Split(challenge.substr(blank + 1), L",")) {
        const size_t equals = item.find(L'=');
        if (equals == std::wstring::npos) continue;
        if (!EqualsIgnoreCaseAscii(item.substr(0, equals), L"realm")) continue;
        std::wstring value = item.substr(equals + 1);
        if (!value.empty() && value.front() == L'"') value.erase(0, 1);
        if (!value.empty() && value.back() == L'"') value.pop_back();
        return value;
    }
    return std::wstring();
}

std::wstring ProxyHostName(const std::wstring& proxySetting) {
    return proxySetting.substr(0, proxySetting.find(L':'));
}

namespace {

// The items of a proxy setting or exception list: separated by ";" or blanks.
std::vector<std::wstring> ProxyItems(const std::wstring& text) {
    std::vector<std::wstring> items;
    std::wstring item;
    for (const wchar_t c : text + L";") {
        if (c == L';' || c == L' ' || c == L'\t') {
            if (!item.empty()) items.push_back(item);
            item.clear();
        } else {
            item += c;
        }
    }
    return items;
}

// `text` matches `pattern` ("*" any run, letter case ignored); linear in
// their lengths times the number of "*" at worst.
bool WildcardMatch(const std::wstring& text, const std::wstring& pattern) {
    size_t t = 0, p = 0, star = std::wstring::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && ToLowerAscii(pattern[p]) == ToLowerAscii(text[t])) {
            ++p;
            ++t;
        } else if (star != std::wstring::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') ++p;
    return p == pattern.size();
}

}  // namespace

std::wstring ProxyForScheme(const std::wstring& setting, const std::wstring& scheme) {
    const std::vector<std::wstring> items = ProxyItems(setting);
    for (const std::wstring& item : items) {
        const size_t equals = item.find(L'=');
        if (equals == std::wstring::npos) {
            if (items.size() == 1) return item;  // one proxy for every scheme
            continue;
        }
        if (EqualsIgnoreCaseAscii(std::wstring_view(item).substr(0, equals), scheme))
            return item.substr(equals + 1);
    }
    return std::wstring();
}

bool BypassesProxy(const std::wstring& host, const std::wstring& exceptions) {
    for (const std::wstring& item : ProxyItems(exceptions)) {
        if (EqualsIgnoreCaseAscii(item, L"<local>")) {
            if (host.find(L'.') == std::wstring::npos) return true;
        } else if (WildcardMatch(host, item)) {
            return true;
        }
    }
    return false;
}

bool FtpSizeFromReply(const std::wstring& reply, uint64_t& size) {
    const std::wstring text = TrimWhite(reply);
    if (FtpReplyCode(text) != 213 || text.size() < 5 || text[3] != L' ') return false;
    return ParseDecimal64(text.substr(4), size);
}

int FtpReplyCode(const std::wstring& responseText) {
    size_t i = 0;
    while (i < responseText.size() && (responseText[i] == L'\r' || responseText[i] == L'\n')) ++i;
    int code = 0;
    bool any = false;
    for (; i < responseText.size() && responseText[i] >= L'0' && responseText[i] <= L'9'; ++i) {
        code = code * 10 + (responseText[i] - L'0');
        any = true;
        if (code > 999) return 0;
    }
    if (!any) return 0;
    if (i < responseText.size() && responseText[i] != L' ' && responseText[i] != L'-' &&
        responseText[i] != L'\r' && responseText[i] != L'\n')
        return 0;
    return code;
}

bool IsAbsoluteTarget(const std::wstring& path) {
    return StartsWith(path, L"\\\\") || (path.size() >= 2 && path[1] == L':');
}

std::wstring ShareServerName(const std::wstring& path) {
    if (!StartsWith(path, L"\\\\") || StartsWith(path, L"\\\\?")) return std::wstring();
    const std::wstring rest = path.substr(2);
    return rest.substr(0, rest.find(L'\\'));
}

std::wstring ShareFolderOf(const std::wstring& path) {
    const size_t last = path.rfind(L'\\');
    return last == std::wstring::npos ? path : path.substr(0, last);
}

bool ParseDecimal64(const std::wstring& text, uint64_t& value) {
    const std::wstring digits = TrimWhite(text);
    if (digits.empty()) return false;
    uint64_t result = 0;
    for (const wchar_t c : digits) {
        if (c < L'0' || c > L'9') return false;
        const uint64_t digit = static_cast<uint64_t>(c - L'0');
        if (result > (UINT64_MAX - digit) / 10) return false;
        result = result * 10 + digit;
    }
    value = result;
    return true;
}

bool ParseContentRange(const std::wstring& text, ContentRange& range) {
    const std::wstring value = TrimWhite(text);
    if (!StartsWithIgnoreCaseAscii(value, L"bytes ")) return false;
    const std::wstring rest = value.substr(6);
    const size_t dash = rest.find(L'-');
    const size_t slash = rest.find(L'/');
    if (dash == std::wstring::npos || slash == std::wstring::npos || slash < dash) return false;
    ContentRange parsed;
    if (!ParseDecimal64(rest.substr(0, dash), parsed.first) ||
        !ParseDecimal64(rest.substr(dash + 1, slash - dash - 1), parsed.last) ||
        parsed.last < parsed.first)
        return false;
    const std::wstring total = TrimWhite(rest.substr(slash + 1));
    if (total != L"*") {
        if (!ParseDecimal64(total, parsed.total) || parsed.total <= parsed.last) return false;
        parsed.totalKnown = true;
    }
    range = parsed;
    return true;
}

bool ParseUnsatisfiedRange(const std::wstring& text, uint64_t& total) {
    const std::wstring value = TrimWhite(text);
    return StartsWithIgnoreCaseAscii(value, L"bytes */") && ParseDecimal64(value.substr(8), total);
}

std::wstring ResumeValidator(const std::wstring& entityTag, const std::wstring& lastModified,
                             bool lastModifiedStrong) {
    const std::wstring tag = TrimWhite(entityTag);
    if (!tag.empty() && !StartsWith(tag, L"W/")) return tag;
    return lastModifiedStrong ? TrimWhite(lastModified) : std::wstring();
}

bool IsMultipart(const std::wstring& contentType) {
    return StartsWithIgnoreCaseAscii(TrimWhite(contentType), L"multipart/");
}

std::wstring BasicAuthorization(const std::wstring& user, const std::wstring& password) {
    // The UTF-8 bytes of "user:password" (UTF-16 surrogate pairs joined
    // where wchar_t has 16 bits) go straight into base64, six bits a letter.
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::wstring out = L"Basic ";
    uint32_t bits = 0;
    int pending = 0;  // bits in `bits` not yet written
    const auto put = [&](uint32_t byte) {
        bits = bits << 8 | byte;
        for (pending += 8; pending >= 6;) out += kAlphabet[(bits >> (pending -= 6)) & 63];
    };
    const std::wstring text = Concat({user, ":", password});
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = static_cast<uint32_t>(text[i]);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(text[++i]) - 0xDC00);
        const int extra = c < 0x80 ? 0 : (c < 0x800 ? 1 : (c < 0x10000 ? 2 : 3));
        static const unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
        put(kLead[extra] | (c >> (6 * extra)));
        for (int k = extra - 1; k >= 0; --k) put(0x80 | ((c >> (6 * k)) & 0x3F));
    }
    if (pending > 0) out += kAlphabet[(bits << (6 - pending)) & 63];
    while (out.size() % 4 != 2) out += L'=';  // "Basic " has 6 letters
    return out;
}

std::wstring FormatPartTag(uint64_t total, const std::wstring& validator) {
    return Concat({DecimalPiece(total), "\n", validator, "\n"});
}

bool ParsePartTag(const std::wstring& text, uint64_t& total, std::wstring& validator) {
    // Digits, a line end, the validator (no line break in it), a line end.
    const size_t first = text.find(L'\n');
    if (first == 0 || first == std::wstring::npos ||
        text.find_first_of(L"\r\n", first + 1) != text.size() - 1 ||
        text.find_first_not_of(L"0123456789") != first ||
        !ParseDecimal64(text.substr(0, first), total))
        return false;
    validator = text.substr(first + 1, text.size() - first - 2);
    return true;
}

bool BroughtLittle(uint64_t growth, uint64_t previousGrowth) {
    return growth < 1024 || growth <= previousGrowth - previousGrowth / 3;
}

uint64_t DownloadTimeLimitMs(uint64_t knownSize, uint64_t kept, uint64_t floorMs,
                             uint64_t minRate) {
    if (knownSize == 0 || minRate == 0) return floorMs;
    if (kept / minRate > UINT64_MAX / 1000 - 1) return UINT64_MAX;
    const uint64_t paced = kept / minRate * 1000 + kept % minRate * 1000 / minRate;
    return paced > floorMs ? paced : floorMs;
}

}  // namespace pravel
