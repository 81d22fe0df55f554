#include "detect/VersionNumber.h"

namespace pravel {

namespace {

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
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
    }
    return version;
}

int VersionNumber::Compare(const VersionNumber& other) const {
    for (int i = 0; i < 4; ++i) {
        if (parts[i] != other.parts[i]) return parts[i] < other.parts[i] ? -1 : 1;
    }
    return 0;
}

bool IsAnyVersionAccepted(const std::vector<std::wstring>& values, const std::wstring& verMin,
                          const std::wstring& verMax) {
    if (values.empty()) return false;
    const VersionNumber low = VersionNumber::Parse(verMin);
    const VersionNumber high = VersionNumber::Parse(verMax);
    if (!low.IsSet() && !high.IsSet()) return true;
    for (const auto& text : values) {
        const VersionNumber value = VersionNumber::Parse(text);
        if (!value.IsSet()) continue;
        if (low.IsSet() && value.Compare(low) < 0) continue;
        if (high.IsSet() && value.Compare(high) > 0) continue;
        return true;
    }
    return false;
}

}  // namespace pravel
