// The transfer engine: fetches one file from an ordered list of equivalent
// source URLs (HTTP, HTTPS, FTP, file: paths and shares) into `target`,
// through `target` + ".part" so that a broken or cancelled transfer resumes
// on the next run (download/PartFile.h). WinINet runs in asynchronous mode:
// every call that may pend is started and the calling thread polls its
// completion in 10 ms steps, asking the sink whether the user cancelled and
// bounding every wait by the stall time (download/AsyncChannel.h).
//
// Result of Download: 0, a Win32 or WinINet error, or a DLERR_* status of
// common/ErrorCodes.h. Every failure except DLERR_CANCELLED and
// DLERR_NOT_MODIFIED is reported once through the sink's ReportError and
// logged. The ".part" file survives every failure; the target is replaced
// only when the whole file is present.
//
// The parts, one source file each:
//   Downloader.cpp        the transfer's steps, the session, opening with
//                         failover and the pauses between attempts
//   HttpExchange.cpp      one HTTP(S) request and what its answer means
//   FtpAndFileSources.cpp FTP files and file:/share sources
//   DataLoop.cpp          reading into the ".part" file (PartFile.h),
//                         reconnects, the bound on reconnects that bring
//                         little and on connections that trickle
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "download/PartFile.h"

namespace pravel {

class AsyncChannel;
class DownloadSink;
class CredentialsProvider;
struct WinInetApi;

class Downloader {
  public:
    // Either pointer may be null: no reports and no cancel without a sink,
    // no credentials without a provider.
    Downloader(DownloadSink* sink, CredentialsProvider* credentials);
    ~Downloader();
    Downloader(const Downloader&) = delete;
    Downloader& operator=(const Downloader&) = delete;

    // 0 = unknown. Any answer that states a different size of the file
    // fails with DLERR_SIZE_MISMATCH.
    void SetExpectedSize(uint32_t size) { expectedSize_ = size; }
    // Sent as "Accept-Encoding" to HTTP servers when non-empty.
    void SetAcceptEncoding(const std::wstring& value) { acceptEncoding_ = value; }
    // On by default: an existing ".part" file is continued.
    void SetResume(bool resume) { resume_ = resume; }
    // The time limit of the transfer (DownloadTimeLimitMs in
    // download/TransferText.h): at least `floorSeconds`, and `minRate` bytes
    // per second once the size is known. 0 keeps the default of
    // TransferTimings (10 minutes, 1024 bytes per second).
    void SetTimeLimit(uint32_t floorSeconds, uint32_t minRate) {
        floorSeconds_ = floorSeconds;
        minRate_ = minRate;
    }

    uint32_t Download(const std::wstring& url, const std::wstring& target);
    uint32_t Download(const std::vector<std::wstring>& urls, const std::wstring& target);

    // HTTP status of the last response (0 before any).
    uint32_t StatusCode() const { return statusCode_; }

    // The progress routine of the file: copy (CopyFileExW, `data` is the
    // Downloader). Public so that it can be exercised directly: the first
    // call of the copy announces the size, the bytes copied are reported at
    // most every 200 ms (and at the end), and a cancel stops the copy.
    static DWORD CALLBACK CopyProgress(LARGE_INTEGER totalSize, LARGE_INTEGER transferred,
                                       LARGE_INTEGER streamSize, LARGE_INTEGER streamTransferred,
                                       DWORD streamNumber, DWORD callbackReason, HANDLE source,
                                       HANDLE destination, LPVOID data);

    // Connections in a row that bring little (BroughtLittle in
    // download/TransferText.h): the one that makes this many ends the
    // transfer with DLERR_INCOMPLETE instead of another reconnect.
    static constexpr int kMaxIdleReconnects = 5;
    // Redirects followed for one request (the next one fails the source).
    static constexpr int kMaxRedirects = 10;

    struct SourceUrl;  // a cracked source URL (internal)

  private:
    // What an answer (or a file: source) brings.
    struct OpenResult {
        uint64_t start = 0;   // the offset its first byte belongs at
        uint64_t total = 0;   // the size of the whole file it states, 0 = none
        uint64_t end = 0;     // the offset where its own bytes end (a stated length), 0 = none
        bool proven = false;  // the ".part" file is the whole file (a 416 names its size)
        bool isFile = false;  // a file: source, copied instead of read
        std::wstring filePath;
        std::wstring validator;  // of an HTTP answer: see ResumeValidator
    };

    // --- Downloader.cpp ------------------------------------------------------
    uint32_t Run(const std::vector<std::wstring>& urls, const std::wstring& target);
    uint32_t StartSession();
    void CloseSession();
    // Opens the first source that answers, moving on along the list as the
    // outcome allows (a server that cannot be reached or stalls: always,
    // within the budget; a missing file: only with mirrors). Before a URL is
    // tried again, pauses (PauseBeforeAttempt). Every attempt asks for the
    // rest of the ".part" file as it is at that moment (ResumeOffset).
    uint32_t OpenWithFailover(OpenResult& result);
    // One attempt; an answer's stated size is checked against ExactSize and
    // against the size known so far (another size: the file changed, the
    // ".part" file starts over).
    uint32_t OpenOne(const SourceUrl& url, OpenResult& result);
    uint64_t ResumeOffset() const;
    // Waits before repeated attempt `attempt` of a series (growing pauses,
    // AsyncChannel.h); false when the user cancelled meanwhile (answered
    // within 10 ms).
    // 0, DLERR_CANCELLED, or DLERR_TIME_LIMIT when the time limit passed
    // during the pause.
    uint32_t PauseBeforeAttempt(int attempt);
    bool Cancelled();
    // Sets the channel's deadline from the size known so far and the bytes
    // this transfer kept (DownloadTimeLimitMs).
    void UpdateDeadline();
    uint32_t Fail(uint32_t code, std::wstring_view what);

    // --- HttpExchange.cpp ----------------------------------------------------
    // Requests the file (Range and If-Range for a resume) and follows
    // redirects itself, each hop checked before anything is sent to it
    // (download/HttpExchange.cpp). A resume that the server refuses (416),
    // or answers from another offset than asked, empties the ".part" file
    // and starts over from byte 0 once.
    uint32_t OpenHttp(const SourceUrl& url, OpenResult& result);
    // The text of a response header of the current request (`index`: which
    // one of several); false when the answer has none.
    bool QueryHeader(DWORD query, std::wstring& value, DWORD index = 0);
    // The validator of the current answer (ResumeValidator).
    std::wstring AnswerValidator();
    // The proxy ("host:port") a request to `hop` goes through: the manual
    // proxy of the Internet Options for its scheme unless its host is among
    // the exceptions; empty for a direct request. (A proxy that only an
    // automatic configuration script names is not known here: its 407 is
    // taken as a server's error answer.)
    std::wstring ProxyFor(const SourceUrl& hop);
    // Checks the redirect of `hop` (begun as `source`) to `location`, the
    // `redirects`th of the request, and cracks it into `target`: 0, or why
    // it is not followed (12156, DLERR_INSECURE_REDIRECT), logged.
    uint32_t FollowRedirect(const SourceUrl& source, const SourceUrl& hop,
                            const std::wstring& location, DWORD status, int redirects,
                            SourceUrl& target);

    // --- FtpAndFileSources.cpp -----------------------------------------------
    uint32_t OpenFtp(const SourceUrl& url, OpenResult& result);
    // Sends an FTP command on a thread of its own (bounded like every call);
    // `reply` is the server's reply.
    uint32_t FtpCommand(const std::wstring& command, std::wstring& reply);
    uint32_t RestartFtpAt(uint64_t offset, bool& accepted);
    uint32_t OpenFileSource(const SourceUrl& url, OpenResult& result);
    uint32_t CopyFileSource(const std::wstring& path);
    DWORD OnCopyProgress(uint64_t total, uint64_t transferred, DWORD reason);

    // --- DataLoop.cpp --------------------------------------------------------
    uint32_t DataLoop(const OpenResult& opened);
    // The ".part" file takes an answer: from byte 0 it begins afresh (tag
    // first), otherwise the answer must start at the file's end.
    uint32_t Adopt(const OpenResult& answer);
    // Opens the source again for the rest; `proven` tells that the ".part"
    // file turned out to be complete.
    uint32_t Reconnect(bool& proven);
    // The current answer ended without an error; what its end means: 0 and
    // `complete` when the file is whole, else 0 (go on with a reconnect) or
    // the code of a break.
    uint32_t AnswerEnded(bool& complete);
    uint32_t PutInPlace();
    // Fails the transfer with DLERR_TIME_LIMIT (logged with the limit).
    uint32_t FailTimeLimit();

    DownloadSink* sink_;
    CredentialsProvider* credentials_;
    const WinInetApi* api_ = nullptr;

    HINTERNET session_ = nullptr;
    std::unique_ptr<AsyncChannel> channel_;
    std::wstring target_;
    std::wstring partPath_;
    PartFile part_;
    // The size of the whole file, once ExactSize, an answer or the ".part"
    // file's tag stated it; 0 = unknown.
    uint64_t knownTotal_ = 0;
    // Where the current answer's own bytes end (its stated length), 0 = when
    // its connection ends.
    uint64_t answerEnd_ = 0;
    bool answerFromStart_ = false;  // the current answer began at byte 0
    // The current source is FTP: its calls are made on threads of their own
    // and the end of its data is judged by the server's final reply.
    bool ftpSource_ = false;
    // The time limit: when the transfer began (moved on by pauses the user
    // made) and its floor and rate.
    DWORD startTick_ = 0;
    uint32_t floorSeconds_ = 0;
    uint32_t minRate_ = 0;
    uint64_t floorMs_ = 0;
    uint64_t rate_ = 0;
    // The share folder this transfer connected (with a URL's or entered user
    // name); the connection is removed when the transfer ends.
    std::wstring connectedShare_;
    std::vector<SourceUrl>* urls_ = nullptr;

    bool resume_ = true;
    int retryCount_ = 6;
    std::wstring acceptEncoding_;
    uint32_t expectedSize_ = 0;
    bool allowReconnect_ = true;
    uint32_t statusCode_ = 0;

    // Copy progress state.
    uint64_t copyReported_ = 0;
    DWORD copyLastTick_ = 0;
};

}  // namespace pravel
