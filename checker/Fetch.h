// pravel-check --fetch DIR FILE: every loaded prerequisite with a Url is
// downloaded as pravel would download it, into DIR under the name pravel
// gives it, and tested as pravel tests a file before it runs (ExactSize,
// MD5, SHA256, SignerName with SignerKey). What no longer holds is an error
// at the line of its key (the Url line when the file cannot be fetched);
// every fetched file gets a note at its Url line with the values to paste.
//
// The transfer and the tests are the platform's (FetchPlatform): the
// Windows build uses pravel's own transfer engine and acceptance code, the
// native build libcurl and the program's own digests. This part decides
// what is reported where.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "checker/ConfigCheck.h"
#include "checker/DocumentIndex.h"
#include "config/Configuration.h"

namespace pravel {

// What a fetched file is.
struct FileFacts {
    bool readable = false;
    uint64_t size = 0;
    std::wstring md5;     // 32 lowercase hexadecimal digits
    std::wstring sha256;  // 64 lowercase hexadecimal digits
    bool signedFile = false;
    std::wstring signer;     // the signer certificate's simple display name
    std::wstring signerKey;  // SHA-256 of its public key, 64 lowercase digits
    // Not empty when this build cannot tell whether the file is signed (why).
    std::wstring signatureUnread;
    // Set by a build that verifies signatures itself (the native one):
    // whether the first signature, the one Windows judges, verifies, why
    // not, and the file's other signatures in words.
    bool signatureVerified = true;
    std::wstring signatureProblem;
    std::wstring otherSignatures;
};

// The verdicts of the acceptance tests, each on its own; a test the
// prerequisite does not configure passes.
struct FetchAcceptance {
    bool size = true;
    bool md5 = true;
    bool sha256 = true;
    bool signature = true;
    // The signature test without SignerKey: true when the key is all that fails.
    bool signatureWithoutKey = true;
    std::wstring signatureDetail;  // why the signature test failed
};

class FetchPlatform {
  public:
    virtual ~FetchPlatform() = default;
    // Downloads `url` to `target` (a path of this platform; missing folders
    // are made; an interrupted transfer, also one of an earlier run, is
    // continued). Empty on success, otherwise why it failed, naming the
    // kind ("HTTP status 404", "DNS: ...", "TLS: ...", "FTP: ...").
    virtual std::wstring Fetch(const std::wstring& url, const std::wstring& target) = 0;
    virtual FileFacts Inspect(const std::wstring& path) = 0;
    virtual FetchAcceptance Accept(const Prerequisite& p, const std::wstring& path,
                                   const FileFacts& facts) = 0;
    // `path` (built with "\") as a path of this platform.
    virtual std::wstring PlatformPath(const std::wstring& path) const = 0;
    // False where a file: location (a Windows path) cannot be fetched.
    virtual bool FetchesFileLocations() const = 0;
    // Appended to the note of a signed file (the native build: that the
    // chain is judged on Windows); may be empty.
    virtual std::wstring SignatureRemark() const = 0;
};

struct FetchOutcome {
    std::vector<Finding> findings;  // in the order found, lines as an editor shows them
    int downloads = 0;              // prerequisites with a Url
    int fetched = 0;
};

// What a fetched file is and how it fares against its prerequisite's keys.
struct FetchVerdict {
    FileFacts facts;
    FetchAcceptance acceptance;
    bool passes = false;  // readable, and every key configured holds
};

// The steps of one download and what they report, for --fetch
// (FetchDownloads) and --layout (checker/Layout.h). Findings are collected
// and passed to `found` as soon as they are known.
class DownloadReporter {
  public:
    // `report` must be readable and outlive the reporter.
    DownloadReporter(const CheckReport& report, FetchPlatform& platform,
                     void (*found)(const Finding&, void*), void* context);
    DownloadReporter(const DownloadReporter&) = delete;
    DownloadReporter& operator=(const DownloadReporter&) = delete;

    const Prerequisite& At(size_t index) const { return report_.set.Items()[index]; }
    // The pair `key` of the section of prerequisite `index`, or null.
    const IniPair* Key(size_t index, const wchar_t* key) const;
    // "App1 \"Name\"".
    std::wstring Name(size_t index) const;
    // A finding at the line of `pair` (0 without one).
    void Add(const IniPair* pair, Severity severity, const std::wstring& text);

    // Downloads the Url of prerequisite `index` to `target` (a path of the
    // platform); false, with an error at the Url line, when it cannot.
    bool Fetch(size_t index, const std::wstring& target);
    // The file at `target` tested as pravel tests it (nothing reported).
    FetchVerdict Test(size_t index, const std::wstring& target);
    // Reports `verdict` of the file at `target`: a note with its values at
    // the Url line (`how`: how it got there, "serves", "was kept"), an error
    // at the line of each key that does not hold.
    void ReportVerdict(size_t index, const std::wstring& target, const FetchVerdict& verdict,
                       const std::wstring& how);

    std::vector<Finding>& Findings() { return findings_; }
    const std::vector<Finding>& Findings() const { return findings_; }

  private:
    const CheckReport& report_;
    const DocumentIndex index_;
    FetchPlatform& platform_;
    void (*found_)(const Finding&, void*);
    void* context_;
    std::vector<Finding> findings_;
};

// Fetches and tests every loaded prerequisite of `report` that has a Url.
// `folder` is the download folder (absolute, in the form DownloadTargetPath
// joins with "\"); `report` must be readable. `found` is called with every
// finding as soon as it is known (for output while the rest downloads).
FetchOutcome FetchDownloads(const CheckReport& report, const std::wstring& folder,
                            FetchPlatform& platform, void (*found)(const Finding&, void*),
                            void* context);

}  // namespace pravel
