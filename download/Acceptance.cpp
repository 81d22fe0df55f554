#include "download/Acceptance.h"

#include <windows.h>

#include "common/Handles.h"
#include "diag/Logger.h"
#include "download/DownloadRules.h"
#include "download/FileDigest.h"
#include "download/FileSha256.h"
#include "download/SignatureCheck.h"

namespace pravel {

namespace {

// The size of the file at `path` (shared read), 0 when it cannot be opened.
uint64_t SizeOfFile(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !::GetFileSizeEx(file.Get(), &size)) return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

}  // namespace

const wchar_t* RejectionReason(const Prerequisite& p, uint32_t expectedSize,
                               const std::wstring& path) {
    static const wchar_t kSizeOrMd5[] = L"Invalid size or MD5";
    if (expectedSize != 0 && SizeOfFile(path) != expectedSize) return kSizeOrMd5;
    if (!p.md5.empty() && !Md5Matches(ComputeFileMd5(path), p.md5)) return kSizeOrMd5;
    if (!IsFileAcceptedBySha256(p.sha256, path)) return L"Invalid SHA-256";
    if (!p.signerName.empty()) {
        const SignatureVerdict verdict = CheckPublisherSignature(path, p.signerName, p.signerKey);
        Log({L"Signature check of ", path, L": ", verdict.detail});
        if (!verdict.accepted) return L"Invalid signature";
    }
    return nullptr;
}

}  // namespace pravel
