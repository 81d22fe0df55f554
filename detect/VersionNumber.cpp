#include "detect/VersionNumber.h"

namespace pravel {

namespace {

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

bool IsLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// The end of the identifier that starts at `p` (a "." or the terminator).
const wchar_t* IdentifierEnd(const wchar_t* p) {
    while (*p != L'\0' && *p != L'.') ++p;
    return p;
}

bool IsNumeric(const wchar_t* begin, const wchar_t* end) {
    if (begin == end) return false;
    for (; begin != end; ++begin) {
        if (!IsDigit(*begin)) return false;
    }
    return true;
}

// Two pre-release labels, identifier by identifier (see Compare).
int CompareLabels(const wchar_t* a, const wchar_t* b) {
    for (;;) {
        const wchar_t* aEnd = IdentifierEnd(a);
        const wchar_t* bEnd = IdentifierEnd(b);
        const bool aNumeric = IsNumeric(a, aEnd);
        const bool bNumeric = IsNumeric(b, bEnd);
        if (aNumeric != bNumeric) return aNumeric ? -1 : 1;
        if (aNumeric) {
            while (a + 1 < aEnd && *a == L'0') ++a;
            while (b + 1 < bEnd && *b == L'0') ++b;
            if (aEnd - a != bEnd - b) return aEnd - a < bEnd - b ? -1 : 1;
        }
        for (; a != aEnd && b != bEnd; ++a, ++b) {
            if (*a != *b) return *a < *b ? -1 : 1;
        }
        if (a != aEnd || b != bEnd) return a == aEnd ? -1 : 1;  // a prefix ranks below
        if (*aEnd == L'\0' || *bEnd == L'\0') {
            if (*aEnd == *bEnd) return 0;
            return *aEnd == L'\0' ? -1 : 1;  // fewer identifiers first
        }
        a = aEnd + 1;
        b = bEnd + 1;
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
            version.preRelease = text.c_str() + i + 1;
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
    return CompareLabels(preRelease.c_str(), other.preRelease.c_str());
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
