// Versions as the searches see them: four signed 32-bit parts read from the
// digit runs of any text ("1.2.3.4", "v-1-2", "10,0 build 5"). A version
// whose parts are all zero is unset.
//
// Pre-releases: a "-" or "+" that directly follows a digit and is directly
// followed by a letter marks the rest of the text as a pre-release label
// ("8.0.0-rc.2.23479.6", "10.0.0-preview.7", "2.1.0+build.5"). The parts
// are then only the numbers before the mark (8.0.0 and 10.0.0), and a
// pre-release ranks below the release of the same numbers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pravel {

struct VersionNumber {
    int32_t parts[4] = {0, 0, 0, 0};
    int count = 0;            // how many parts the text gave
    std::wstring preRelease;  // the label after the mark ("rc.2.23479.6"); empty: a release

    // Parses `text`. A part that would exceed 2147483647 makes the whole
    // version unset.
    static VersionNumber Parse(const std::wstring& text);

    bool IsSet() const { return parts[0] != 0 || parts[1] != 0 || parts[2] != 0 || parts[3] != 0; }
    bool IsPreRelease() const { return !preRelease.empty(); }
    // -1, 0 or 1: part by part from major to revision as signed numbers; on
    // equal parts a release ranks above a pre-release, and two pre-release
    // labels compare by their dot-separated identifiers (digits only:
    // numerically, below any other identifier; others: character by
    // character; a label that is a prefix of the other ranks below it).
    int Compare(const VersionNumber& other) const;
};

// How one collected value fares against the bounds of a search.
enum class VersionVerdict {
    kAccepted,
    kUnset,       // no version in the text: skipped
    kPreRelease,  // a pre-release, and no bound names one
    kBelowMin,
    kAboveMax,
};

// The inclusive bounds of a search ("VerMin", "VerMax"); an unset bound does
// not limit. Pre-release values are acceptable only when a bound itself
// names a pre-release (VerMin=8.0.0-rc.1).
struct VersionRange {
    VersionNumber min;
    VersionNumber max;

    static VersionRange Parse(const std::wstring& verMin, const std::wstring& verMax);
    bool Limits() const { return min.IsSet() || max.IsSet(); }
    bool AllowsPreRelease() const { return min.IsPreRelease() || max.IsPreRelease(); }
    VersionVerdict Judge(const std::wstring& value) const;
};

// Version acceptance: false for an empty list; true when both bounds are
// unset (anything collected suffices); otherwise true when some value is
// judged kAccepted.
bool IsAnyVersionAccepted(const std::vector<std::wstring>& values, const std::wstring& verMin,
                          const std::wstring& verMax);

}  // namespace pravel
