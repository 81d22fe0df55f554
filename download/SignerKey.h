// The signer key of a certificate as SignerKey names it: the lowercase
// hexadecimal SHA-256 of its DER-encoded SubjectPublicKeyInfo. One
// definition for the acceptance step (download/SignatureCheck.cpp) and
// pravel-check's report of a fetched file, which must agree to the letter.
// Internal to each file that includes it, so that the acceptance step's
// single call is folded into it.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <string>

#include "common/Handles.h"
#include "download/Sha256.h"

namespace pravel {

// `encode` is crypt32.dll's CryptEncodeObjectEx, looked up by the caller
// through the system loader. Empty when the key cannot be encoded.
static inline std::wstring SignerKeyOf(decltype(&::CryptEncodeObjectEx) encode,
                                       PCCERT_CONTEXT certificate) {
    BYTE* encoded = nullptr;
    DWORD size = 0;
    if (!encode(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO,
                &certificate->pCertInfo->SubjectPublicKeyInfo, CRYPT_ENCODE_ALLOC_FLAG, nullptr,
                &encoded, &size)) {
        return std::wstring();
    }
    UniqueLocalMem owner(encoded);
    Sha256 sha;
    sha.Update(encoded, size);
    uint8_t digest[32];
    sha.Final(digest);
    return Sha256::ToHex(digest);
}

}  // namespace pravel
