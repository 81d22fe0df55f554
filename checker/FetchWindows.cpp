#include "checker/FetchWindows.h"

#include <windows.h>
#include <wincrypt.h>

#include <vector>

#include "chainer/DownloadPhase.h"
#include "checker/Utf8.h"
#include "common/ErrorCodes.h"
#include "common/SystemLibrary.h"
#include "common/Text.h"
#include "download/Acceptance.h"
#include "download/Downloader.h"
#include "download/DownloadRules.h"
#include "download/DownloadSink.h"
#include "download/FileDigest.h"
#include "download/FileSha256.h"
#include "download/SignatureCheck.h"
#include "download/SignerKey.h"

namespace pravel {

namespace {

// The transfer's reports, shown on the progress meter. Nothing is cancelled
// or paused; certificate problems are not waved through and no credentials
// are asked for (those of the URL are used): as in a silent run.
class MeterSink : public DownloadSink {
  public:
    explicit MeterSink(ProgressMeter* meter) : meter_(meter) {}
    void SetRange(int32_t) override {}
    void TransferStarting(int32_t, uint64_t totalSize, const wchar_t* target) override {
        present_ = 0;
        if (meter_ == nullptr) return;
        const std::wstring path = target != nullptr ? target : L"";
        meter_->Start(Utf8FromUtf16(FileNameOf(path)), totalSize);
    }
    void TransferFinished(int32_t flag, uint32_t) override {
        if (meter_ != nullptr && flag == 1) meter_->Finish();
    }
    void BytesWritten(uint64_t count) override {
        present_ += count;
        if (meter_ != nullptr) meter_->Update(present_);
    }
    bool IsCancelled() override { return false; }
    bool IsPaused() override { return false; }
    uint32_t ReportError(const wchar_t*, uint32_t code, void*) override {
        return code == 0 ? 1 : code;  // never "go on", never "credentials supplied"
    }
    void ShowStep(const wchar_t*, int32_t) override {}

  private:
    ProgressMeter* meter_;
    uint64_t present_ = 0;
};

bool IsTlsCode(uint32_t code) {
    switch (code) {
        case 12037:  // certificate date invalid
        case 12038:  // certificate name invalid
        case 12044:  // client certificate needed
        case 12045:  // unknown authority
        case 12057:  // revocation
        case 12157:  // secure channel error
        case 12169:  // invalid certificate
        case 12175:  // security error
        case 12179:  // certificate not for this use
            return true;
        default:
            return false;
    }
}

// Why the transfer failed, naming the kind.
std::wstring Describe(uint32_t code, uint32_t status, const std::wstring& url) {
    if (status >= 400) {
        const std::wstring meaning = DownloadStatusMeaning(code);
        return L"HTTP status " + ToDecimal(status) +
               (meaning.empty() ? std::wstring() : L" (" + meaning + L")");
    }
    const std::wstring text =
        (code >= 12000 && code < 12200 ? ToDecimal(code) + L": " : L"") + DownloadStatusText(code);
    if (code == 12007) return L"DNS: " + text;
    if (code == 12029 || code == 12030 || code == 12031) return L"connection: " + text;
    if (IsTlsCode(code)) return L"TLS: " + text;
    if (StartsWithIgnoreCaseAscii(url, L"ftp:")) return L"FTP: " + text;
    return text;
}

// crypt32.dll, looked up once through the system loader.
struct CryptApi {
    decltype(&::CryptQueryObject) QueryObject;
    decltype(&::CryptMsgGetParam) MsgGetParam;
    decltype(&::CryptMsgClose) MsgClose;
    decltype(&::CertFindCertificateInStore) FindCertificate;
    decltype(&::CertFreeCertificateContext) FreeCertificate;
    decltype(&::CertCloseStore) CloseStore;
    decltype(&::CertGetNameStringW) NameString;
    decltype(&::CryptEncodeObjectEx) Encode;
};

const CryptApi& Crypt() {
    static const CryptApi api = [] {
        const wchar_t* const dll = L"crypt32.dll";
        CryptApi c{};
        c.QueryObject = SystemFunction<decltype(c.QueryObject)>(dll, "CryptQueryObject");
        c.MsgGetParam = SystemFunction<decltype(c.MsgGetParam)>(dll, "CryptMsgGetParam");
        c.MsgClose = SystemFunction<decltype(c.MsgClose)>(dll, "CryptMsgClose");
        c.FindCertificate =
            SystemFunction<decltype(c.FindCertificate)>(dll, "CertFindCertificateInStore");
        c.FreeCertificate =
            SystemFunction<decltype(c.FreeCertificate)>(dll, "CertFreeCertificateContext");
        c.CloseStore = SystemFunction<decltype(c.CloseStore)>(dll, "CertCloseStore");
        c.NameString = SystemFunction<decltype(c.NameString)>(dll, "CertGetNameStringW");
        c.Encode = SystemFunction<decltype(c.Encode)>(dll, "CryptEncodeObjectEx");
        return c;
    }();
    return api;
}

// The signer of the file's embedded signature (any kind Windows reads:
// programs, packages, cabinets), without judging it: its simple display
// name and the SHA-256 of its public key, as the acceptance step computes
// them.
void ReadSigner(const std::wstring& path, FileFacts& facts) {
    const CryptApi& api = Crypt();
    if (!api.QueryObject || !api.MsgGetParam || !api.MsgClose || !api.FindCertificate ||
        !api.FreeCertificate || !api.CloseStore || !api.NameString || !api.Encode) {
        facts.signatureUnread = L"crypt32.dll is not available";
        return;
    }
    HCERTSTORE store = nullptr;
    HCRYPTMSG message = nullptr;
    if (!api.QueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(),
                         CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED, CERT_QUERY_FORMAT_FLAG_BINARY,
                         0, nullptr, nullptr, nullptr, &store, &message, nullptr)) {
        return;  // no embedded signature: not signed
    }
    DWORD size = 0;
    std::vector<BYTE> info;
    if (api.MsgGetParam(message, CMSG_SIGNER_CERT_INFO_PARAM, 0, nullptr, &size) && size > 0) {
        info.resize(size);
        if (!api.MsgGetParam(message, CMSG_SIGNER_CERT_INFO_PARAM, 0, info.data(), &size)) {
            info.clear();
        }
    }
    PCCERT_CONTEXT certificate =
        info.empty() ? nullptr
                     : api.FindCertificate(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                           CERT_FIND_SUBJECT_CERT, info.data(), nullptr);
    if (certificate == nullptr) {
        facts.signatureUnread = L"its signature names no signer certificate";
    } else {
        facts.signedFile = true;
        wchar_t name[512] = {};
        api.NameString(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 512);
        facts.signer = name;
        facts.signerKey = SignerKeyOf(api.Encode, certificate);
        api.FreeCertificate(certificate);
    }
    api.CloseStore(store, 0);
    api.MsgClose(message);
}

}  // namespace

std::wstring WindowsFetch::Fetch(const std::wstring& url, const std::wstring& target) {
    MeterSink sink(meter_);
    // No expected size: the file is wanted whatever its size, to report it.
    Downloader downloader(&sink, nullptr);
    const uint32_t code = downloader.Download(url, target);
    const uint32_t status = downloader.StatusCode();
    if (code != 0) return Describe(code, status, url);
    // The engine takes an error page as the file (acceptance then rejects
    // it); here the status is the finding.
    if (status >= 400) return Describe(code, status, url);
    return std::wstring();
}

FileFacts WindowsFetch::Inspect(const std::wstring& path) {
    FileFacts facts;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return facts;
    facts.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    facts.md5 = ComputeFileMd5(path);
    ComputeFileSha256(path, facts.sha256);
    facts.readable = facts.size == 0 || (!facts.md5.empty() && !facts.sha256.empty());
    ReadSigner(path, facts);
    return facts;
}

FetchAcceptance WindowsFetch::Accept(const Prerequisite& p, const std::wstring& path,
                                     const FileFacts&) {
    // pravel's acceptance step, one test at a time (a prerequisite that
    // configures only that test), so that each verdict names its key.
    FetchAcceptance verdict;
    Prerequisite only;
    verdict.size = RejectionReason(only, static_cast<uint32_t>(p.exactSize), path) == nullptr;
    only.md5 = p.md5;
    verdict.md5 = RejectionReason(only, 0, path) == nullptr;
    only.md5.clear();
    only.sha256 = p.sha256;
    verdict.sha256 = RejectionReason(only, 0, path) == nullptr;
    if (!p.signerName.empty()) {
        const SignatureVerdict signature = CheckPublisherSignature(path, p.signerName, p.signerKey);
        verdict.signature = signature.accepted;
        verdict.signatureDetail = signature.detail;
        verdict.signatureWithoutKey =
            signature.accepted ||
            (!p.signerKey.empty() && CheckPublisherSignature(path, p.signerName, L"").accepted);
    }
    return verdict;
}

}  // namespace pravel
