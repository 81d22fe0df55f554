// Fills the "%s" places of a window or log text (string-table entries such
// as "Installing %s", or the same texts configured by a setup author).
// Platform-free; no printf: a name that contains "%" or a text with other
// conversions can never read beyond the given arguments.
#pragma once

#include <initializer_list>
#include <string>

namespace pravel {

// Replaces each "%s" in `pattern` by the next of `arguments` (by nothing once
// they are used up) and "%%" by "%"; every other character, other "%"
// sequences included, is kept as it is.
std::wstring FormatTemplate(const std::wstring& pattern,
                            std::initializer_list<std::wstring> arguments);

// The host part of a URL: the text after "://" (the whole text when there is
// none) up to the first "/", "\", "?" or "#", without "user:password@" and
// without ":port". "http://[::1]:8080/x" gives "[::1]".
std::wstring HostOfUrl(const std::wstring& url);

}  // namespace pravel
