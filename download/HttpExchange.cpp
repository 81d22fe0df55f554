// One HTTP(S) request of the transfer engine and what its answer means: the
// resume headers (Range, If-Range), the status, the size of the file
// (Content-Length and Content-Range as 64-bit numbers), the validator kept
// beside a new ".part" file, certificate problems and authentication.
#include <windows.h>
#include <wininet.h>

#include <vector>

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

// Reload, do not write to the cache, keep the connection, allow redirects
// between HTTP and HTTPS.
constexpr DWORD kRequestFlags = 0x8440C000u;

}  // namespace

bool Downloader::QueryHeader(DWORD query, std::wstring& value) {
    std::vector<wchar_t> buffer(260);
    for (int round = 0; round < 2; ++round) {
        DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (api_->HttpQueryInfoW(channel_->Handle(), query, buffer.data(), &bytes, nullptr)) {
            value.assign(buffer.data(), bytes / sizeof(wchar_t));
            value = value.c_str();  // up to the first NUL
            return true;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
        buffer.assign(bytes / sizeof(wchar_t) + 2, 0);
    }
    return false;
}

std::wstring Downloader::FinalUrl() {
    std::vector<wchar_t> buffer(1024);
    for (int round = 0; round < 2; ++round) {
        DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (api_->InternetQueryOptionW(channel_->Handle(), INTERNET_OPTION_URL, buffer.data(),
                                       &bytes))
            return std::wstring(buffer.data());
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::wstring();
        buffer.assign(bytes / sizeof(wchar_t) + 2, 0);
    }
    return std::wstring();
}

uint32_t Downloader::OpenHttp(const SourceUrl& url, uint64_t& offset, OpenResult& result) {
    bool restarted = false;
    for (;;) {
        channel_->Begin(AsyncChannel::kConnect);
        HINTERNET connection = api_->InternetConnectW(
            session_, url.host.c_str(), url.port, url.user.empty() ? nullptr : url.user.c_str(),
            url.password.empty() ? nullptr : url.password.c_str(), INTERNET_SERVICE_HTTP, 0,
            channel_->Context());
        uint32_t error = channel_->Finish(connection != nullptr, ::GetLastError());
        if (error != 0) return error;
        channel_->SetConnection(connection != nullptr
                                    ? connection
                                    : reinterpret_cast<HINTERNET>(channel_->AsyncResult()));

        const wchar_t* accept[] = {L"*/*", nullptr};
        DWORD flags = kRequestFlags;
        if (url.scheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
        channel_->Begin(AsyncChannel::kOpenRequest);
        HINTERNET request =
            api_->HttpOpenRequestW(channel_->Connection(), L"GET", (url.path + url.extra).c_str(),
                                   L"HTTP/1.0", nullptr, accept, flags, channel_->Context());
        error = channel_->Finish(request != nullptr, ::GetLastError());
        if (error != 0) {
            channel_->CloseAll();
            return error;
        }
        channel_->SetHandle(
            request != nullptr ? request : reinterpret_cast<HINTERNET>(channel_->AsyncResult()));

        std::wstring headers;
        bool conditional = false;
        if (offset != 0) {
            headers += L"Range: bytes=" + ToDecimalUnsigned(offset) + L"-\r\n";
            // Only the rest of the same file: a file that changed since the
            // ".part" file was begun comes whole (200).
            const std::wstring validator = ReadPartValidator(partPath_);
            if (!validator.empty()) {
                headers += L"If-Range: " + validator + L"\r\n";
                conditional = true;
            }
        }
        if (!acceptEncoding_.empty()) headers += L"Accept-Encoding: " + acceptEncoding_ + L"\r\n";
        if (credentials_ != nullptr) credentials_->BeginAttempts();

        bool restart = false;
        error = SendHttp(url, headers, conditional, offset, result, restart);
        if (error == 0) return 0;
        channel_->CloseAll();
        if (restart && !restarted && error != DLERR_CANCELLED && !channel_->Stalled()) {
            // The ".part" file cannot be continued: it is complete, longer
            // than the file, or the server would send other bytes.
            DiscardPart();
            offset = 0;
            restarted = true;
            continue;
        }
        return error;
    }
}

uint32_t Downloader::SendHttp(const SourceUrl& url, const std::wstring& headers, bool conditional,
                              uint64_t& offset, OpenResult& result, bool& restart) {
    const wchar_t* extraHeaders = headers.empty() ? nullptr : headers.c_str();
    for (;;) {
        channel_->Begin(AsyncChannel::kSendRequest);
        const BOOL sent = api_->HttpSendRequestW(
            channel_->Handle(), extraHeaders, extraHeaders ? static_cast<DWORD>(headers.size()) : 0,
            nullptr, 0);
        uint32_t error = channel_->Finish(sent != FALSE, ::GetLastError());
        if (IsCertificateError(error)) {
            Log({L"Download: certificate problem ", DecimalPiece(error), L" with ", url.shown});
            if (sink_ == nullptr || sink_->ReportError(nullptr, error, channel_->Handle()) != 0)
                return error;
            extraHeaders = nullptr;  // already on the request
            continue;
        }
        if (error != 0) return error;
        if (url.scheme == INTERNET_SCHEME_HTTPS) {
            // Redirects are followed between HTTP and HTTPS: a download
            // written as https:// must not arrive over plain HTTP. Nothing
            // of such an answer is used.
            const std::wstring final = FinalUrl();
            if (StartsWithIgnoreCaseAscii(final, L"http:")) {
                Log({L"Download: the HTTPS download ", url.shown,
                     L" was redirected to plain HTTP: ", RedactUrl(final)});
                return DLERR_INSECURE_REDIRECT;
            }
        }

        DWORD status = 0;
        DWORD size = sizeof(status);
        if (!api_->HttpQueryInfoW(channel_->Handle(),
                                  HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                                  nullptr))
            return ::GetLastError();
        statusCode_ = status;
        std::wstring text;
        uint64_t contentLength = 0;
        if (!QueryHeader(HTTP_QUERY_CONTENT_LENGTH, text) || !ParseDecimal64(text, contentLength))
            contentLength = 0;

        if (status == 206 || (status >= 200 && status < 300)) {
            std::wstring entityTag, lastModified;
            QueryHeader(HTTP_QUERY_ETAG, entityTag);
            QueryHeader(HTTP_QUERY_LAST_MODIFIED, lastModified);
            result.validator = ResumeValidator(entityTag, lastModified);
        }
        if (status == 206) {
            ContentRange range;
            const bool ranged =
                QueryHeader(HTTP_QUERY_CONTENT_RANGE, text) && ParseContentRange(text, range);
            if (ranged && range.first != offset) {
                // Appending these bytes would put them at the wrong place.
                Log({L"Download: the server answered from byte ", DecimalPiece(range.first),
                     L" instead of ", DecimalPiece(offset), L"; ", partPath_,
                     L" is deleted and the file starts over"});
                restart = true;
                return DLERR_HTTP_ERROR_STATUS;
            }
            if (ranged && range.totalKnown) {
                result.announced = range.total;
            } else {
                result.announced = contentLength != 0 ? contentLength + offset : 0;
            }
            return 0;
        }
        if (status >= 200 && status < 300) {
            // The whole file: whatever the ".part" file held, the file
            // starts over from this answer.
            result.announced = contentLength;
            if (offset != 0) {
                const wchar_t* why =
                    contentLength != 0 && offset >= contentLength
                        ? L" is at or beyond the end of the file"
                        : (conditional ? L" was begun from another version of the file"
                                       : L" cannot be continued (the server sends the whole file)");
                Log({L"Download: ", partPath_, std::wstring_view(why), L"; the file starts over"});
            }
            offset = 0;
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
        Log({L"Download: the server answered HTTP status ", DecimalPiece(status), L" for ",
             url.shown});
        if (status == 416 && offset != 0) {
            Log({L"Download: the server refuses the range at ", DecimalPiece(offset), L"; ",
                 partPath_, L" is deleted and the file starts over"});
            restart = true;
        }
        return DLERR_HTTP_ERROR_STATUS;
    }
}

bool Downloader::Authenticate(const SourceUrl& url, bool proxy) {
    const DWORD query = proxy ? HTTP_QUERY_PROXY_AUTHENTICATE : HTTP_QUERY_WWW_AUTHENTICATE;
    std::wstring challenge;
    QueryHeader(query, challenge);
    const std::wstring realm = RealmFromChallenge(challenge);

    std::wstring serverName;
    std::wstring place =
        ServerPlace(url.scheme == INTERNET_SCHEME_HTTPS ? L"https" : L"http", url.host, url.port);
    if (proxy) {
        place = ProxyPlace(std::wstring());
        INTERNET_PER_CONN_OPTIONW option = {};
        option.dwOption = INTERNET_PER_CONN_PROXY_SERVER;
        INTERNET_PER_CONN_OPTION_LISTW list = {};
        list.dwSize = sizeof(list);
        list.dwOptionCount = 1;
        list.pOptions = &option;
        DWORD listSize = sizeof(list);
        if (api_->InternetQueryOptionW(channel_->Connection(),
                                       INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &listSize) &&
            option.Value.pszValue != nullptr) {
            serverName = ProxyHostName(option.Value.pszValue);
            place = ProxyPlace(option.Value.pszValue);
            ::GlobalFree(option.Value.pszValue);
        }
    }
    Log({L"Download: ", std::wstring(proxy ? L"the proxy" : L"the server"),
         L" asks for credentials, realm \"", realm, L"\", for ", url.shown});

    std::wstring user, password;
    if (!AskForCredentials(credentials_, sink_, url.shown, realm, serverName, place, user,
                           password))
        return false;
    const DWORD userOption = proxy ? INTERNET_OPTION_PROXY_USERNAME : INTERNET_OPTION_USERNAME;
    const DWORD passwordOption = proxy ? INTERNET_OPTION_PROXY_PASSWORD : INTERNET_OPTION_PASSWORD;
    api_->InternetSetOptionW(channel_->Handle(), userOption, const_cast<wchar_t*>(user.c_str()),
                             static_cast<DWORD>(user.size()));
    api_->InternetSetOptionW(channel_->Handle(), passwordOption,
                             const_cast<wchar_t*>(password.c_str()),
                             static_cast<DWORD>(password.size()));
    return true;
}

}  // namespace pravel
