#include "ui/StatusText.h"

#include <cstdint>
#include <string_view>

#include "ui/TextTemplate.h"

namespace pravel {

namespace {

// The index of the first "%s" of `pattern` that is no "%%" followed by "s".
size_t FirstPlace(const std::wstring& pattern) {
    for (size_t i = 0; i + 1 < pattern.size(); ++i) {
        if (pattern[i] != L'%') continue;
        if (pattern[i + 1] == L's') return i;
        if (pattern[i + 1] == L'%') ++i;
    }
    return std::wstring::npos;
}

bool IsHighSurrogate(wchar_t c) {
    return (static_cast<uint32_t>(c) & 0xFC00u) == 0xD800u;
}

}  // namespace

bool FindFilledValue(const std::wstring& pattern, const std::wstring& text, FilledValue& value) {
    const size_t place = FirstPlace(pattern);
    if (place == std::wstring::npos) return false;
    const std::wstring before = FormatTemplate(pattern.substr(0, place), {});
    const std::wstring after = FormatTemplate(pattern.substr(place + 2), {});
    if (text.size() < before.size() + after.size()) return false;
    if (text.compare(0, before.size(), before) != 0) return false;
    if (text.compare(text.size() - after.size(), after.size(), after) != 0) return false;
    value.begin = before.size();
    value.length = text.size() - before.size() - after.size();
    return true;
}

std::wstring ShortenValue(const std::wstring& text, FilledValue value, size_t keep) {
    if (keep >= value.length) return text;
    if (keep > 0 && IsHighSurrogate(text[value.begin + keep - 1])) --keep;
    // "14.40.…" would read as dots and "C++ …" as a gap: the ellipsis follows
    // the last letter or digit kept.
    while (keep > kShortestName && std::wstring_view(L" .,;:-").find(
                                       text[value.begin + keep - 1]) != std::wstring_view::npos) {
        --keep;
    }
    return text.substr(0, value.begin + keep) + L'\x2026' + text.substr(value.begin + value.length);
}

std::wstring FitStatusText(const std::wstring& text, const std::vector<std::wstring>& patterns,
                           const std::function<bool(const std::wstring&)>& fitsOneLine) {
    if (fitsOneLine(text)) return text;
    FilledValue value;
    bool found = false;
    for (const std::wstring& pattern : patterns) {
        if (FindFilledValue(pattern, text, value)) {
            found = true;
            break;
        }
    }
    if (!found || value.length <= kShortestName) return text;
    // The longest part of the name that fits, by bisection: a shorter name
    // never makes the line longer. `low` fits, `high` does not.
    size_t low = kShortestName;
    if (!fitsOneLine(ShortenValue(text, value, low))) return text;
    size_t high = value.length;
    while (high - low > 1) {
        const size_t middle = low + (high - low) / 2;
        if (fitsOneLine(ShortenValue(text, value, middle))) {
            low = middle;
        } else {
            high = middle;
        }
    }
    return ShortenValue(text, value, low);
}

}  // namespace pravel
