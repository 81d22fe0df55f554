// The platform-free rules of the download phase: texts, the meaning of the
// download statuses, and the MD5 comparison of the acceptance step.
#pragma once

#include <cstdint>
#include <string>

#include "config/Configuration.h"

namespace pravel {

// A short meaning of a download status (DLERR_*), e.g. "the server has no
// such file"; empty for every other code.
std::wstring DownloadStatusMeaning(uint32_t code);

// "0xE0000018 (the server has no such file)": a download status in
// hexadecimal with its meaning; empty for codes that are not statuses.
std::wstring DescribeDownloadStatus(uint32_t code);

// True when the configured digest matches the computed one (32 lowercase
// hexadecimal digits): compared character by character up to the end of the
// computed text, the configured "A" to "F" taken as lowercase. A configured
// value with more characters after the 32 digits matches; a shorter one does
// not. An empty computed text (no digest) never matches.
bool Md5Matches(const std::wstring& computed, const std::wstring& configured);

// True when the prerequisite tests the content of its file (MD5, SHA256 or
// SignerName): a file found in the download folder is then tested before
// it counts as downloaded.
inline bool HasContentTests(const Prerequisite& p) {
    return !p.md5.empty() || !p.sha256.empty() || !p.signerName.empty();
}

// True when the prerequisite has any acceptance key (ExactSize, MD5, SHA256,
// SignerName): its file is then run only as accepted (download/Acceptance.h).
inline bool HasAcceptanceKeys(const Prerequisite& p) {
    return p.exactSize != 0 || HasContentTests(p);
}

}  // namespace pravel
