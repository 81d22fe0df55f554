#include "download/Acceptance.h"

#include <windows.h>

#include "diag/Logger.h"
#include "download/DownloadRules.h"
#include "download/FileDigest.h"
#include "download/FileSha256.h"
#include "download/Sha256.h"
#include "download/SignatureCheck.h"

namespace pravel {

const wchar_t* AcceptFile(const Prerequisite& p, uint32_t expectedSize, const std::wstring& path,
                          UniqueFile& held) {
    static const wchar_t kSizeOrMd5[] = L"Invalid size or MD5";
    held.Reset();
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return L"Cannot be opened";
    LARGE_INTEGER size = {};
    if (expectedSize != 0 && (!::GetFileSizeEx(file.Get(), &size) ||
                              static_cast<uint64_t>(size.QuadPart) != expectedSize))
        return kSizeOrMd5;
    if (!p.md5.empty() && !Md5Matches(ComputeMd5Of(file.Get()), p.md5)) return kSizeOrMd5;
    if (!p.sha256.empty()) {
        std::wstring hex;
        if (!ComputeSha256Of(file.Get(), hex) || !Sha256Matches(p.sha256, hex))
            return L"Invalid SHA-256";
    }
    if (!p.signerName.empty()) {
        const SignatureVerdict verdict =
            CheckPublisherSignature(path, p.signerName, p.signerKey, file.Get());
        Log({"Signature check of ", path, ": ", verdict.detail});
        if (!verdict.accepted) return L"Invalid signature";
    }
    held = std::move(file);
    return nullptr;
}

const wchar_t* RejectionReason(const Prerequisite& p, uint32_t expectedSize,
                               const std::wstring& path) {
    UniqueFile held;
    return AcceptFile(p, expectedSize, path, held);
}

}  // namespace pravel
