#include "download/Acceptance.h"

#include <windows.h>

#include "common/PrivateFolder.h"
#include "common/Text.h"
#include "diag/Logger.h"
#include "download/DownloadRules.h"
#include "download/FileDigest.h"
#include "download/FileSha256.h"
#include "download/Sha256.h"
#include "download/SignatureCheck.h"

namespace pravel {

namespace {

// The tests through `file`, open for reading.
const wchar_t* TestThroughHandle(const Prerequisite& p, uint32_t expectedSize,
                                 const std::wstring& path, HANDLE file) {
    static const wchar_t kSizeOrMd5[] = L"Invalid size or MD5";
    LARGE_INTEGER size = {};
    if (expectedSize != 0 &&
        (!::GetFileSizeEx(file, &size) || static_cast<uint64_t>(size.QuadPart) != expectedSize))
        return kSizeOrMd5;
    if (!p.md5.empty() && !Md5Matches(ComputeMd5Of(file), p.md5)) return kSizeOrMd5;
    if (!p.sha256.empty()) {
        std::wstring hex;
        if (!ComputeSha256Of(file, hex) || !Sha256Matches(p.sha256, hex)) return L"Invalid SHA-256";
    }
    if (!p.signerName.empty()) {
        const SignatureVerdict verdict =
            CheckPublisherSignature(path, p.signerName, p.signerKey, file);
        Log({"Signature check of ", path, ": ", verdict.detail});
        if (!verdict.accepted) return L"Invalid signature";
    }
    return nullptr;
}

HANDLE OpenToTest(const std::wstring& path, DWORD access, DWORD share) {
    return ::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

}  // namespace

const wchar_t* AcceptFile(const Prerequisite& p, uint32_t expectedSize, const std::wstring& path,
                          UniqueFile& held) {
    // Sharing delete: the file can be deleted through a second handle
    // opened from this one (DeleteThroughHandle).
    held.Reset(OpenToTest(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE));
    if (!held) return L"Cannot be opened";
    return TestThroughHandle(p, expectedSize, path, held.Get());
}

const wchar_t* RejectionReason(const Prerequisite& p, uint32_t expectedSize,
                               const std::wstring& path) {
    UniqueFile held;
    return AcceptFile(p, expectedSize, path, held);
}

bool AcceptPrivateCopy(const Prerequisite& p, const std::wstring& path, HANDLE original,
                       PrivateFolder& folder, std::wstring& copy, UniqueFile& held) {
    held.Reset();
    if (const uint32_t error = folder.CopyIn(original, FileNameOf(path), copy); error != 0) {
        Log({"The accepted file ", path, " of ", p.name,
             " cannot be copied to a private folder (error ", DecimalPiece(error),
             "); it is not run."});
        return false;
    }
    held.Reset(OpenToTest(copy, GENERIC_READ, FILE_SHARE_READ));
    const wchar_t* reason =
        held ? TestThroughHandle(p, static_cast<uint32_t>(p.exactSize), copy, held.Get())
             : L"Cannot be opened";
    if (reason != nullptr) {
        Log({"The private copy of ", p.name, " was rejected.(", std::wstring_view(reason),
             "): ", copy, " is not run."});
        held.Reset();
        folder.Discard(copy);
        copy.clear();
        return false;
    }
    Log({"The accepted file ", path, " of ", p.name, " runs from a private copy: ", copy});
    return true;
}

}  // namespace pravel
