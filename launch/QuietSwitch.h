// Whether an installer's arguments ask it to run quietly: the shell start of
// a setup is hidden when they do (-q, /q, /quiet, /qn, /qb, --q, -quick,
// in any letter case, anywhere in the text).
#pragma once

#include <string>

namespace pravel {

// True exactly when the regular expression " ?(-|/)+q", searched anywhere in
// `arguments` with case ignored (ECMAScript grammar), finds a match. Only
// ASCII "q" and "Q" count as the letter; nothing else folds to them.
bool HasQuietSwitch(const std::wstring& arguments);

}  // namespace pravel
