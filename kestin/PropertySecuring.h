// AddSecuredProp: replaces the installer properties named in the custom
// action's "CustomActionData" (names separated by blanks) with their
// secured texts.
#pragma once

#include <windows.h>

namespace kestin {

// Secures every named property (an unset one stays empty) and returns 0.
// Returns 1627 (ERROR_FUNCTION_FAILED) and changes no property when
// "CustomActionData" is empty or cannot be read, when a value cannot be
// secured (more than 130 characters, a CryptoAPI failure), when memory
// runs out, and when a property cannot be set (Windows Installer refuses
// it, as in a deferred action): the properties already set then get their
// earlier values back. A checked custom action then stops the installation.
UINT SecureProperties(unsigned long install);

// Test seam around setting a property: when set, `setter` is called instead
// of MsiSetPropertyW (with the same arguments and result). Null (the
// default) sets through Windows Installer; nothing in the DLL sets it.
using PropertySetter = UINT (*)(unsigned long install, const wchar_t* name, const wchar_t* value);
void SetPropertySetter(PropertySetter setter);

}  // namespace kestin
