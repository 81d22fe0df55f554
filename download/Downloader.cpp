#include "download/Downloader.h"

#include <shlobj.h>

#include <memory>

#include "common/ErrorCodes.h"
#include "common/Text.h"
#include "diag/Logger.h"
#include "download/CredentialsProvider.h"
#include "download/DownloadSink.h"
#include "download/DownloaderParts.h"
#include "download/TransferText.h"

namespace pravel {

using namespace transfer;

namespace {

constexpr wchar_t kUserAgent[] = L"Quillon";
constexpr DWORD kReadBufferSize = 51200;
constexpr DWORD kPollMs = 10;
// How long a closing handle may take to report that it is closed.
constexpr DWORD kCloseWaitMs = 30000;
// Reload, do not write to the cache, keep the connection, allow redirects
// between HTTP and HTTPS.
constexpr DWORD kRequestFlags = 0x8440C000u;

std::wstring Hex(uint32_t code) {
    return FormatHResult(static_cast<int32_t>(code));
}

uint64_t FileSizeOf(HANDLE file) {
    LARGE_INTEGER size = {};
    return ::GetFileSizeEx(file, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
}

// Size of an existing ".part" file (0 when it is missing or cannot be opened).
uint32_t ExistingPartSize(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    return static_cast<uint32_t>(FileSizeOf(file.Get()));
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
    CloseAll();
    delete record_;
}

uint32_t Downloader::Download(const std::wstring& url, const std::wstring& target) {
    return Download(std::vector<std::wstring>{url}, target);
}

uint32_t Downloader::Download(const std::vector<std::wstring>& urls, const std::wstring& target) {
    const uint32_t result = Run(urls, target);
    CloseAll();
    return result;
}

bool Downloader::Cancelled() {
    return sink_ != nullptr && sink_->IsCancelled();
}

uint32_t Downloader::Fail(uint32_t code, std::wstring_view what) {
    if (code == DLERR_CANCELLED) {
        Log(L"Download cancelled: " + target_);
        return code;
    }
    std::wstring line = L"Download error " + Hex(code) + L" (" + ToDecimalUnsigned(code) + L"): ";
    Log(line.append(what));
    if (code != DLERR_NOT_MODIFIED && sink_ != nullptr) sink_->ReportError(nullptr, code, nullptr);
    return code;
}

uint32_t Downloader::Run(const std::vector<std::wstring>& urls, const std::wstring& target) {
    target_ = target;
    partPath_ = target + L".part";
    handle_ = nullptr;
    connection_ = nullptr;
    allowReconnect_ = true;
    statusCode_ = 0;

    api_ = &WinInet();
    if (!api_->Available()) {
        const char* missing = api_->FirstMissing();
        return Fail(ERROR_PROC_NOT_FOUND, L"wininet.dll or its function " +
                                              WidenLatin1(missing ? missing : "") +
                                              L" is not available");
    }

    std::vector<SourceUrl> sources;
    if (urls.empty()) return Fail(kUnrecognizedScheme, L"no source URL");
    for (const std::wstring& text : urls) {
        SourceUrl url;
        DWORD error = 0;
        if (!Crack(*api_, text, url, error)) return Fail(error, L"cannot crack URL " + text);
        switch (url.scheme) {
            case INTERNET_SCHEME_FTP:
            case INTERNET_SCHEME_HTTP:
            case INTERNET_SCHEME_HTTPS:
                break;
            case INTERNET_SCHEME_FILE:
                allowReconnect_ = false;
                break;
            default:
                return Fail(kUnrecognizedScheme, L"unsupported scheme in " + text);
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
        return Fail(DLERR_BAD_TARGET, L"target is not absolute: " + target_);

    uint32_t offset = 0;
    if (resume_ && ::GetFileAttributesW(partPath_.c_str()) != INVALID_FILE_ATTRIBUTES)
        offset = ExistingPartSize(partPath_);
    if (offset != 0) Log(L"Download resumes " + partPath_ + L" at " + ToDecimalUnsigned(offset));

    OpenResult opened;
    const uint32_t error = OpenWithFailover(offset, opened);
    if (Cancelled()) return Fail(DLERR_CANCELLED, target_);
    if (error != 0) return Fail(error, L"cannot open the source for " + target_);
    if (expectedSize_ != 0 && opened.announced != 0 && expectedSize_ != opened.announced)
        return Fail(DLERR_SIZE_MISMATCH,
                    L"the source announces " + ToDecimalUnsigned(opened.announced) +
                        L" bytes, expected " + ToDecimalUnsigned(expectedSize_));
    if (opened.isFile) return CopyFileSource(opened.filePath);
    return DataLoop(offset, opened.announced);
}

// --- session and asynchronous calls ------------------------------------------

uint32_t Downloader::StartSession() {
    if (const uint32_t error = CreateRecord(); error != 0) return error;
    session_ = api_->InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                                   INTERNET_FLAG_ASYNC);
    if (session_ == nullptr) return ::GetLastError();
    api_->InternetSetStatusCallbackW(session_, &Downloader::StatusCallback);
    return 0;
}

void Downloader::CloseInternetHandle(HINTERNET& handle) {
    if (handle == nullptr) return;
    const bool pending = operationPending_;
    operationPending_ = false;
    ::ResetEvent(record_->closingEvent.Get());
    api_->InternetCloseHandle(handle);
    handle = nullptr;
    // The callback must be done with the handle before the record is used
    // again: a pending operation completes (or is cancelled) first, then the
    // handle reports that it is closing. A cancel that left a call pending
    // does not wait: Windows cancels the call when its handle closes, Wine
    // lets it run until the server answers (a stalled server: for as long
    // as it stalls). Then, or when the closing is not reported in time, the
    // record (with the buffer a pending read writes to) stays with the old
    // handle and the transfer goes on with a new one.
    if (pending) {
        AbandonRecord();
        return;
    }
    if (::WaitForSingleObject(record_->completionEvent.Get(), kCloseWaitMs) != WAIT_OBJECT_0 ||
        ::WaitForSingleObject(record_->closingEvent.Get(), kCloseWaitMs) != WAIT_OBJECT_0) {
        Log(L"Download: an internet handle did not report its closing within " +
            ToDecimalUnsigned(kCloseWaitMs) + L" ms");
        AbandonRecord();
    }
}

void Downloader::AbandonRecord() {
    // The other open handles report to the same record: they are closed
    // without waiting as well.
    for (HINTERNET* other : {&handle_, &connection_}) {
        if (*other != nullptr) api_->InternetCloseHandle(*other);
        *other = nullptr;
    }
    record_ = nullptr;  // deliberately not freed: a late callback may still use it
    CreateRecord();
}

uint32_t Downloader::CreateRecord() {
    if (record_ == nullptr) record_ = new AsyncRecord();
    if (!record_->completionEvent)
        record_->completionEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!record_->closingEvent)
        record_->closingEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!record_->completionEvent || !record_->closingEvent) return ::GetLastError();
    return 0;
}

void Downloader::CloseAll() {
    if (api_ == nullptr) return;
    CloseInternetHandle(handle_);
    CloseInternetHandle(connection_);
    if (session_ != nullptr) {
        api_->InternetSetStatusCallbackW(session_, nullptr);
        api_->InternetCloseHandle(session_);
        session_ = nullptr;
    }
}

void Downloader::BeginAsync(int operation) {
    record_->completed = false;
    ::ResetEvent(record_->completionEvent.Get());
    record_->pendingOperation = operation;
}

uint32_t Downloader::FinishAsync(bool succeeded, DWORD error) {
    if (succeeded) {
        ::SetEvent(record_->completionEvent.Get());
        return 0;
    }
    if (error != ERROR_IO_PENDING) {
        ::SetEvent(record_->completionEvent.Get());
        return error == 0 ? ERROR_INTERNAL_ERROR : error;
    }
    while (!record_->completed) {
        if (Cancelled()) {
            operationPending_ = true;
            return DLERR_CANCELLED;
        }
        ::WaitForSingleObject(record_->completionEvent.Get(), kPollMs);
    }
    return record_->asyncResult != 0 ? 0 : record_->asyncError.load();
}

void CALLBACK Downloader::StatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info,
                                         DWORD) {
    if (context != 0) OnStatus(reinterpret_cast<AsyncRecord*>(context), status, info);
}

void Downloader::OnStatus(AsyncRecord* record_, DWORD status, LPVOID info) {
    switch (status) {
        case INTERNET_STATUS_CONNECTION_CLOSED:
            record_->connectionClosed = true;
            break;
        case INTERNET_STATUS_HANDLE_CLOSING:
            ::SetEvent(record_->closingEvent.Get());
            break;
        case INTERNET_STATUS_REQUEST_COMPLETE: {
            const auto* result = static_cast<const INTERNET_ASYNC_RESULT*>(info);
            record_->asyncError = result != nullptr ? result->dwError : ERROR_INTERNAL_ERROR;
            record_->asyncResult = result != nullptr ? result->dwResult : 0;
            const int operation = record_->pendingOperation;
            if (operation != kOpRead && operation != kOpSendRequest && operation != kOpQueryData)
                record_->lastResponseText = LastResponseText();
            record_->completed = true;
            ::SetEvent(record_->completionEvent.Get());
            break;
        }
        default:
            break;
    }
}

std::wstring Downloader::LastResponseText() {
    const WinInetApi& api = WinInet();
    DWORD error = 0;
    DWORD length = 0;
    api.InternetGetLastResponseInfoW(&error, nullptr, &length);
    if (length == 0) return std::wstring();
    std::vector<wchar_t> text(length + 2);
    length = static_cast<DWORD>(text.size());
    if (!api.InternetGetLastResponseInfoW(&error, text.data(), &length)) return std::wstring();
    return std::wstring(text.data());
}

// --- opening with failover ---------------------------------------------------

uint32_t Downloader::OpenWithFailover(uint32_t& offset, OpenResult& result) {
    std::vector<SourceUrl>& urls = *urls_;
    int budget = retryCount_ > static_cast<int>(urls.size()) - 1
                     ? retryCount_
                     : static_cast<int>(urls.size()) - 1;
    if (credentials_ != nullptr) credentials_->BeginAttempts();
    size_t index = 0;
    for (;;) {
        result = OpenResult();
        uint32_t tryOffset = offset;
        const uint32_t outcome = OpenOne(urls[index], tryOffset, result);
        if (outcome == 0) {
            offset = tryOffset;
            return 0;
        }
        Log(L"Download source failed with " + ToDecimalUnsigned(outcome) + L": " +
            urls[index].text);
        const bool always = outcome == kNameNotResolved || outcome == kCannotConnect;
        // A server error status moves on like a missing file: another mirror
        // may serve the file.
        const bool withMirrors = outcome == ERROR_PATH_NOT_FOUND || outcome == kExtendedError ||
                                 outcome == kItemNotFound || outcome == kFtpDropped ||
                                 outcome == DLERR_NOT_FOUND || outcome == DLERR_HTTP_ERROR_STATUS;
        if (budget <= 0 || !(always || (withMirrors && urls.size() > 1))) return outcome;
        if (Cancelled()) return DLERR_CANCELLED;
        --budget;
        index = (index + 1) % urls.size();
    }
}

uint32_t Downloader::OpenOne(const SourceUrl& url, uint32_t& offset, OpenResult& result) {
    CloseInternetHandle(handle_);
    CloseInternetHandle(connection_);
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

uint32_t Downloader::OpenHttp(const SourceUrl& url, uint32_t& offset, OpenResult& result) {
    bool restarted = false;
    for (;;) {
        BeginAsync(kOpConnect);
        HINTERNET connection = api_->InternetConnectW(
            session_, url.host.c_str(), url.port, url.user.empty() ? nullptr : url.user.c_str(),
            url.password.empty() ? nullptr : url.password.c_str(), INTERNET_SERVICE_HTTP, 0,
            Context());
        uint32_t error = FinishAsync(connection != nullptr, ::GetLastError());
        if (error != 0) return error;
        connection_ = connection != nullptr
                          ? connection
                          : reinterpret_cast<HINTERNET>(record_->asyncResult.load());

        const wchar_t* accept[] = {L"*/*", nullptr};
        DWORD flags = kRequestFlags;
        if (url.scheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
        BeginAsync(kOpOpenRequest);
        HINTERNET request =
            api_->HttpOpenRequestW(connection_, L"GET", (url.path + url.extra).c_str(), L"HTTP/1.0",
                                   nullptr, accept, flags, Context());
        error = FinishAsync(request != nullptr, ::GetLastError());
        if (error != 0) {
            CloseInternetHandle(connection_);
            return error;
        }
        handle_ =
            request != nullptr ? request : reinterpret_cast<HINTERNET>(record_->asyncResult.load());

        std::wstring headers;
        if (offset != 0) headers += L"Range: bytes=" + ToDecimalUnsigned(offset) + L"-\r\n";
        if (!acceptEncoding_.empty()) headers += L"Accept-Encoding: " + acceptEncoding_ + L"\r\n";
        if (credentials_ != nullptr) credentials_->BeginAttempts();

        bool restart = false;
        error = SendHttp(url, headers, offset, result, restart);
        if (error == 0) return 0;
        CloseInternetHandle(handle_);
        CloseInternetHandle(connection_);
        if (restart && !restarted) {
            // 416 to a resumed request: the ".part" file cannot be continued
            // (it is complete, longer than the file, or the file changed).
            Log(L"Download: the server refuses the range at " + ToDecimalUnsigned(offset) + L"; " +
                partPath_ + L" is deleted and the file starts over");
            ::DeleteFileW(partPath_.c_str());
            offset = 0;
            restarted = true;
            continue;
        }
        return error;
    }
}

uint32_t Downloader::SendHttp(const SourceUrl& url, const std::wstring& headers, uint32_t& offset,
                              OpenResult& result, bool& restart) {
    const wchar_t* extraHeaders = headers.empty() ? nullptr : headers.c_str();
    for (;;) {
        BeginAsync(kOpSendRequest);
        const BOOL sent = api_->HttpSendRequestW(
            handle_, extraHeaders, extraHeaders ? static_cast<DWORD>(headers.size()) : 0, nullptr,
            0);
        uint32_t error = FinishAsync(sent != FALSE, ::GetLastError());
        if (IsCertificateError(error)) {
            Log(L"Download: certificate problem " + ToDecimalUnsigned(error) + L" with " +
                url.text);
            if (sink_ == nullptr || sink_->ReportError(nullptr, error, handle_) != 0) return error;
            extraHeaders = nullptr;  // already on the request
            continue;
        }
        if (error != 0) return error;

        DWORD status = 0;
        DWORD size = sizeof(status);
        if (!api_->HttpQueryInfoW(handle_, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                                  &size, nullptr))
            return ::GetLastError();
        statusCode_ = status;
        DWORD contentLength = 0;
        size = sizeof(contentLength);
        if (!api_->HttpQueryInfoW(handle_, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER,
                                  &contentLength, &size, nullptr))
            contentLength = 0;

        if (status == 206) {
            if (contentLength != 0) {
                result.announced = contentLength + offset;
            } else {
                offset = 0;
                result.announced = 0;
            }
            return 0;
        }
        if (status >= 200 && status < 300) {
            result.announced = contentLength;
            if (contentLength != 0 && offset >= contentLength) return DLERR_OFFSET_BEYOND_END;
            offset = 0;  // the server ignored the range: start over
            return 0;
        }
        switch (status) {
            case 304:
                return DLERR_NOT_MODIFIED;
            case 403:
                return DLERR_FORBIDDEN;
            case 404:
            case 410:
                return DLERR_NOT_FOUND;
            case 401:
            case 407:
                if (!Authenticate(url, status == 407)) return DLERR_AUTH_REQUIRED;
                continue;  // headers unchanged
            default:
                break;
        }
        // Any other status is an error page, never the file.
        Log(L"Download: the server answered HTTP status " + ToDecimalUnsigned(status) + L" for " +
            url.text);
        if (status == 416 && offset != 0) restart = true;
        return DLERR_HTTP_ERROR_STATUS;
    }
}

bool Downloader::Authenticate(const SourceUrl& url, bool proxy) {
    const DWORD query = proxy ? HTTP_QUERY_PROXY_AUTHENTICATE : HTTP_QUERY_WWW_AUTHENTICATE;
    std::vector<wchar_t> buffer(260);
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    std::wstring challenge;
    if (api_->HttpQueryInfoW(handle_, query, buffer.data(), &bytes, nullptr)) {
        challenge = buffer.data();
    } else if (::GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        buffer.assign(bytes / sizeof(wchar_t) + 2, 0);
        bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (api_->HttpQueryInfoW(handle_, query, buffer.data(), &bytes, nullptr))
            challenge = buffer.data();
    }
    const std::wstring realm = RealmFromChallenge(challenge);

    std::wstring serverName;
    if (proxy) {
        INTERNET_PER_CONN_OPTIONW option = {};
        option.dwOption = INTERNET_PER_CONN_PROXY_SERVER;
        INTERNET_PER_CONN_OPTION_LISTW list = {};
        list.dwSize = sizeof(list);
        list.dwOptionCount = 1;
        list.pOptions = &option;
        DWORD listSize = sizeof(list);
        if (api_->InternetQueryOptionW(connection_, INTERNET_OPTION_PER_CONNECTION_OPTION, &list,
                                       &listSize) &&
            option.Value.pszValue != nullptr) {
            serverName = ProxyHostName(option.Value.pszValue);
            ::GlobalFree(option.Value.pszValue);
        }
    }
    Log(L"Download: " + std::wstring(proxy ? L"the proxy" : L"the server") +
        L" asks for credentials, realm \"" + realm + L"\", for " + url.text);

    std::wstring user, password;
    if (!AskForCredentials(credentials_, sink_, url.text, realm, serverName, user, password))
        return false;
    const DWORD userOption = proxy ? INTERNET_OPTION_PROXY_USERNAME : INTERNET_OPTION_USERNAME;
    const DWORD passwordOption = proxy ? INTERNET_OPTION_PROXY_PASSWORD : INTERNET_OPTION_PASSWORD;
    api_->InternetSetOptionW(handle_, userOption, const_cast<wchar_t*>(user.c_str()),
                             static_cast<DWORD>(user.size()));
    api_->InternetSetOptionW(handle_, passwordOption, const_cast<wchar_t*>(password.c_str()),
                             static_cast<DWORD>(password.size()));
    return true;
}

// --- data loop -----------------------------------------------------------------

uint32_t Downloader::DataLoop(uint32_t offset, uint32_t announced) {
    if (sink_ != nullptr) sink_->TransferStarting(1, announced, target_.c_str());
    if (Cancelled()) return Fail(DLERR_CANCELLED, target_);
    if (const uint32_t error = CreateFoldersOf(partPath_); error != 0)
        return Fail(error, L"cannot create the folder of " + partPath_);

    UniqueFile file(::CreateFileW(partPath_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  offset == 0 ? CREATE_ALWAYS : OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        if (Cancelled()) return Fail(DLERR_CANCELLED, target_);
        return Fail(error, L"cannot open " + partPath_);
    }
    if (offset != 0) {
        LARGE_INTEGER at = {};
        at.QuadPart = offset;
        // A ".part" file longer than the offset the server agreed to is cut.
        if (!::SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.Get()))
            return Fail(::GetLastError(), L"cannot continue " + partPath_);
    }
    if (sink_ != nullptr) sink_->BytesWritten(offset);

    static_assert(sizeof(AsyncRecord::buffer) == kReadBufferSize, "read buffer size");
    char* const buffer = record_->buffer;
    int idleReconnects = 0;    // reconnects in a row after which no byte came
    bool reconnected = false;  // whether any reconnect happened yet
    uint64_t sizeAtLastReconnect = 0;
    for (;;) {
        // How much can be read now.
        DWORD& available = record_->available;
        available = 0;
        BeginAsync(kOpQueryData);
        const BOOL queried = api_->InternetQueryDataAvailable(handle_, &available, 0, 0);
        uint32_t error = FinishAsync(queried != FALSE, ::GetLastError());
        if (error == 0 && !queried) {
            const uint32_t count = record_->asyncError;
            available = static_cast<int32_t>(count) > 0 ? count : available;
        }
        if (error == 0 && available != 0) {
            DWORD& read = record_->read;
            read = 0;
            const DWORD want = available < kReadBufferSize ? available : kReadBufferSize;
            BeginAsync(kOpRead);
            const BOOL done = api_->InternetReadFile(handle_, buffer, want, &read);
            error = FinishAsync(done != FALSE, ::GetLastError());
            if (error == 0 && !done) {
                const uint32_t count = record_->asyncError;
                read = static_cast<int32_t>(count) > 0 ? count : read;
            }
            if (error == 0 && read != 0) {
                DWORD written = 0;
                if (!::WriteFile(file.Get(), buffer, read, &written, nullptr) || written != read)
                    return Fail(::GetLastError(), L"cannot write " + partPath_);
                if (sink_ != nullptr) sink_->BytesWritten(read);
                while (sink_ != nullptr && sink_->IsPaused() && !sink_->IsCancelled())
                    ::Sleep(kPollMs);
                if (Cancelled()) return Fail(DLERR_CANCELLED, target_);
                continue;
            }
        }
        if (error == DLERR_CANCELLED) return Fail(error, target_);

        bool reconnect = false;
        if (error == 0) {
            // Nothing more is available.
            const uint64_t have = FileSizeOf(file.Get());
            if (announced == 0 || have >= announced) {
                file.Reset();
                return PutInPlace();
            }
            if (!allowReconnect_)
                return Fail(DLERR_INCOMPLETE, L"the source ended after " + ToDecimalUnsigned(have) +
                                                  L" of " + ToDecimalUnsigned(announced) +
                                                  L" bytes");
            reconnect = true;
        } else if (allowReconnect_ && (error == kTimeout || error == kConnectionAborted ||
                                       error == kConnectionReset || error == kDisconnected)) {
            reconnect = true;
        }
        if (!reconnect) return Fail(error, L"reading the source of " + target_);

        // A server that keeps breaking the connection without sending
        // anything new would be reconnected for ever.
        ::FlushFileBuffers(file.Get());
        const uint64_t have = FileSizeOf(file.Get());
        idleReconnects = reconnected && have == sizeAtLastReconnect ? idleReconnects + 1 : 0;
        reconnected = true;
        sizeAtLastReconnect = have;
        if (idleReconnects >= kMaxIdleReconnects)
            return Fail(DLERR_INCOMPLETE, ToDecimalUnsigned(kMaxIdleReconnects) +
                                              L" reconnects brought no new byte; " + partPath_ +
                                              L" is kept at " + ToDecimalUnsigned(have) +
                                              L" bytes");
        Log(L"Download reconnects after " + ToDecimalUnsigned(error) + L" at " +
            ToDecimalUnsigned(have) + L" bytes: " + target_);
        error = Reconnect(file.Get(), announced);
        if (error != 0) return Fail(error, L"reconnecting for " + target_);
    }
}

uint32_t Downloader::Reconnect(HANDLE file, uint32_t& announced) {
    const uint32_t size = static_cast<uint32_t>(FileSizeOf(file));
    uint32_t offset = resume_ ? size : 0;
    OpenResult opened;
    const uint32_t error = OpenWithFailover(offset, opened);
    if (Cancelled()) return DLERR_CANCELLED;
    if (error != 0) return error;
    if (size != 0 && size != offset) return kTimeout;
    announced = opened.announced;
    LARGE_INTEGER end = {};
    ::SetFilePointerEx(file, end, nullptr, FILE_END);
    return 0;
}

uint32_t Downloader::PutInPlace() {
    ::DeleteFileW(target_.c_str());
    if (!::MoveFileW(partPath_.c_str(), target_.c_str())) {
        if (!::CopyFileW(partPath_.c_str(), target_.c_str(), FALSE))
            return Fail(::GetLastError(), L"cannot put " + partPath_ + L" in place");
        ::DeleteFileW(partPath_.c_str());
    }
    Log(L"Download complete: " + target_);
    if (sink_ != nullptr) sink_->TransferFinished(1, 0);
    return 0;
}

}  // namespace pravel
