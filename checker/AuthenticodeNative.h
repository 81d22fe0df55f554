// The Authenticode signatures of a Windows program (PE file), verified with
// OpenSSL's libcrypto for the native pravel-check. Every signature of the
// certificate table is verified: each PKCS#7 entry of the table and every
// signature nested in one (its unsigned attribute 1.3.6.1.4.1.311.2.4.1).
// A signature verifies when
//   1. the file's image digest, computed as Microsoft's Authenticode PE
//      format describes it (the headers without the checksum field and the
//      certificate table's directory entry, the sections in the order of
//      their file offsets, then the data after them up to the certificate
//      table, which is left out), with the signature's digest algorithm,
//      equals the digest it signs (its SpcIndirectDataContent), and
//   2. the signer's signature over that content verifies with the public
//      key of the signer's certificate, which the signature carries.
// Not verified here: whether the signer's certificate chains to a root that
// Windows trusts (anyone can make a certificate named "Microsoft
// Corporation"), its validity period, revocation and time stamps. Windows
// decides those (pravel-check.exe, and pravel itself).
//
// The file may be anything a server sends: every offset and length is
// checked against the file's size before it is read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace pravel {

struct AuthenticodeSignature {
    bool nested = false;     // nested in the signature before it
    std::wstring signer;     // the signer certificate's simple display name (empty: none)
    std::wstring signerKey;  // SHA-256 of its SubjectPublicKeyInfo, 64 lowercase digits
    bool verifies = false;
    std::wstring problem;  // why it does not verify
};

struct AuthenticodeFindings {
    // Not empty when the file is no PE file whose signatures this code reads:
    // why.
    std::wstring unread;
    // In the order of the table, each followed by those nested in it. The
    // first is the one Windows judges; a program whose certificate table or
    // sections cannot be read has one that does not verify, without a
    // signer. Empty: the file is not signed.
    std::vector<AuthenticodeSignature> signatures;
};

// Reads and verifies the signatures of `file` (open for reading, `size`
// bytes). Never fails: what cannot be read is said in the findings.
AuthenticodeFindings VerifyAuthenticode(FILE* file, uint64_t size);

}  // namespace pravel
