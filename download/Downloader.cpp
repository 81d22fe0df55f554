// The transfer's steps: the URL list, the session, opening with failover and
// the pauses between repeated attempts.
#include "download/Downloader.h"

#include <shlobj.h>

#include "common/ErrorCodes.h"
#include "common/Text.h"
#include "diag/Logger.h"
#include "download/CredentialsProvider.h"
#include "download/DownloadSink.h"
#include "download/DownloaderParts.h"
#include "download/PartFile.h"
#include "download/TransferText.h"

namespace pravel {

using namespace transfer;

namespace {

constexpr wchar_t kUserAgent[] = L"Quillon";
constexpr DWORD kPollMs = 10;

std::wstring Hex(uint32_t code) {
    return FormatHResult(static_cast<int32_t>(code));
}

bool Crack(const WinInetApi& api, const std::wstring& text, Downloader::SourceUrl& url,
           DWORD& error) {
    std::vector<wchar_t> host(text.size() + 1), path(text.size() + 1), extra(text.size() + 1),
        user(text.size() + 1), password(text.size() + 1);
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host.data();
    parts.dwHostNameLength = static_cast<DWORD>(host.size());
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
    parts.lpszUserName = user.data();
    parts.dwUserNameLength = static_cast<DWORD>(user.size());
    parts.lpszPassword = password.data();
    parts.dwPasswordLength = static_cast<DWORD>(password.size());
    if (!api.InternetCrackUrlW(text.c_str(), 0, 0, &parts)) {
        error = ::GetLastError();
        if (error == 0) error = ERROR_INVALID_PARAMETER;
        return false;
    }
    url.text = text;
    // The password never reaches the log, in whatever form it was written.
    url.shown = RedactUrl(text);
    for (const std::wstring& secret :
         {std::wstring(password.data()), PercentDecode(password.data())}) {
        for (size_t at; !secret.empty() && (at = url.shown.find(secret)) != std::wstring::npos;)
            url.shown.replace(at, secret.size(), L"***");
    }
    url.scheme = parts.nScheme;
    url.port = parts.nPort;
    url.host = host.data();
    url.path = path.data();
    url.extra = extra.data();
    url.user = PercentDecode(user.data());
    url.password = PercentDecode(password.data());
    return true;
}

}  // namespace

uint32_t transfer::CreateFoldersOf(const std::wstring& path) {
    const std::wstring folder = FolderOf(path);
    if (folder.empty() || folder.back() == L':') return 0;
    if (::GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return 0;
    const int result = ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (result == ERROR_SUCCESS || result == ERROR_ALREADY_EXISTS || result == ERROR_FILE_EXISTS)
        return 0;
    return static_cast<uint32_t>(result);
}

Downloader::Downloader(DownloadSink* sink, CredentialsProvider* credentials)
    : sink_(sink), credentials_(credentials) {}

Downloader::~Downloader() {
    CloseSession();
}

uint32_t Downloader::Download(const std::wstring& url, const std::wstring& target) {
    return Download(std::vector<std::wstring>{url}, target);
}

uint32_t Downloader::Download(const std::vector<std::wstring>& urls, const std::wstring& target) {
    const uint32_t result = Run(urls, target);
    CloseSession();
    if (!connectedShare_.empty()) {
        // Only a connection this transfer made; nothing is left behind.
        if (const DWORD error = DisconnectShare(connectedShare_.c_str()); error != 0)
            Log({L"Download: cannot remove the connection to ", connectedShare_, L" (",
                 DecimalPiece(error), L")"});
        connectedShare_.clear();
    }
    return result;
}

bool Downloader::Cancelled() {
    return sink_ != nullptr && sink_->IsCancelled();
}

uint32_t Downloader::Fail(uint32_t code, std::wstring_view what) {
    if (code == DLERR_CANCELLED) {
        Log({L"Download cancelled: ", target_});
        return code;
    }
    std::wstring line = L"Download error " + Hex(code) + L" (" + ToDecimalUnsigned(code) + L"): ";
    Log(line.append(what));
    if (code != DLERR_NOT_MODIFIED && sink_ != nullptr) sink_->ReportError(nullptr, code, nullptr);
    return code;
}

void Downloader::DiscardPart() {
    if (partFile_ == nullptr) {
        DeletePartFiles(partPath_);
        return;
    }
    LARGE_INTEGER start = {};
    if (::SetFilePointerEx(partFile_, start, nullptr, FILE_BEGIN)) ::SetEndOfFile(partFile_);
}

uint32_t Downloader::Run(const std::vector<std::wstring>& urls, const std::wstring& target) {
    target_ = target;
    partPath_ = target + L".part";
    partFile_ = nullptr;
    allowReconnect_ = true;
    statusCode_ = 0;

    api_ = &WinInet();
    if (!api_->Available()) {
        const char* missing = api_->FirstMissing();
        return Fail(ERROR_PROC_NOT_FOUND,
                    Concat({L"wininet.dll or its function ", WidenLatin1(missing ? missing : ""),
                            L" is not available"}));
    }

    std::vector<SourceUrl> sources;
    if (urls.empty()) return Fail(kUnrecognizedScheme, L"no source URL");
    for (const std::wstring& text : urls) {
        SourceUrl url;
        DWORD error = 0;
        if (!Crack(*api_, text, url, error))
            return Fail(error, Concat({L"cannot crack URL ", RedactUrl(text)}));
        switch (url.scheme) {
            case INTERNET_SCHEME_FTP:
            case INTERNET_SCHEME_HTTP:
            case INTERNET_SCHEME_HTTPS:
                break;
            case INTERNET_SCHEME_FILE:
                allowReconnect_ = false;
                break;
            default:
                return Fail(kUnrecognizedScheme, Concat({L"unsupported scheme in ", url.shown}));
        }
        sources.push_back(std::move(url));
    }
    urls_ = &sources;
    struct ClearList {
        std::vector<SourceUrl>*& list;
        ~ClearList() { list = nullptr; }
    } clearList{urls_};

    if (const uint32_t error = StartSession(); error != 0)
        return Fail(error, L"cannot open the internet session");

    if (!IsAbsoluteTarget(target_))
        return Fail(DLERR_BAD_TARGET, Concat({L"target is not absolute: ", target_}));

    uint64_t offset = 0;
    if (resume_ && ::GetFileAttributesW(partPath_.c_str()) != INVALID_FILE_ATTRIBUTES)
        offset = PartFileSize(partPath_);
    if (offset != 0) Log({L"Download resumes ", partPath_, L" at ", DecimalPiece(offset)});

    OpenResult opened;
    const uint32_t error = OpenWithFailover(offset, opened);
    if (Cancelled()) return Fail(DLERR_CANCELLED, target_);
    if (error != 0) return Fail(error, Concat({L"cannot open the source for ", target_}));
    if (expectedSize_ != 0 && opened.announced != 0 && expectedSize_ != opened.announced)
        return Fail(DLERR_SIZE_MISMATCH,
                    Concat({L"the source announces ", DecimalPiece(opened.announced),
                            L" bytes, expected ", DecimalPiece(expectedSize_)}));
    if (opened.isFile) return CopyFileSource(opened.filePath);
    return DataLoop(offset, opened);
}

// --- session -------------------------------------------------------------------

uint32_t Downloader::StartSession() {
    channel_ = std::make_unique<AsyncChannel>(*api_, sink_);
    if (const uint32_t error = channel_->Init(); error != 0) return error;
    session_ = api_->InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                                   INTERNET_FLAG_ASYNC);
    if (session_ == nullptr) return ::GetLastError();
    api_->InternetSetStatusCallbackW(session_, &AsyncChannel::StatusCallback);
    return 0;
}

void Downloader::CloseSession() {
    if (channel_) channel_->CloseAll();
    if (session_ != nullptr) {
        api_->InternetSetStatusCallbackW(session_, nullptr);
        api_->InternetCloseHandle(session_);
        session_ = nullptr;
    }
    channel_.reset();
}

// --- opening with failover ---------------------------------------------------

bool Downloader::PauseBeforeAttempt(int attempt) {
    const uint32_t pause = PauseBeforeAttemptMs(CurrentTransferTimings(), attempt);
    Log({L"Download: waiting ", DecimalPiece(pause), L" ms before the next attempt"});
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < pause) {
        if (Cancelled()) return false;
        ::Sleep(kPollMs);
    }
    return !Cancelled();
}

uint32_t Downloader::OpenWithFailover(uint64_t& offset, OpenResult& result) {
    std::vector<SourceUrl>& urls = *urls_;
    int budget = retryCount_ > static_cast<int>(urls.size()) - 1
                     ? retryCount_
                     : static_cast<int>(urls.size()) - 1;
    if (credentials_ != nullptr) credentials_->BeginAttempts();
    size_t index = 0;
    size_t attempts = 0;  // in this series
    int pauses = 0;
    for (;;) {
        result = OpenResult();
        uint64_t tryOffset = offset;
        const uint32_t outcome = OpenOne(urls[index], tryOffset, result);
        ++attempts;
        if (outcome == 0) {
            offset = tryOffset;
            return 0;
        }
        if (outcome == DLERR_CANCELLED) return outcome;
        Log({L"Download source failed with ", DecimalPiece(outcome), L": ", urls[index].shown});
        // A server that cannot be reached, or whose connection broke or
        // stalled before it answered, is tried again.
        const bool always =
            outcome == kNameNotResolved || outcome == kCannotConnect || IsBrokenConnection(outcome);
        // A server error status moves on like a missing file: another mirror
        // may serve the file.
        const bool withMirrors = outcome == ERROR_PATH_NOT_FOUND || outcome == kExtendedError ||
                                 outcome == kItemNotFound || outcome == kFtpDropped ||
                                 outcome == DLERR_NOT_FOUND || outcome == DLERR_HTTP_ERROR_STATUS ||
                                 outcome == DLERR_INSECURE_REDIRECT;
        if (budget <= 0 || !(always || (withMirrors && urls.size() > 1))) return outcome;
        if (Cancelled()) return DLERR_CANCELLED;
        --budget;
        index = (index + 1) % urls.size();
        // Every URL was tried once: wait before trying one again, so that a
        // network outage of a few seconds does not use up the attempts.
        if (attempts >= urls.size() && !PauseBeforeAttempt(pauses++)) return DLERR_CANCELLED;
    }
}

uint32_t Downloader::OpenOne(const SourceUrl& url, uint64_t& offset, OpenResult& result) {
    channel_->CloseAll();
    switch (url.scheme) {
        case INTERNET_SCHEME_HTTP:
        case INTERNET_SCHEME_HTTPS:
            return OpenHttp(url, offset, result);
        case INTERNET_SCHEME_FTP:
            return OpenFtp(url, offset, result);
        default:
            return OpenFileSource(url, offset, result);
    }
}

}  // namespace pravel
