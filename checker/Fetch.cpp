#include "checker/Fetch.h"

#include "checker/KeyNames.h"
#include "common/Text.h"
#include "download/DownloadTarget.h"
#include "download/TransferText.h"

namespace pravel {

DownloadReporter::DownloadReporter(const CheckReport& report, FetchPlatform& platform,
                                   void (*found)(const Finding&, void*), void* context)
    : report_(report),
      index_(report.document),
      platform_(platform),
      found_(found),
      context_(context) {}

const IniPair* DownloadReporter::Key(size_t index, const wchar_t* key) const {
    const IniSection* section = index_.Section(L"App" + ToDecimal(static_cast<int64_t>(index + 1)));
    return section != nullptr ? index_.Key(*section, key) : nullptr;
}

std::wstring DownloadReporter::Name(size_t index) const {
    return L"App" + ToDecimal(static_cast<int64_t>(index + 1)) + L" " + Quoted(At(index).name);
}

void DownloadReporter::Add(const IniPair* pair, Severity severity, const std::wstring& text) {
    const Finding finding{report_.EditorLine(pair != nullptr ? pair->line : 0), severity, text};
    findings_.push_back(finding);
    if (found_ != nullptr) found_(finding, context_);
}

bool DownloadReporter::Fetch(size_t index, const std::wstring& target) {
    const std::wstring failure = platform_.Fetch(At(index).location, target);
    if (failure.empty()) return true;
    Add(Key(index, L"Url"), Severity::kError,
        Name(index) + L": " + RedactUrl(At(index).location) + L" cannot be fetched: " + failure);
    return false;
}

FetchVerdict DownloadReporter::Test(size_t index, const std::wstring& target) {
    const Prerequisite& p = At(index);
    FetchVerdict verdict;
    verdict.facts = platform_.Inspect(target);
    if (!verdict.facts.readable) return verdict;
    const FetchAcceptance& a = verdict.acceptance = platform_.Accept(p, target, verdict.facts);
    verdict.passes = (p.exactSize == 0 || a.size) && (p.md5.empty() || a.md5) &&
                     (p.sha256.empty() || a.sha256) && (p.signerName.empty() || a.signature);
    return verdict;
}

void DownloadReporter::ReportVerdict(size_t i, const std::wstring& target,
                                     const FetchVerdict& verdict, const std::wstring& how) {
    const Prerequisite& p = At(i);
    const IniPair* url = Key(i, L"Url");
    const std::wstring shown = RedactUrl(p.location);
    const FileFacts& facts = verdict.facts;
    if (!facts.readable) {
        Add(url, Severity::kError,
            Name(i) + L": " + shown + L" was fetched to " + target + L", which cannot be read");
        return;
    }
    const std::wstring size = ToDecimalUnsigned(facts.size);
    std::wstring note = Name(i) + L": " + shown + L" " + how + L" " + size + L" bytes, stored as " +
                        target + L": ExactSize=" + size + L"; MD5=" + facts.md5 + L"; SHA256=" +
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
    Add(url, Severity::kNote, note);
    const FetchAcceptance& a = verdict.acceptance;
    if (p.exactSize != 0 && !a.size) {
        Add(Key(i, L"ExactSize"), Severity::kError,
            L"ExactSize " + ToDecimal(p.exactSize) + L" no longer holds: " + shown +
                L" now serves " + size + L" bytes (ExactSize=" + size + L")");
    }
    if (!p.md5.empty() && !a.md5) {
        Add(Key(i, L"MD5"), Severity::kError,
            L"MD5 " + p.md5 + L" no longer holds: the file " + shown + L" serves now has the MD5 " +
                facts.md5 + L" (MD5=" + facts.md5 + L")");
    }
    if (!p.sha256.empty() && !a.sha256) {
        Add(Key(i, L"SHA256"), Severity::kError,
            L"SHA256 " + p.sha256 + L" no longer holds: the file " + shown +
                L" serves now has the SHA-256 " + facts.sha256 + L" (SHA256=" + facts.sha256 +
                L")");
    }
    if (!p.signerName.empty() && !a.signature && !facts.signatureUnread.empty()) {
        Add(Key(i, L"SignerName"), Severity::kNote,
            L"SignerName " + Quoted(p.signerName) + L" is not tested by this build: " +
                a.signatureDetail);
    } else if (!p.signerName.empty() && !a.signature) {
        const bool keyOnly = a.signatureWithoutKey && !p.signerKey.empty();
        Add(keyOnly ? Key(i, L"SignerKey") : Key(i, L"SignerName"), Severity::kError,
            (keyOnly ? L"SignerKey " + p.signerKey + L" no longer holds for the file " + shown +
                           L" serves now: " + a.signatureDetail + L" (SignerKey=" +
                           facts.signerKey + L")"
                     : L"SignerName " + Quoted(p.signerName) + L" no longer holds for the file " +
                           shown + L" serves now: " + a.signatureDetail));
    }
}

namespace {

void FetchOne(DownloadReporter& reporter, FetchPlatform& platform, size_t i,
              const std::wstring& folder, FetchOutcome& outcome) {
    const Prerequisite& p = reporter.At(i);
    ++outcome.downloads;
    if (StartsWithIgnoreCaseAscii(p.location, L"file:") && !platform.FetchesFileLocations()) {
        reporter.Add(reporter.Key(i, L"Url"), Severity::kNote,
                     reporter.Name(i) + L": the file: location " + RedactUrl(p.location) +
                         L" names a Windows path and is not fetched by this build; "
                         L"pravel-check.exe fetches it");
        return;
    }
    const std::wstring target =
        platform.PlatformPath(DownloadTargetPath(folder, p.location, p.folder));
    if (!reporter.Fetch(i, target)) return;
    const FetchVerdict verdict = reporter.Test(i, target);
    if (verdict.facts.readable) ++outcome.fetched;
    reporter.ReportVerdict(i, target, verdict, L"serves");
}

}  // namespace

FetchOutcome FetchDownloads(const CheckReport& report, const std::wstring& folder,
                            FetchPlatform& platform, void (*found)(const Finding&, void*),
                            void* context) {
    DownloadReporter reporter(report, platform, found, context);
    FetchOutcome outcome;
    for (size_t i = 0; i < report.set.Count(); ++i) {
        if (report.set.Items()[i].locationKind == kLocationUrl) {
            FetchOne(reporter, platform, i, folder, outcome);
        }
    }
    outcome.findings = std::move(reporter.Findings());
    return outcome;
}

}  // namespace pravel
