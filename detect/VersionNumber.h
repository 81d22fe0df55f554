// Versions as the searches see them: four signed 32-bit parts read from the
// digit runs of any text ("1.2.3.4", "v-1-2", "10,0 build 5"). A version
// whose parts are all zero is unset.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pravel {

struct VersionNumber {
    int32_t parts[4] = {0, 0, 0, 0};
    int count = 0;  // how many parts the text gave

    // Parses `text`. A part that would exceed 2147483647 makes the whole
    // version unset.
    static VersionNumber Parse(const std::wstring& text);

    bool IsSet() const { return parts[0] != 0 || parts[1] != 0 || parts[2] != 0 || parts[3] != 0; }
    // -1, 0 or 1, part by part from major to revision.
    int Compare(const VersionNumber& other) const;
};

// Version acceptance: false for an empty list; true when both bounds are
// unset; otherwise true when some set value lies within the inclusive bounds
// (an unset bound does not limit).
bool IsAnyVersionAccepted(const std::vector<std::wstring>& values, const std::wstring& verMin,
                          const std::wstring& verMax);

}  // namespace pravel
