// The secured-text scheme: a text of 1 to 130 UTF-16 characters is RC4
// encrypted with a key derived (CryptoAPI, base provider) from the MD5 of
// the fixed key phrase and written as uppercase hexadecimal, four
// characters per text character. Revealing reverses it and accepts either
// case. Deterministic and the same on every machine. Obfuscation only: the
// key is inside the library. The provider is used through a verify-only
// context: no key container is opened or created. No heap strings and no
// exceptions: every failure returns a Win32 status and leaves an empty
// output.
#pragma once

#include <windows.h>

namespace kestin {

constexpr size_t kMaxPlainChars = 130;                   // 260 bytes
constexpr size_t kWorkBytes = 260;                       // the per-operation working buffer
constexpr size_t kMaxSecuredChars = kMaxPlainChars * 4;  // 520

// `plain` holds `length` characters (no terminator needed). `secured` must
// hold kMaxSecuredChars + 1 characters; it receives the NUL-terminated result
// and `securedLength` its length. Returns 0, ERROR_INVALID_DATA (more than
// 130 characters), ERROR_NOT_ENOUGH_MEMORY or the CryptoAPI error.
DWORD SecureString(const wchar_t* plain, size_t length, wchar_t* secured, size_t& securedLength);

// `secured` holds `length` hexadecimal characters. `plain` must hold
// kMaxPlainChars + 1 characters. Returns 0, ERROR_INVALID_DATA (odd length,
// a non-hexadecimal character, or more than 260 bytes),
// ERROR_NOT_ENOUGH_MEMORY or the CryptoAPI error.
DWORD RevealString(const wchar_t* secured, size_t length, wchar_t* plain, size_t& plainLength);

// Test seam around the key derivation: when set, `check` is called before
// every derivation, and a non-zero status it returns fails the operation
// with that status. Null (the default) derives as usual; nothing in the
// DLL sets it.
using KeyDerivationCheck = DWORD (*)();
void SetKeyDerivationCheck(KeyDerivationCheck check);

}  // namespace kestin
