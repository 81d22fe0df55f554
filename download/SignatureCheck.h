// Acceptance of a setup file by its publisher's Authenticode signature
// (SignerName, SignerKey). A file passes when, in this order:
//   1. its signature verifies (WinVerifyTrust, generic verify action, no
//      window; revocation of the whole chain from what the machine already
//      has, never from the network: a certificate known to be revoked fails,
//      an unknown revocation status does not);
//   2. the signer's chain ends in a root the machine trusts, checked
//      explicitly with the Authenticode chain policy (so that a verifier
//      that does not reject an untrusted root by itself, such as Wine's,
//      decides like Windows);
//   3. the signer certificate's simple display name equals `signerName`
//      exactly;
//   4. when `signerKey` is given: the SHA-256 of the signer certificate's
//      public key (its DER-encoded SubjectPublicKeyInfo) equals it (64
//      hexadecimal digits, either case).
// wintrust.dll and crypt32.dll are loaded from the system folder on the
// first check; without them every file fails (logged).
#pragma once

#include <string>

namespace pravel {

struct SignatureVerdict {
    bool accepted = false;
    // What was found, for the log: the signer's name, or which test failed
    // and with what status ("0x800B0100 No signature was present ...").
    std::wstring detail;
};

// `file`, when given, is the file at `path` open for reading: the signature
// is then verified through that handle.
SignatureVerdict CheckPublisherSignature(const std::wstring& path, const std::wstring& signerName,
                                         const std::wstring& signerKey, void* file = nullptr);

}  // namespace pravel
