// The transfer engine: fetches one file from an ordered list of equivalent
// source URLs (HTTP, HTTPS, FTP, file: paths and shares) into `target`,
// through `target` + ".part" so that a broken or cancelled transfer resumes
// on the next run. WinINet runs in asynchronous mode: every call that may
// pend is started and the calling thread polls a completion event in 10 ms
// steps while asking the sink whether the user cancelled.
//
// Result of Download: 0, a Win32 or WinINet error, or a DLERR_* status of
// common/ErrorCodes.h. Every failure except DLERR_CANCELLED and
// DLERR_NOT_MODIFIED is reported once through the sink's ReportError and
// logged. The ".part" file survives every failure; the target is replaced
// only when the whole file is present.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/Handles.h"

namespace pravel {

class DownloadSink;
class CredentialsProvider;

class Downloader {
  public:
    // Either pointer may be null: no reports and no cancel without a sink,
    // no credentials without a provider.
    Downloader(DownloadSink* sink, CredentialsProvider* credentials);
    ~Downloader();
    Downloader(const Downloader&) = delete;
    Downloader& operator=(const Downloader&) = delete;

    // 0 = unknown. A source that announces a different size fails with
    // DLERR_SIZE_MISMATCH.
    void SetExpectedSize(uint32_t size) { expectedSize_ = size; }
    // Sent as "Accept-Encoding" to HTTP servers when non-empty.
    void SetAcceptEncoding(const std::wstring& value) { acceptEncoding_ = value; }
    // On by default: an existing ".part" file is continued.
    void SetResume(bool resume) { resume_ = resume; }

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

    // Reconnects that bring no new byte, in a row, before DLERR_INCOMPLETE.
    static constexpr int kMaxIdleReconnects = 5;

    struct SourceUrl;  // a cracked source URL (internal)

  private:
    struct OpenResult {
        uint32_t announced = 0;  // size the source announced, 0 = unknown
        bool isFile = false;     // a file: source, copied instead of read
        std::wstring filePath;
    };

    uint32_t Run(const std::vector<std::wstring>& urls, const std::wstring& target);
    uint32_t StartSession();
    void CloseAll();
    void CloseInternetHandle(HINTERNET& handle);
    uint32_t CreateRecord();
    void AbandonRecord();

    // Asynchronous calls: BeginAsync before the call, FinishAsync with the
    // call's immediate result and GetLastError().
    void BeginAsync(int operation);
    uint32_t FinishAsync(bool succeeded, DWORD error);
    static void CALLBACK StatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status,
                                        LPVOID info, DWORD infoLength);
    static std::wstring LastResponseText();

    uint32_t OpenWithFailover(uint32_t& offset, OpenResult& result);
    uint32_t OpenOne(const SourceUrl& url, uint32_t& offset, OpenResult& result);
    uint32_t OpenHttp(const SourceUrl& url, uint32_t& offset, OpenResult& result);
    uint32_t SendHttp(const SourceUrl& url, const std::wstring& headers, uint32_t& offset,
                      OpenResult& result, bool& restart);
    bool Authenticate(const SourceUrl& url, bool proxy);
    uint32_t OpenFtp(const SourceUrl& url, uint32_t& offset, OpenResult& result);
    uint32_t ConnectFtp(const SourceUrl& url, const std::wstring& user,
                        const std::wstring& password);
    uint32_t RestartFtpAt(uint32_t offset, bool& accepted);
    uint32_t OpenFileSource(const SourceUrl& url, uint32_t& offset, OpenResult& result);

    uint32_t DataLoop(uint32_t offset, uint32_t announced);
    uint32_t Reconnect(HANDLE file, uint32_t& announced);
    uint32_t CopyFileSource(const std::wstring& path);
    uint32_t PutInPlace();
    DWORD OnCopyProgress(uint64_t total, uint64_t transferred, DWORD reason);

    bool Cancelled();
    uint32_t Fail(uint32_t code, std::wstring_view what);

    DownloadSink* sink_;
    CredentialsProvider* credentials_;
    const struct WinInetApi* api_ = nullptr;

    HINTERNET session_ = nullptr;
    HINTERNET connection_ = nullptr;
    HINTERNET handle_ = nullptr;
    std::wstring target_;
    std::wstring partPath_;
    std::vector<SourceUrl>* urls_ = nullptr;

    // The completion record and everything a pending WinINet call may still
    // write to (the read buffer and the counts). It is owned by the
    // Downloader; a cancel that leaves a call pending (Wine does not abort a
    // pending read when its handle closes) abandons it to that call instead
    // of freeing it, so a late completion never writes to freed memory.
    struct AsyncRecord {
        std::atomic<uint32_t> asyncError{0};
        std::atomic<uintptr_t> asyncResult{0};
        std::atomic<int> pendingOperation{0};
        std::atomic<bool> completed{false};
        std::atomic<bool> connectionClosed{false};
        std::wstring lastResponseText;
        UniqueHandle completionEvent;
        UniqueHandle closingEvent;
        DWORD available = 0;
        DWORD read = 0;
        char buffer[51200];
    };
    static void OnStatus(AsyncRecord* record, DWORD status, LPVOID info);
    DWORD_PTR Context() const { return reinterpret_cast<DWORD_PTR>(record_); }

    AsyncRecord* record_ = nullptr;
    bool operationPending_ = false;  // a wait was left by a cancel

    bool resume_ = true;
    UniqueHandle completionEvent_;
    UniqueHandle closingEvent_;
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
