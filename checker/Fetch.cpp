#include "checker/Fetch.h"

#include "checker/DocumentIndex.h"
#include "checker/KeyNames.h"
#include "common/Text.h"
#include "download/DownloadTarget.h"
#include "download/TransferText.h"

namespace pravel {

namespace {

class Fetcher {
  public:
    Fetcher(const CheckReport& report, FetchPlatform& platform,
            void (*found)(const Finding&, void*), void* context)
        : report_(report),
          index_(report.document),
          platform_(platform),
          found_(found),
          context_(context) {}

    void Run(const std::wstring& folder);
    FetchOutcome& Outcome() { return outcome_; }

  private:
    void Report(const IniPair* pair, Severity severity, const std::wstring& text) {
        const Finding finding{report_.EditorLine(pair != nullptr ? pair->line : 0), severity, text};
        outcome_.findings.push_back(finding);
        if (found_ != nullptr) found_(finding, context_);
    }
    void One(size_t index, const std::wstring& folder);

    const CheckReport& report_;
    const DocumentIndex index_;
    FetchPlatform& platform_;
    void (*found_)(const Finding&, void*);
    void* context_;
    FetchOutcome outcome_;
};

void Fetcher::Run(const std::wstring& folder) {
    for (size_t i = 0; i < report_.set.Count(); ++i) {
        if (report_.set.Items()[i].locationKind == kLocationUrl) One(i, folder);
    }
}

void Fetcher::One(size_t i, const std::wstring& folder) {
    const Prerequisite& p = report_.set.Items()[i];
    const std::wstring app = L"App" + ToDecimal(static_cast<int64_t>(i + 1));
    const IniSection* section = index_.Section(app);
    if (section == nullptr) return;  // cannot happen for a loaded prerequisite
    auto key = [&](const wchar_t* name) { return index_.Key(*section, name); };
    const IniPair* url = key(L"Url");
    const std::wstring shown = RedactUrl(p.location);
    const std::wstring name = app + L" " + Quoted(p.name);
    ++outcome_.downloads;

    if (StartsWithIgnoreCaseAscii(p.location, L"file:") && !platform_.FetchesFileLocations()) {
        Report(url, Severity::kNote,
               name + L": the file: location " + shown +
                   L" names a Windows path and is not fetched by this build; pravel-check.exe "
                   L"fetches it");
        return;
    }
    const std::wstring target =
        platform_.PlatformPath(DownloadTargetPath(folder, p.location, p.folder));
    const std::wstring failure = platform_.Fetch(p.location, target);
    if (!failure.empty()) {
        Report(url, Severity::kError, name + L": " + shown + L" cannot be fetched: " + failure);
        return;
    }
    const FileFacts facts = platform_.Inspect(target);
    if (!facts.readable) {
        Report(url, Severity::kError,
               name + L": " + shown + L" was fetched to " + target + L", which cannot be read");
        return;
    }
    ++outcome_.fetched;
    const std::wstring size = ToDecimalUnsigned(facts.size);
    std::wstring note = name + L": " + shown + L" serves " + size + L" bytes, stored as " + target +
                        L": ExactSize=" + size + L"; MD5=" + facts.md5 + L"; SHA256=" +
                        facts.sha256;
    if (facts.signedFile && facts.signatureVerified) {
        note += L"; SignerName=" + facts.signer + L"; SignerKey=" + facts.signerKey;
        const std::wstring remark = platform_.SignatureRemark();
        if (!remark.empty()) note += L" (" + remark + L")";
    } else if (facts.signedFile) {
        note += (facts.signer.empty()
                     ? std::wstring(L"; its signature")
                     : L"; signed by " + Quoted(facts.signer) + L", but the signature") +
                L" does not verify: " + facts.signatureProblem;
    } else if (!facts.signatureUnread.empty()) {
        note += L"; its signature is not read: " + facts.signatureUnread;
    } else {
        note += L"; the file is not signed";
    }
    if (!facts.otherSignatures.empty()) note += L"; other signatures: " + facts.otherSignatures;
    Report(url, Severity::kNote, note);
    const FetchAcceptance verdict = platform_.Accept(p, target, facts);
    if (p.exactSize != 0 && !verdict.size) {
        Report(key(L"ExactSize"), Severity::kError,
               L"ExactSize " + ToDecimal(p.exactSize) + L" no longer holds: " + shown +
                   L" now serves " + size + L" bytes (ExactSize=" + size + L")");
    }
    if (!p.md5.empty() && !verdict.md5) {
        Report(key(L"MD5"), Severity::kError,
               L"MD5 " + p.md5 + L" no longer holds: the file " + shown +
                   L" serves now has the MD5 " + facts.md5 + L" (MD5=" + facts.md5 + L")");
    }
    if (!p.sha256.empty() && !verdict.sha256) {
        Report(key(L"SHA256"), Severity::kError,
               L"SHA256 " + p.sha256 + L" no longer holds: the file " + shown +
                   L" serves now has the SHA-256 " + facts.sha256 + L" (SHA256=" + facts.sha256 +
                   L")");
    }
    if (!p.signerName.empty() && !verdict.signature && !facts.signatureUnread.empty()) {
        Report(key(L"SignerName"), Severity::kNote,
               L"SignerName " + Quoted(p.signerName) + L" is not tested by this build: " +
                   verdict.signatureDetail);
    } else if (!p.signerName.empty() && !verdict.signature) {
        const bool keyOnly = verdict.signatureWithoutKey && !p.signerKey.empty();
        Report(
            keyOnly ? key(L"SignerKey") : key(L"SignerName"), Severity::kError,
            (keyOnly ? L"SignerKey " + p.signerKey + L" no longer holds for the file " + shown +
                           L" serves now: " + verdict.signatureDetail + L" (SignerKey=" +
                           facts.signerKey + L")"
                     : L"SignerName " + Quoted(p.signerName) + L" no longer holds for the file " +
                           shown + L" serves now: " + verdict.signatureDetail));
    }
}

}  // namespace

FetchOutcome FetchDownloads(const CheckReport& report, const std::wstring& folder,
                            FetchPlatform& platform, void (*found)(const Finding&, void*),
                            void* context) {
    Fetcher fetcher(report, platform, found, context);
    fetcher.Run(folder);
    return std::move(fetcher.Outcome());
}

}  // namespace pravel
