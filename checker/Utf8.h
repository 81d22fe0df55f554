// UTF-16 text (one code unit per wchar_t, as everywhere in the program) to
// UTF-8 bytes for the checker's output. A lone surrogate becomes U+FFFD.
#pragma once

#include <string>

namespace pravel {

std::string Utf8FromUtf16(const std::wstring& text);
// UTF-8 bytes to UTF-16 text; an invalid byte becomes U+FFFD. Overlong forms
// (C0 AF for "/"), encoded surrogates (ED A0 80) and sequences above
// U+10FFFF (F4 90 80 80, and every F5 to F7 lead byte) are invalid: each of
// their bytes becomes U+FFFD.
std::wstring Utf16FromUtf8(const std::string& text);

}  // namespace pravel
