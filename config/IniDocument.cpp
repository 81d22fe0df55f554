#include "config/IniDocument.h"

#include "common/Text.h"

namespace pravel {

void IniSection::Append(std::wstring key, std::wstring value, int line) {
    pairs_.push_back(IniPair{std::move(key), std::move(value), line});
}

const IniPair* IniSection::FindKey(std::wstring_view key) const {
    for (const auto& pair : pairs_) {
        if (pair.key == key) return &pair;
    }
    return nullptr;
}

const IniPair* IniSection::FindKey(const char* key) const {
    for (const auto& pair : pairs_) {
        if (EqualsAscii(pair.key, key)) return &pair;
    }
    return nullptr;
}

namespace {

bool CopyValue(const IniPair* pair, std::wstring& out) {
    if (pair == nullptr) return false;
    out = pair->value;
    return true;
}

}  // namespace

bool IniSection::ReadString(std::wstring_view key, std::wstring& out) const {
    return CopyValue(FindKey(key), out);
}

bool IniSection::ReadString(const char* key, std::wstring& out) const {
    return CopyValue(FindKey(key), out);
}

std::wstring IniSection::StringOrEmpty(std::wstring_view key) const {
    const IniPair* pair = FindKey(key);
    return pair == nullptr ? std::wstring() : pair->value;
}

std::wstring IniSection::StringOrEmpty(const char* key) const {
    const IniPair* pair = FindKey(key);
    return pair == nullptr ? std::wstring() : pair->value;
}

namespace {

// Splits at CR LF only; a lone CR or LF stays inside its line.
std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (true) {
        const size_t at = text.find(L"\r\n", start);
        if (at == std::wstring::npos) break;
        lines.push_back(text.substr(start, at - start));
        start = at + 2;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

bool IsControlOrBlank(wchar_t c) {
    return static_cast<uint32_t>(c) <= 32;
}

// A byte-order mark at a line's start (files joined with "copy /b" carry
// one at the start of each) is no part of the line.
constexpr wchar_t kByteOrderMark = 0xFEFF;

}  // namespace

void IniDocument::Parse(const std::wstring& text) {
    sections_.clear();
    ignored_.clear();
    std::vector<std::wstring> lines = SplitLines(text);
    if (!lines.empty() && !lines[0].empty() && lines[0][0] == kByteOrderMark) lines[0].erase(0, 1);

    int number = 0;
    for (const std::wstring& raw : lines) {
        ++number;
        if (raw.empty()) continue;
        size_t begin = 0;
        while (begin < raw.size() &&
               (IsControlOrBlank(raw[begin]) || raw[begin] == kByteOrderMark)) {
            ++begin;
        }
        if (begin < raw.size() && raw[begin] == L'[') {
            size_t end = raw.size();
            while (end > begin && IsControlOrBlank(raw[end - 1])) --end;
            if (end - begin >= 2 && raw[end - 1] == L']') {
                sections_.emplace_back(raw.substr(begin + 1, end - begin - 2), number);
                continue;
            }
        }
        const size_t equals = raw.find(L'=', begin);
        if (sections_.empty() || equals == std::wstring::npos) {
            if (begin < raw.size()) ignored_.push_back(IniIgnoredLine{number, raw});
            continue;
        }
        sections_.back().Append(TrimWhite(raw.substr(begin, equals - begin)),
                                TrimWhite(raw.substr(equals + 1)), number);
    }
}

const IniSection* IniDocument::FindSection(std::wstring_view name) const {
    for (const auto& section : sections_) {
        if (section.Name() == name) return &section;
    }
    return nullptr;
}

const IniSection* IniDocument::FindSection(const char* name) const {
    for (const auto& section : sections_) {
        if (EqualsAscii(section.Name(), name)) return &section;
    }
    return nullptr;
}

}  // namespace pravel
