// AddSecuredProp: replaces the installer properties named in the custom
// action's "CustomActionData" (names separated by blanks) with their
// secured texts.
#pragma once

#include <windows.h>

namespace kestin {

// 0 on success; 1627 (ERROR_FUNCTION_FAILED) when "CustomActionData" is
// empty or cannot be read, and then no property changes.
UINT SecureProperties(unsigned long install);

}  // namespace kestin
