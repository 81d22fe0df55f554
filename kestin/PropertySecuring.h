// AddSecuredProp: replaces the installer properties named in the custom
// action's "CustomActionData" (names separated by blanks) with their
// secured texts.
#pragma once

#include <windows.h>

namespace kestin {

// Secures every named property (an unset one stays empty) and returns 0.
// Returns 1627 (ERROR_FUNCTION_FAILED) and changes no property when
// "CustomActionData" is empty or cannot be read, when a value cannot be
// secured (more than 130 characters, a CryptoAPI failure) and when memory
// runs out; a checked custom action then stops the installation.
UINT SecureProperties(unsigned long install);

}  // namespace kestin
