// The configuration's integer rule: leading blanks (U+0020 only) skipped, an
// optional "-" (optionally followed by "+") or "+", then decimal digits up to
// the first non-digit. No digits give 0. Values that do not fit wrap around
// modulo 2^32 (no undefined behaviour, same result as 32-bit arithmetic), so
// an ExactSize of up to 4294967295 keeps its low 32 bits.
#pragma once

#include <cstdint>
#include <string>

namespace pravel {

int32_t ParseConfigInteger(const std::wstring& text);

}  // namespace pravel
