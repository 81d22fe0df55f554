#include "launch/QuietSwitch.h"

namespace pravel {

// The optional blank in front of the pattern never decides whether a match
// exists (the search is not anchored), and a run of "-" and "/" followed by
// "q" always ends in one of them directly before the "q". So a match exists
// exactly when some "q" or "Q" directly follows a "-" or a "/".
bool HasQuietSwitch(const std::wstring& arguments) {
    for (size_t i = 1; i < arguments.size(); ++i) {
        const wchar_t c = arguments[i];
        const wchar_t before = arguments[i - 1];
        if ((c == L'q' || c == L'Q') && (before == L'-' || before == L'/')) return true;
    }
    return false;
}

}  // namespace pravel
