// The native build's FetchPlatform: libcurl for the transfer (redirects,
// the usual http_proxy/https_proxy/no_proxy environment, credentials in
// the URL, resume), the program's own MD5 and SHA-256, and OpenSSL to verify
// a PE file's Authenticode signatures (checker/AuthenticodeNative.h).
// Whether the signer's certificate chains to a root Windows trusts is
// decided only by the Windows build.
//
// Resume: the transfer writes "<target>.part". When the answer that began
// it named a validator (a strong entity tag, else its Last-Modified date),
// the validator is kept in "<target>.part.validator" and a later attempt,
// in this run or the next, asks for the rest of that same file only
// (Range with If-Range); a server that answers with the whole file starts
// it over. A ".part" without a validator file is not continued by a later
// run.
#include "checker/FetchNative.h"

#include <curl/curl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "checker/AuthenticodeNative.h"
#include "checker/Utf8.h"
#include "common/Text.h"
#include "download/DownloadRules.h"
#include "download/Md5.h"
#include "download/Sha256.h"

namespace pravel {

namespace {

constexpr long kMaxRedirects = 10;
constexpr int kMaxAttempts = 20;
constexpr int kMaxAttemptsWithoutProgress = 3;
// Fewer than this many bytes in kStallSeconds is a stalled transfer.
constexpr long kStallBytes = 1024;
constexpr long kStallSeconds = 120;

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

uint64_t SizeOf(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

// Makes the folders of `path` (all but its last component).
void MakeParents(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0777);
    }
}

std::string ReadSmallFile(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return std::string();
    char buffer[1100];
    const size_t got = std::fread(buffer, 1, sizeof buffer, file);
    std::fclose(file);
    return got > 1024 ? std::string() : std::string(buffer, got);  // not plausible
}

void WriteSmallFile(const std::string& path, const std::string& text) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    size_t start = 0;
    while (start < text.size() && text[start] == ' ') ++start;
    return text.substr(start);
}

bool HeaderIs(const std::string& line, const char* name, std::string& value) {
    const size_t length = std::strlen(name);
    if (line.size() <= length || line[length] != ':') return false;
    for (size_t i = 0; i < length; ++i) {
        if (std::tolower(static_cast<unsigned char>(line[i])) !=
            std::tolower(static_cast<unsigned char>(name[i]))) {
            return false;
        }
    }
    value = Trimmed(line.substr(length + 1));
    return true;
}

// One attempt's state, shared with libcurl's callbacks.
struct Attempt {
    FILE* file = nullptr;
    uint64_t offset = 0;  // bytes of the ".part" file asked to be kept
    bool http = false;
    bool started = false;  // the first body byte arrived
    bool restart = false;  // the answer does not continue the file
    std::string etag, lastModified, contentRange;
    uint64_t total = 0;  // of the whole file, 0 = unknown
    std::string validatorPath;
    ProgressMeter* meter = nullptr;
    CURL* curl = nullptr;
};

size_t OnHeader(char* data, size_t size, size_t count, void* context) {
    Attempt& a = *static_cast<Attempt*>(context);
    const std::string line(data, size * count);
    std::string value;
    if (line.rfind("HTTP/", 0) == 0) {  // a new answer (after a redirect): forget the last
        a.etag.clear();
        a.lastModified.clear();
        a.contentRange.clear();
    } else if (HeaderIs(line, "ETag", value)) {
        if (value.rfind("W/", 0) != 0) a.etag = value;  // only a strong tag names one file
    } else if (HeaderIs(line, "Last-Modified", value)) {
        a.lastModified = value;
    } else if (HeaderIs(line, "Content-Range", value)) {
        a.contentRange = value;
    }
    return size * count;
}

// At the first body byte: does this answer continue the ".part" file? A
// 200 answer to a range request brings the whole file: start it over.
bool BeginBody(Attempt& a) {
    a.started = true;
    if (!a.http) return true;
    long code = 0;
    curl_easy_getinfo(a.curl, CURLINFO_RESPONSE_CODE, &code);
    if (a.offset > 0) {
        if (code == 206) {
            // "bytes START-END/TOTAL": START must be where the file ends.
            unsigned long long start = 0, end = 0, total = 0;
            if (std::sscanf(a.contentRange.c_str(), "bytes %llu-%llu/%llu", &start, &end, &total) <
                    2 ||
                start != a.offset) {
                a.restart = true;
                return false;
            }
            a.total = total;
            return true;
        }
        // The whole file: write it from the start.
        if (::ftruncate(::fileno(a.file), 0) != 0 || std::fseek(a.file, 0, SEEK_SET) != 0) {
            return false;
        }
        a.offset = 0;
    }
    // A new file: keep its validator for a later resume.
    const std::string validator = !a.etag.empty() ? a.etag : a.lastModified;
    if (validator.empty()) {
        std::remove(a.validatorPath.c_str());
    } else {
        WriteSmallFile(a.validatorPath, validator);
    }
    return true;
}

size_t OnBody(char* data, size_t size, size_t count, void* context) {
    Attempt& a = *static_cast<Attempt*>(context);
    if (!a.started && !BeginBody(a)) return 0;  // ends the attempt
    return std::fwrite(data, size, count, a.file) * size;
}

int OnProgress(void* context, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
    Attempt& a = *static_cast<Attempt*>(context);
    if (a.meter != nullptr && a.started) {
        if (total > 0) a.meter->SetTotal(a.offset + static_cast<uint64_t>(total));
        a.meter->Update(a.offset + static_cast<uint64_t>(now));
    }
    return 0;
}

bool IsInterruption(CURLcode code) {
    switch (code) {
        case CURLE_PARTIAL_FILE:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
            return true;
        default:
            return false;
    }
}

bool IsTls(CURLcode code) {
    switch (code) {
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_ENGINE_INITFAILED:
        case CURLE_USE_SSL_FAILED:
            return true;
        default:
            return false;
    }
}

// Why the transfer failed, naming the kind.
std::wstring Describe(CURLcode code, CURL* curl, const char* detail, bool ftp) {
    const std::wstring text = Utf16FromUtf8(*detail != 0 ? detail : curl_easy_strerror(code));
    if (code == CURLE_HTTP_RETURNED_ERROR) {
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        return L"HTTP status " + ToDecimal(status);
    }
    if (code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_RESOLVE_PROXY) {
        return L"DNS: " + text;
    }
    if (code == CURLE_COULDNT_CONNECT) return L"connection: " + text;
    if (IsTls(code)) return L"TLS: " + text;
    if (code == CURLE_TOO_MANY_REDIRECTS) {
        return L"more than " + ToDecimal(kMaxRedirects) + L" redirects";
    }
    if (code == CURLE_UNSUPPORTED_PROTOCOL) return L"refused: " + text;
    if (ftp) return L"FTP: " + text;
    return text;
}

// The note's words for signature `s` among the others of the file.
std::wstring OtherSignature(const AuthenticodeSignature& s) {
    return (s.signer.empty() ? std::wstring(L"a signature") : Quoted(s.signer)) +
           (s.nested ? L" (nested, " : L" (") +
           (s.verifies ? std::wstring(L"verifies)") : L"does not verify: " + s.problem + L")");
}

// The signatures of a PE file, verified (checker/AuthenticodeNative.h): the
// first is the one Windows judges and SignerName is tested against.
void ReadSignatures(FILE* file, uint64_t size, FileFacts& facts) {
    const AuthenticodeFindings found = VerifyAuthenticode(file, size);
    facts.signatureUnread = found.unread;
    if (found.signatures.empty()) return;
    const AuthenticodeSignature& first = found.signatures.front();
    facts.signedFile = true;
    facts.signer = first.signer;
    facts.signerKey = first.signerKey;
    facts.signatureVerified = first.verifies;
    facts.signatureProblem = first.problem;
    for (size_t i = 1; i < found.signatures.size(); ++i) {
        facts.otherSignatures += (i == 1 ? L"" : L", ") + OtherSignature(found.signatures[i]);
    }
}

}  // namespace

NativeFetch::NativeFetch(ProgressMeter* meter) : meter_(meter) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

NativeFetch::~NativeFetch() {
    curl_global_cleanup();
}

std::wstring NativeFetch::PlatformPath(const std::wstring& path) const {
    std::wstring out = path;
    for (wchar_t& c : out) {
        if (c == L'\\') c = L'/';
    }
    return out;
}

std::wstring NativeFetch::Fetch(const std::wstring& url, const std::wstring& target) {
    const std::string address = Utf8FromUtf16(url);
    const std::string path = Utf8FromUtf16(target);
    const std::string part = path + ".part";
    Attempt a;
    a.validatorPath = part + ".validator";
    a.http = StartsWithIgnoreCaseAscii(url, L"http:") || StartsWithIgnoreCaseAscii(url, L"https:");
    const bool ftp = StartsWithIgnoreCaseAscii(url, L"ftp:");
    const bool https = StartsWithIgnoreCaseAscii(url, L"https:");
    MakeParents(path);

    // A ".part" of an earlier run is continued only with its validator.
    std::string validator = ReadSmallFile(a.validatorPath);
    if (Exists(part) && (validator.empty() && a.http)) std::remove(part.c_str());
    a.offset = Exists(part) ? SizeOf(part) : 0;

    const std::string name = path.substr(path.rfind('/') + 1);
    if (meter_ != nullptr) meter_->Start(name, 0);
    int withoutProgress = 0;
    std::wstring failure;
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        a.file = std::fopen(part.c_str(), a.offset > 0 ? "ab" : "wb");
        if (a.file == nullptr) {
            failure = L"cannot write " + Utf16FromUtf8(part) + L": " +
                      Utf16FromUtf8(std::strerror(errno));
            break;
        }
        a.started = false;
        a.restart = false;
        CURL* curl = curl_easy_init();
        a.curl = curl;
        char detail[CURL_ERROR_SIZE] = {};
        curl_slist* headers = nullptr;
        curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https,ftp,ftps");
        // An https download never goes on over plain HTTP.
        curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, https ? "https" : "http,https");
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
        curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, kStallBytes);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
        curl_easy_setopt(curl, CURLOPT_USERAGENT, "pravel-check");
        curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, detail);
        curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
        curl_easy_setopt(curl, CURLOPT_HEADERDATA, &a);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &a);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &a);
        std::string range;
        if (a.offset > 0 && a.http) {
            range = std::to_string(a.offset) + "-";
            curl_easy_setopt(curl, CURLOPT_RANGE, range.c_str());
            validator = ReadSmallFile(a.validatorPath);
            if (!validator.empty())
                headers = curl_slist_append(headers, ("If-Range: " + validator).c_str());
            curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        } else if (a.offset > 0) {
            curl_easy_setopt(curl, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(a.offset));
        }
        a.meter = meter_;
        const CURLcode result = curl_easy_perform(curl);
        std::fclose(a.file);
        a.file = nullptr;
        const uint64_t present = SizeOf(part);
        if (result == CURLE_OK) {
            curl_easy_cleanup(curl);
            curl_slist_free_all(headers);
            if (meter_ != nullptr) meter_->Finish();
            std::remove(path.c_str());
            if (std::rename(part.c_str(), path.c_str()) != 0) {
                return L"cannot rename " + Utf16FromUtf8(part) + L": " +
                       Utf16FromUtf8(std::strerror(errno));
            }
            std::remove(a.validatorPath.c_str());
            return std::wstring();
        }
        const bool restFailed = result == CURLE_FTP_COULDNT_USE_REST ||
                                result == CURLE_BAD_DOWNLOAD_RESUME || result == CURLE_RANGE_ERROR;
        failure = Describe(result, curl, detail, ftp);
        curl_easy_cleanup(curl);
        curl_slist_free_all(headers);
        if (a.restart || (restFailed && a.offset > 0)) {
            // The source does not continue this file: start over.
            std::remove(part.c_str());
            a.offset = 0;
            continue;
        }
        if (!IsInterruption(result)) break;
        withoutProgress = present > a.offset ? 0 : withoutProgress + 1;
        if (withoutProgress >= kMaxAttemptsWithoutProgress) break;
        a.offset = present;
        std::this_thread::sleep_for(std::chrono::milliseconds(200 * (withoutProgress + 1)));
    }
    if (meter_ != nullptr) meter_->Finish();
    // Nothing arrived: no ".part" is left behind.
    if (Exists(part) && SizeOf(part) == 0) {
        std::remove(part.c_str());
        std::remove(a.validatorPath.c_str());
    }
    return failure;
}

FileFacts NativeFetch::Inspect(const std::wstring& target) {
    FileFacts facts;
    FILE* file = std::fopen(Utf8FromUtf16(target).c_str(), "rb");
    if (file == nullptr) return facts;
    Md5 md5;
    Sha256 sha;
    std::vector<uint8_t> block(65536);
    size_t got = 0;
    while ((got = std::fread(block.data(), 1, block.size(), file)) > 0) {
        md5.Update(block.data(), got);
        sha.Update(block.data(), got);
        facts.size += got;
    }
    facts.readable = std::ferror(file) == 0;
    uint8_t md5Digest[16], shaDigest[32];
    md5.Final(md5Digest);
    sha.Final(shaDigest);
    facts.md5 = Md5::ToHex(md5Digest);
    facts.sha256 = Sha256::ToHex(shaDigest);
    if (facts.readable) ReadSignatures(file, facts.size, facts);
    std::fclose(file);
    return facts;
}

FetchAcceptance NativeFetch::Accept(const Prerequisite& p, const std::wstring&,
                                    const FileFacts& facts) {
    FetchAcceptance verdict;
    // As pravel: the size against the 32-bit ExactSize, the MD5 by its
    // rule (an empty file has none), the SHA-256 ignoring letter case.
    verdict.size = facts.size == static_cast<uint32_t>(p.exactSize);
    verdict.md5 = facts.size > 0 && Md5Matches(facts.md5, p.md5);
    verdict.sha256 = p.sha256.empty() || (facts.size > 0 && Sha256Matches(p.sha256, facts.sha256));
    if (p.signerName.empty()) return verdict;
    verdict.signature = false;
    verdict.signatureWithoutKey = false;
    if (!facts.signatureUnread.empty()) {
        verdict.signatureDetail = L"its signature cannot be read here: " + facts.signatureUnread;
    } else if (!facts.signedFile) {
        verdict.signatureDetail = L"the file is not signed";
    } else if (!facts.signatureVerified) {
        verdict.signatureDetail = L"its signature does not verify: " + facts.signatureProblem;
    } else if (facts.signer != p.signerName) {
        verdict.signatureDetail =
            L"signed by \"" + facts.signer + L"\", not by \"" + p.signerName + L"\"";
    } else if (!p.signerKey.empty() && !EqualsIgnoreCaseAscii(facts.signerKey, p.signerKey)) {
        verdict.signatureWithoutKey = true;
        verdict.signatureDetail = L"signed by \"" + facts.signer + L"\" with the key " +
                                  facts.signerKey + L", not " + p.signerKey;
    } else {
        verdict.signature = true;
    }
    return verdict;
}

std::wstring NativeFetch::SignatureRemark() const {
    return L"its image digest and the signer's signature verify; whether the signer's "
           L"certificate chains to a root Windows trusts is decided on Windows: "
           L"pravel-check.exe, or under Wine";
}

}  // namespace pravel
