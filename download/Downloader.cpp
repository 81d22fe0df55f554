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

}  // namespace

std::wstring transfer::ShownUncracked(const std::wstring& text) {
    // Its user information cannot be told apart reliably: none of it shows.
    if (text.find(L'@') != std::wstring::npos)
        return L"(a URL with a user name that cannot be read)";
    return ServerText(text);
}

bool transfer::CrackUrl(const WinInetApi& api, const std::wstring& text, Downloader::SourceUrl& url,
                        DWORD& error) {
    // One buffer, five fields of the URL's length each.
    const DWORD room = static_cast<DWORD>(text.size() + 1);
    std::wstring buffer(5 * static_cast<size_t>(room), L'\0');
    wchar_t* const host = &buffer[0];
    wchar_t* const path = host + room;
    wchar_t* const extra = path + room;
    wchar_t* const user = extra + room;
    wchar_t* const password = user + room;
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = room;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = room;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = room;
    parts.lpszUserName = user;
    parts.dwUserNameLength = room;
    parts.lpszPassword = password;
    parts.dwPasswordLength = room;
    if (!api.InternetCrackUrlW(text.c_str(), 0, 0, &parts)) {
        error = ::GetLastError();
        if (error == 0) error = ERROR_INVALID_PARAMETER;
        return false;
    }
    // The pair sent is the one the URL's own text holds where RedactUrl
    // hides it. A URL whose user information the internet library reads
    // otherwise (a "@", "#" or "\\" in a password) is refused: what it would
    // send and what the log hides could differ.
    // (file: locations keep the library's reading: their paths may hold
    // the characters that end the user information here.)
    std::wstring ownUser, ownPassword;
    UrlUserInfo(text, ownUser, ownPassword);
    if (parts.nScheme == INTERNET_SCHEME_FILE) {
        ownUser = user;
        ownPassword = password;
    } else if (ownUser != user || ownPassword != password) {
        error = ERROR_INTERNET_INVALID_URL;
        return false;
    }
    url.text = text;
    url.shown = RedactUrl(text);
    url.password = PercentDecode(ownPassword);
    url.scheme = parts.nScheme;
    url.port = parts.nPort;
    url.host = host;
    url.path = path;
    url.extra = extra;
    url.user = PercentDecode(ownUser);
    return true;
}

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
    part_.Close();
    if (!connectedShare_.empty()) {
        // Only a connection this transfer made; nothing is left behind.
        if (const DWORD error = DisconnectShare(connectedShare_.c_str()); error != 0)
            Log({"Download: cannot remove the connection to ", connectedShare_, " (",
                 DecimalPiece(error), ")"});
        connectedShare_.clear();
    }
    return result;
}

bool Downloader::Cancelled() {
    return sink_ != nullptr && sink_->IsCancelled();
}

uint32_t Downloader::Fail(uint32_t code, std::wstring_view what) {
    if (code == DLERR_CANCELLED) {
        Log({"Download cancelled: ", target_});
        return code;
    }
    Log({"Download error ", Hex(code), " (", DecimalPiece(code), "): ", what});
    if (code != DLERR_NOT_MODIFIED && sink_ != nullptr) sink_->ReportError(nullptr, code, nullptr);
    return code;
}

uint64_t Downloader::ResumeOffset() const {
    return resume_ ? part_.Size() : 0;
}

uint32_t Downloader::Run(const std::vector<std::wstring>& urls, const std::wstring& target) {
    target_ = target;
    partPath_ = target + L".part";
    knownTotal_ = 0;
    answerEnd_ = 0;
    ftpSource_ = false;
    allowReconnect_ = true;
    statusCode_ = 0;
    // The time limit counts from here.
    const TransferTimings timings = CurrentTransferTimings();
    startTick_ = ::GetTickCount();
    floorMs_ = floorSeconds_ != 0 ? uint64_t{floorSeconds_} * 1000 : timings.timeLimitFloorMs;
    rate_ = minRate_ != 0 ? minRate_ : timings.minRate;

    api_ = &WinInet();
    if (!api_->Available()) {
        const char* missing = api_->FirstMissing();
        return Fail(ERROR_PROC_NOT_FOUND,
                    Concat({"wininet.dll or its function ", WidenLatin1(missing ? missing : ""),
                            " is not available"}));
    }

    std::vector<SourceUrl> sources;
    if (urls.empty()) return Fail(kUnrecognizedScheme, L"no source URL");
    for (const std::wstring& text : urls) {
        SourceUrl url;
        DWORD error = 0;
        if (!CrackUrl(*api_, text, url, error))
            return Fail(error, Concat({"cannot crack URL ", ShownUncracked(text)}));
        switch (url.scheme) {
            case INTERNET_SCHEME_FTP:
            case INTERNET_SCHEME_HTTP:
            case INTERNET_SCHEME_HTTPS:
                break;
            case INTERNET_SCHEME_FILE:
                allowReconnect_ = false;
                break;
            default:
                return Fail(kUnrecognizedScheme, Concat({"unsupported scheme in ", url.shown}));
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
        return Fail(DLERR_BAD_TARGET, Concat({"target is not absolute: ", target_}));

    // What an earlier run left: continued only with its tag.
    bool dropped = false;
    if (const uint32_t error = part_.Load(partPath_, resume_, dropped); error != 0)
        return Fail(error, Concat({"cannot open ", partPath_}));
    if (dropped) Log({"Download: ", partPath_, " has no valid tag; the file starts over"});
    knownTotal_ = part_.Total();
    if (expectedSize_ != 0) {
        // ExactSize is the size from the first request on.
        if (knownTotal_ != 0 && knownTotal_ != expectedSize_) {
            Log({"Download: ", partPath_, " was begun for ", DecimalPiece(knownTotal_),
                 " bytes, ExactSize is ", DecimalPiece(expectedSize_), "; the file starts over"});
            part_.Discard();
        }
        knownTotal_ = expectedSize_;
    }
    UpdateDeadline();
    if (part_.Size() != 0)
        Log({"Download resumes ", partPath_, " at ", DecimalPiece(part_.Size())});

    OpenResult opened;
    const uint32_t error = OpenWithFailover(opened);
    if (Cancelled()) return Fail(DLERR_CANCELLED, target_);
    if (error != 0) return Fail(error, Concat({"cannot open the source for ", target_}));
    if (opened.isFile) {
        // A copy never resumes: nothing of it may look like a ".part" file
        // to continue.
        part_.Close();
        part_.Discard();
        return CopyFileSource(opened.filePath);
    }
    return DataLoop(opened);
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

uint32_t Downloader::PauseBeforeAttempt(int attempt) {
    const uint32_t pause = PauseBeforeAttemptMs(CurrentTransferTimings(), attempt);
    Log({"Download: waiting ", DecimalPiece(pause), " ms before the next attempt"});
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (Cancelled()) return DLERR_CANCELLED;
        if (channel_->DeadlinePassed()) return DLERR_TIME_LIMIT;
        if (::GetTickCount() - start >= pause) return 0;
        ::Sleep(kPollMs);
    }
}

void Downloader::UpdateDeadline() {
    channel_->SetDeadline(startTick_,
                          DownloadTimeLimitMs(knownTotal_, part_.Appended(), floorMs_, rate_));
}

uint32_t Downloader::OpenWithFailover(OpenResult& result) {
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
        const uint32_t outcome = OpenOne(urls[index], result);
        ++attempts;
        if (outcome == 0 || outcome == DLERR_CANCELLED || outcome == DLERR_TIME_LIMIT)
            return outcome;
        Log({"Download source failed with ", DecimalPiece(outcome), ": ", urls[index].shown});
        // A server that cannot be reached, or whose connection broke or
        // stalled before it answered, is tried again.
        // So is one whose answer cannot be part of the file.
        const bool always = outcome == kNameNotResolved || outcome == kCannotConnect ||
                            outcome == kInvalidResponse || outcome == DLERR_UNUSABLE_ANSWER ||
                            IsBrokenConnection(outcome);
        // A server error status moves on like a missing file: another mirror
        // may serve the file.
        const bool withMirrors = outcome == ERROR_PATH_NOT_FOUND || outcome == kExtendedError ||
                                 outcome == kItemNotFound || outcome == kFtpDropped ||
                                 outcome == DLERR_NOT_FOUND || outcome == DLERR_HTTP_ERROR_STATUS ||
                                 outcome == DLERR_INSECURE_REDIRECT || outcome == kRedirectFailed;
        if (budget <= 0 || !(always || (withMirrors && urls.size() > 1))) return outcome;
        if (Cancelled()) return DLERR_CANCELLED;
        --budget;
        index = (index + 1) % urls.size();
        // Every URL was tried once: wait before trying one again, so that a
        // network outage of a few seconds does not use up the attempts.
        if (attempts >= urls.size()) {
            if (const uint32_t stop = PauseBeforeAttempt(pauses++); stop != 0) return stop;
        }
    }
}

uint32_t Downloader::OpenOne(const SourceUrl& url, OpenResult& result) {
    for (;;) {
        channel_->CloseAll();
        // FTP calls may block (Wine): each is made on a thread of its own.
        ftpSource_ = url.scheme == INTERNET_SCHEME_FTP;
        channel_->SetBlockingCalls(ftpSource_);
        answerEnd_ = 0;
        uint32_t error = 0;
        switch (url.scheme) {
            case INTERNET_SCHEME_HTTP:
            case INTERNET_SCHEME_HTTPS:
                error = OpenHttp(url, result);
                break;
            case INTERNET_SCHEME_FTP:
                error = OpenFtp(url, result);
                break;
            default:
                error = OpenFileSource(url, result);
                break;
        }
        if (error != 0 || result.total == 0) return error;
        if (expectedSize_ != 0 && result.total != expectedSize_) {
            Log({"Download: the source announces ", DecimalPiece(result.total),
                 " bytes, ExactSize is ", DecimalPiece(expectedSize_)});
            return DLERR_SIZE_MISMATCH;
        }
        if (result.start == 0 || knownTotal_ == 0 || result.total == knownTotal_) {
            knownTotal_ = result.total;
            UpdateDeadline();
            return 0;
        }
        // The rest of another file: the one behind the URL changed size.
        Log({"Download: the file now has ", DecimalPiece(result.total), " bytes instead of ",
             DecimalPiece(knownTotal_), "; ", partPath_, " starts over"});
        part_.Discard();
        knownTotal_ = expectedSize_;
        result = OpenResult();
    }
}

}  // namespace pravel
