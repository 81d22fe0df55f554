#include "common/Text.h"

namespace pravel {

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(std::wstring_view text, std::wstring_view suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool Contains(std::wstring_view text, std::wstring_view part) {
    return text.find(part) != std::wstring_view::npos;
}

wchar_t ToLowerAscii(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

std::wstring ToLowerAscii(const std::wstring& text) {
    std::wstring out(text);
    for (auto& c : out) c = ToLowerAscii(c);
    return out;
}

bool EqualsIgnoreCaseAscii(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) return false;
    }
    return true;
}

bool StartsWithIgnoreCaseAscii(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() &&
           EqualsIgnoreCaseAscii(text.substr(0, prefix.size()), prefix);
}

int HexDigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

std::wstring LowerHex(const uint8_t* bytes, size_t count) {
    static const char kDigits[] = "0123456789abcdef";
    std::wstring hex;
    hex.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 0xF];
    }
    return hex;
}

static bool IsWhite(wchar_t c) {
    return c == L' ' || (c >= 0x09 && c <= 0x0D);
}

std::wstring TrimWhite(const std::wstring& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsWhite(text[begin])) ++begin;
    while (end > begin && IsWhite(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::wstring ToDecimalUnsigned(uint64_t value) {
    wchar_t digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    std::wstring out;
    while (n > 0) out.push_back(digits[--n]);
    return out;
}

std::wstring ToDecimal(int64_t value) {
    if (value < 0) return L"-" + ToDecimalUnsigned(0 - static_cast<uint64_t>(value));
    return ToDecimalUnsigned(static_cast<uint64_t>(value));
}

std::wstring ZeroPadded(uint32_t value, int width) {
    std::wstring digits = ToDecimalUnsigned(value);
    if (static_cast<int>(digits.size()) < width) {
        digits.insert(0, static_cast<size_t>(width) - digits.size(), L'0');
    }
    return digits;
}

std::wstring FormatHResult(int32_t hr) {
    return Concat({HResultPiece(hr)});
}

std::wstring DecodeUtf16Le(const uint8_t* bytes, size_t count) {
    std::wstring out;
    out.reserve(count / 2);
    for (size_t i = 0; i + 1 < count; i += 2) {
        out.push_back(static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return out;
}

std::wstring WidenLatin1(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    for (char c : text) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return out;
}

std::wstring WideFromAscii(const char* text) {
    std::wstring out;
    for (; *text != '\0'; ++text)
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*text)));
    return out;
}

bool EqualsAscii(std::wstring_view text, const char* ascii) {
    size_t i = 0;
    for (; ascii[i] != '\0'; ++i) {
        if (i == text.size() ||
            text[i] != static_cast<wchar_t>(static_cast<unsigned char>(ascii[i])))
            return false;
    }
    return i == text.size();
}

bool EqualsIgnoreCaseAscii(std::wstring_view text, const char* ascii) {
    size_t i = 0;
    for (; ascii[i] != '\0'; ++i) {
        if (i == text.size() || ToLowerAscii(text[i]) != ToLowerAscii(static_cast<wchar_t>(
                                                             static_cast<unsigned char>(ascii[i]))))
            return false;
    }
    return i == text.size();
}

AsciiPiece::AsciiPiece(const char* text) {
    size_t n = 0;
    while (text[n] != '\0') ++n;
    data_ = text;
    size_ = n | kNarrow;
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring StripExtension(const std::wstring& fileName) {
    const size_t dot = fileName.rfind(L'.');
    return dot == std::wstring::npos ? fileName : fileName.substr(0, dot);
}

std::wstring WithTrailingBackslash(const std::wstring& path) {
    return EndsWith(path, L"\\") ? path : path + L"\\";
}

std::wstring NormalizeFolderPath(const std::wstring& path) {
    if (path.empty()) return path;
    std::wstring out;
    if (StartsWith(path, L"\\\\")) out = L"\\\\";
    std::wstring component;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == L'\\' || path[i] == L'/') {
            if (!component.empty()) {
                out += component;
                out += L'\\';
                component.clear();
            }
        } else {
            component.push_back(path[i]);
        }
    }
    return out;
}

std::vector<std::wstring> Split(const std::wstring& text, const std::wstring& separator) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (true) {
        const size_t at = text.find(separator, start);
        if (at == std::wstring::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + separator.size();
    }
}

DecimalPiece::DecimalPiece(uint64_t value) {
    wchar_t* first = digits_ + 20;
    do {
        *--first = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    data_ = first;
    size_ = static_cast<size_t>(digits_ + 20 - first);
}

HResultPiece::HResultPiece(int32_t hr) {
    static const char kDigits[] = "0123456789ABCDEF";
    const uint32_t value = static_cast<uint32_t>(hr);
    digits_[0] = L'0';
    digits_[1] = L'x';
    for (int i = 0; i < 8; ++i) digits_[2 + i] = kDigits[(value >> (28 - 4 * i)) & 0xF];
    data_ = digits_;
    size_ = 10;
}

std::wstring Concat(std::initializer_list<TextPiece> pieces) {
    std::wstring text;
    AppendPieces(text, pieces);
    return text;
}

void AppendPieces(std::wstring& text, std::initializer_list<TextPiece> pieces) {
    size_t size = text.size();
    for (const TextPiece& piece : pieces) size += piece.size();
    text.reserve(size);
    for (const TextPiece& piece : pieces) piece.AppendTo(text);
}

void TextPiece::AppendTo(std::wstring& text) const {
    if (size_ & kNarrow) {
        // Widened in place: the range form of append would add a template
        // instance of its own to the program.
        const char* narrow = static_cast<const char*>(data_);
        const size_t start = text.size();
        text.resize(start + size());
        for (size_t i = 0; i < size(); ++i) text[start + i] = static_cast<wchar_t>(narrow[i]);
    } else {
        text.append(static_cast<const wchar_t*>(data_), size_);
    }
}

}  // namespace pravel
