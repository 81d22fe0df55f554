// The acceptance of a prerequisite's setup file before it is run: a
// downloaded file, one found in the download folder, and a file: location.
// The tests run in this order, each only when the prerequisite configures
// it: ExactSize, MD5, SHA256, and the publisher's signature (SignerName,
// with SignerKey; download/SignatureCheck.h).
//
// The file is opened once, with read access and sharing read only: while
// that handle is open nobody can write, replace, rename or delete the file.
// Every test reads through the handle, and a file that is to run keeps the
// handle until its start is over, so that what runs is what was tested.
#pragma once

#include <cstdint>
#include <string>

#include "chainer/Configuration.h"
#include "common/Handles.h"

namespace pravel {

// The reason the file at `path` is rejected, for the log line that names
// it: "Invalid size or MD5", "Invalid SHA-256", "Invalid signature", or
// "Cannot be opened" (missing, or held open by another program); null
// when the file passes. `expectedSize` is the size test (0: none). The
// signature test first logs what it found ("Signature check of <path>: ...").
// On acceptance `held` owns the open handle; it is empty otherwise.
const wchar_t* AcceptFile(const Prerequisite& p, uint32_t expectedSize, const std::wstring& path,
                          UniqueFile& held);

// The same for a file that is not run from here (the handle is closed again).
const wchar_t* RejectionReason(const Prerequisite& p, uint32_t expectedSize,
                               const std::wstring& path);

}  // namespace pravel
