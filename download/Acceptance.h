// The acceptance of a prerequisite's setup file before it is run, for a
// downloaded file and for one found in place (at its download target path,
// or a file: location). The tests run in this order, each only when the
// prerequisite configures it: ExactSize, MD5, SHA256, and the publisher's
// signature (SignerName, with SignerKey; download/SignatureCheck.h).
#pragma once

#include <cstdint>
#include <string>

#include "chainer/Configuration.h"

namespace pravel {

// The reason the file at `path` is rejected, for the log line that names
// it: "Invalid size or MD5", "Invalid SHA-256" or "Invalid signature"; null
// when the file passes. `expectedSize` is the size test (0: none). The
// signature test first logs what it found ("Signature check of <path>: ...").
const wchar_t* RejectionReason(const Prerequisite& p, uint32_t expectedSize,
                               const std::wstring& path);

// True when the prerequisite tests the content of its file (MD5, SHA256 or
// SignerName): a file found in place is then tested before it is run.
inline bool HasContentTests(const Prerequisite& p) {
    return !p.md5.empty() || !p.sha256.empty() || !p.signerName.empty();
}

}  // namespace pravel
