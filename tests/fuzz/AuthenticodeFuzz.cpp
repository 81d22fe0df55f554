// Fuzzes the native reader and verifier of Authenticode signatures with
// files a server could send: seeded with test programs signed in every way
// the checker's tests sign them (scripts/fuzz). Whatever the bytes, the
// reader never reads outside the file (the sanitizers watch), and its
// findings are consistent: a file it cannot read has no signatures, a
// signature verifies exactly when no problem is given, and a signer key is
// empty or 64 lowercase hexadecimal digits.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "checker/AuthenticodeNative.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // fmemopen refuses an empty buffer; an empty file is read as one.
    static const uint8_t kEmpty = 0;
    FILE* file =
        fmemopen(const_cast<uint8_t*>(size == 0 ? &kEmpty : data), size == 0 ? 1 : size, "rb");
    if (file == nullptr) abort();
    const pravel::AuthenticodeFindings findings = pravel::VerifyAuthenticode(file, size);
    fclose(file);
    if (!findings.unread.empty() && !findings.signatures.empty()) abort();
    for (const pravel::AuthenticodeSignature& s : findings.signatures) {
        if (s.verifies != s.problem.empty()) abort();
        if (s.signerKey.empty()) continue;
        if (s.signerKey.size() != 64) abort();
        for (wchar_t c : s.signerKey) {
            if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'))) abort();
        }
    }
    return 0;
}
