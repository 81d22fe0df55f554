#include "detect/VersionNumber.h"

#include <algorithm>
#include <string_view>

namespace pravel {

namespace {

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

bool IsLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool IsNumeric(std::wstring_view identifier) {
    if (identifier.empty()) return false;
    for (wchar_t c : identifier) {
        if (!IsDigit(c)) return false;
    }
    return true;
}

// One identifier of a pre-release label against another (see Compare).
int CompareIdentifiers(std::wstring_view a, std::wstring_view b) {
    const bool aNumeric = IsNumeric(a);
    const bool bNumeric = IsNumeric(b);
    if (aNumeric != bNumeric) return aNumeric ? -1 : 1;
    if (aNumeric) {
        a.remove_prefix(std::min(a.find_first_not_of(L'0'), a.size()));
        b.remove_prefix(std::min(b.find_first_not_of(L'0'), b.size()));
        if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    }
    const int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

int CompareLabels(std::wstring_view a, std::wstring_view b) {
    for (;;) {
        const size_t aDot = a.find(L'.');
        const size_t bDot = b.find(L'.');
        if (const int order = CompareIdentifiers(a.substr(0, aDot), b.substr(0, bDot))) {
            return order;
        }
        if (aDot == std::wstring_view::npos || bDot == std::wstring_view::npos) {
            if (aDot == bDot) return 0;
            return aDot == std::wstring_view::npos ? -1 : 1;  // fewer identifiers first
        }
        a.remove_prefix(aDot + 1);
        b.remove_prefix(bDot + 1);
    }
}

}  // namespace

VersionNumber VersionNumber::Parse(const std::wstring& text) {
    VersionNumber version;
    size_t i = 0;
    for (int part = 0; part < 4; ++part) {
        while (i < text.size() && !IsDigit(text[i])) ++i;
        if (i == text.size()) break;
        int64_t value = 0;
        for (; i < text.size() && IsDigit(text[i]); ++i) {
            value = value * 10 + (text[i] - L'0');
            if (value > INT32_MAX) return VersionNumber();  // overflow: unset
        }
        version.parts[part] = static_cast<int32_t>(value);
        version.count = part + 1;
        if (i + 1 < text.size() && (text[i] == L'-' || text[i] == L'+') && IsLetter(text[i + 1])) {
            version.preRelease = text.substr(i + 1);
            break;
        }
    }
    return version;
}

int VersionNumber::Compare(const VersionNumber& other) const {
    for (int i = 0; i < 4; ++i) {
        if (parts[i] != other.parts[i]) return parts[i] < other.parts[i] ? -1 : 1;
    }
    if (IsPreRelease() != other.IsPreRelease()) return IsPreRelease() ? -1 : 1;
    return CompareLabels(preRelease, other.preRelease);
}

VersionRange VersionRange::Parse(const std::wstring& verMin, const std::wstring& verMax) {
    return VersionRange{VersionNumber::Parse(verMin), VersionNumber::Parse(verMax)};
}

VersionVerdict VersionRange::Judge(const std::wstring& text) const {
    const VersionNumber value = VersionNumber::Parse(text);
    if (!value.IsSet()) return VersionVerdict::kUnset;
    if (value.IsPreRelease() && !AllowsPreRelease()) return VersionVerdict::kPreRelease;
    if (min.IsSet() && value.Compare(min) < 0) return VersionVerdict::kBelowMin;
    if (max.IsSet() && value.Compare(max) > 0) return VersionVerdict::kAboveMax;
    return VersionVerdict::kAccepted;
}

bool IsAnyVersionAccepted(const std::vector<std::wstring>& values, const std::wstring& verMin,
                          const std::wstring& verMax) {
    if (values.empty()) return false;
    const VersionRange range = VersionRange::Parse(verMin, verMax);
    if (!range.Limits()) return true;
    for (const auto& text : values) {
        if (range.Judge(text) == VersionVerdict::kAccepted) return true;
    }
    return false;
}

}  // namespace pravel
