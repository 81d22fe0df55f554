#include "common/IntegerRule.h"

namespace pravel {

int32_t ParseConfigInteger(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == L' ') ++i;
    bool negative = false;
    if (i < text.size() && text[i] == L'-') {
        negative = true;
        ++i;
        if (i < text.size() && text[i] == L'+') ++i;
    } else if (i < text.size() && text[i] == L'+') {
        ++i;
    }
    // Unsigned arithmetic wraps by definition; the cast back to int32_t is
    // modular since C++20 and with GCC in every mode.
    uint32_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10u + static_cast<uint32_t>(text[i] - L'0');
    }
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

}  // namespace pravel
