// A status line that never cuts a word: when a step's text ("Downloading
// %s" with a prerequisite's name) is too long for one line, the name is
// shortened with an ellipsis first, as long as enough of it stays to be
// recognised; otherwise the text is shown whole, over as many lines as it
// needs (ui/DialogWindow.h lays the window out for them). Platform-free:
// the window measures, this decides.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace pravel {

// Where the value that filled a pattern's "%s" lies in a text.
struct FilledValue {
    size_t begin = 0;
    size_t length = 0;
};

// True when `text` is `pattern` (with "%%" for "%", see FormatTemplate)
// whose first "%s" was filled with a value, which `value` then locates.
// False for a pattern without "%s" or a text not made from it.
bool FindFilledValue(const std::wstring& pattern, const std::wstring& text, FilledValue& value);

// `text` with its value cut to the first `keep` characters (one less when
// that would split a surrogate pair) followed by "…" (U+2026).
std::wstring ShortenValue(const std::wstring& text, FilledValue value, size_t keep);

// Of a name, at least this much stays when it is shortened (or the whole
// name when it is shorter); rather than less, the text wraps whole.
constexpr size_t kShortestName = 12;

// The text to show for `text`, made from one of `patterns`: `text` itself
// when `fitsOneLine` says it fits, else `text` with the value shortened as
// little as possible so that it fits (keeping at least kShortestName
// characters of a longer value), else `text` itself (it wraps). Asks
// `fitsOneLine` about O(log n) candidates.
std::wstring FitStatusText(const std::wstring& text, const std::vector<std::wstring>& patterns,
                           const std::function<bool(const std::wstring&)>& fitsOneLine);

}  // namespace pravel
