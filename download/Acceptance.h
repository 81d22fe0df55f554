// The acceptance of a prerequisite's setup file before it is run: a
// downloaded file, one found in the download folder, and a file: location.
// The tests run in this order, each only when the prerequisite configures
// it: ExactSize, MD5, SHA256, and the publisher's signature (SignerName,
// with SignerKey; download/SignatureCheck.h).
//
// The file is opened once, with read access, sharing read and delete only:
// while that handle is open nobody can write the file. Every test reads
// through the handle. A file that is to run is never started by its path:
// it is copied through that handle into a folder of the run's own
// (common/PrivateFolder.h), and the copy is tested in the same way and
// started, so that what runs is what was tested wherever the original's
// path leads by then. The original is deleted through its handle, never by
// a path that a link may have turned elsewhere.
#pragma once

#include <cstdint>
#include <string>

#include "common/Handles.h"
#include "config/Configuration.h"

namespace pravel {

class PrivateFolder;

// The reason the file at `path` is rejected, for the log line that names
// it: "Invalid size or MD5", "Invalid SHA-256", "Invalid signature", or
// "Cannot be opened" (missing, or held open by another program); null
// when the file passes. `expectedSize` is the size test (0: none). The
// signature test first logs what it found ("Signature check of <path>: ...").
// `held` owns the open handle whenever the file could be opened, passed or
// not (a rejected file is deleted through it, DeleteThroughHandle); it is
// empty otherwise.
const wchar_t* AcceptFile(const Prerequisite& p, uint32_t expectedSize, const std::wstring& path,
                          UniqueFile& held);

// The same for a file that is not run from here (the handle is closed again).
const wchar_t* RejectionReason(const Prerequisite& p, uint32_t expectedSize,
                               const std::wstring& path);

// The accepted file of `p` open as `original` (a handle from AcceptFile;
// `path` is where it was found), copied through that handle into `folder`,
// and the copy accepted by the same tests. True when the copy passed:
// `copy` is then its path and `held` holds it open for its start, with read
// access and sharing read only (the shell, msiexec and the package manager
// can open it; nobody can change, rename or delete it). Logs where the file
// runs from, or why it is not run (false: a copy that cannot be made or
// does not pass is removed again).
bool AcceptPrivateCopy(const Prerequisite& p, const std::wstring& path, HANDLE original,
                       PrivateFolder& folder, std::wstring& copy, UniqueFile& held);

}  // namespace pravel
