// One HTTP(S) request of the transfer engine and what its answer means: the
// resume headers (Range, If-Range), the status, the size of the file
// (Content-Length and Content-Range as 64-bit numbers), the validator kept
// with a new ".part" file, certificate problems, redirects and credentials.
//
// Redirects are followed here, not by WinINet (INTERNET_FLAG_NO_AUTO_REDIRECT),
// at most Downloader::kMaxRedirects of them, and each hop is checked before
// anything is sent to it: a download written as https:// never sends a
// request over plain HTTP (DLERR_INSECURE_REDIRECT), and only HTTP and HTTPS
// are followed (12156 otherwise, and after too many hops).
//
// Credentials belong to a place (scheme, host, port; CredentialPlace): they
// are looked up, asked for (naming the host that asks) and sent only for the
// hop whose place demands them. WinINet keeps Basic credentials it applied
// itself per host name and offers them unasked to later requests of that
// host, also over plain HTTP or another port. So WinINet never applies
// Basic credentials here: every request is made without its authentication
// (INTERNET_FLAG_NO_AUTH) and carries the Authorization header this code
// built for that place. Other schemes (NTLM, Negotiate, Digest), which never
// send the password itself, and proxies (one place for every request, also
// the tunnel of an HTTPS request) are left to WinINet with the pair set on
// that request alone.
#include <windows.h>
#include <wininet.h>

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

// Reload, do not write to the cache, keep the connection, no redirects of
// its own.
constexpr DWORD kRequestFlags = 0x8440C000u | INTERNET_FLAG_NO_AUTO_REDIRECT;

bool IsRedirect(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::wstring PlaceOf(const Downloader::SourceUrl& url) {
    return ServerPlace(url.scheme == INTERNET_SCHEME_HTTPS ? L"https" : L"http", url.host,
                       url.port);
}

bool SamePlace(const Downloader::SourceUrl& a, const Downloader::SourceUrl& b) {
    return PlaceOf(a) == PlaceOf(b);
}

}  // namespace

bool Downloader::QueryHeader(DWORD query, std::wstring& value, DWORD index) {
    std::wstring buffer(260, L'\0');
    for (int round = 0; round < 2; ++round) {
        DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        DWORD at = index;
        if (api_->HttpQueryInfoW(channel_->Handle(), query, &buffer[0], &bytes, &at)) {
            buffer.resize(bytes / sizeof(wchar_t));
            value = buffer.c_str();  // up to the first NUL
            return true;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
        buffer.assign(bytes / sizeof(wchar_t) + 2, L'\0');
    }
    return false;
}

uint32_t Downloader::OpenHttp(const SourceUrl& source, OpenResult& result) {
    if (credentials_ != nullptr) credentials_->BeginAttempts();
    // The URL asked now: the source, or where redirects led (two slots, the
    // next hop cracked into the one not in use).
    SourceUrl slots[2];
    const SourceUrl* hop = &source;
    std::wstring authorization;             // the Basic header for the hop's place
    std::wstring user, password;            // for WinINet: a server scheme other than Basic
    std::wstring proxyUser, proxyPassword;  // for WinINet: the proxy
    bool urlPairTried = false;
    bool startedOver = false;
    int redirects = 0;
    for (;;) {
        channel_->CloseAll();
        uint32_t error =
            channel_->Connect(session_, hop->host, hop->port, L"", L"", INTERNET_SERVICE_HTTP, 0);
        if (error != 0) return error;

        const wchar_t* accept[] = {L"*/*", nullptr};
        DWORD flags = kRequestFlags;
        if (user.empty() && proxyUser.empty()) flags |= INTERNET_FLAG_NO_AUTH;
        if (hop->scheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
        channel_->Begin(AsyncChannel::kOpenRequest);
        HINTERNET request =
            api_->HttpOpenRequestW(channel_->Connection(), L"GET", (hop->path + hop->extra).c_str(),
                                   L"HTTP/1.0", nullptr, accept, flags, channel_->Context());
        error = channel_->Finish(request != nullptr, ::GetLastError());
        if (error != 0) return error;
        channel_->SetHandle(
            request != nullptr ? request : reinterpret_cast<HINTERNET>(channel_->AsyncResult()));
        // Pairs that WinINet applies itself, on this request only.
        const auto setPair = [&](DWORD userOption, const std::wstring& name, DWORD passwordOption,
                                 const std::wstring& secret) {
            if (name.empty()) return;
            api_->InternetSetOptionW(channel_->Handle(), userOption,
                                     const_cast<wchar_t*>(name.c_str()),
                                     static_cast<DWORD>(name.size()));
            api_->InternetSetOptionW(channel_->Handle(), passwordOption,
                                     const_cast<wchar_t*>(secret.c_str()),
                                     static_cast<DWORD>(secret.size()));
        };
        setPair(INTERNET_OPTION_USERNAME, user, INTERNET_OPTION_PASSWORD, password);
        setPair(INTERNET_OPTION_PROXY_USERNAME, proxyUser, INTERNET_OPTION_PROXY_PASSWORD,
                proxyPassword);

        // The rest of the ".part" file as it is now.
        const uint64_t offset = ResumeOffset();
        std::wstring headers;
        bool conditional = false;
        if (offset != 0) {
            AppendPieces(headers, {"Range: bytes=", DecimalPiece(offset), "-\r\n"});
            // Only the rest of the same file: a file that changed since the
            // ".part" file was begun comes whole (200).
            conditional = !part_.Validator().empty();
            if (conditional) AppendPieces(headers, {"If-Range: ", part_.Validator(), "\r\n"});
        }
        if (!acceptEncoding_.empty())
            AppendPieces(headers, {"Accept-Encoding: ", acceptEncoding_, "\r\n"});
        if (!authorization.empty())
            AppendPieces(headers, {"Authorization: ", authorization, "\r\n"});

        const wchar_t* extraHeaders = headers.c_str();
        for (;;) {
            channel_->Begin(AsyncChannel::kSendRequest);
            const BOOL sent = api_->HttpSendRequestW(
                channel_->Handle(), extraHeaders,
                extraHeaders != nullptr ? static_cast<DWORD>(headers.size()) : 0, nullptr, 0);
            error = channel_->Finish(sent != FALSE, ::GetLastError());
            if (!IsCertificateError(error)) break;
            Log({"Download: certificate problem ", DecimalPiece(error), " with ", hop->shown});
            if (sink_ == nullptr || sink_->ReportError(nullptr, error, channel_->Handle()) != 0)
                return error;
            extraHeaders = nullptr;  // already on the request
        }
        if (error != 0) return error;

        DWORD status = 0;
        DWORD size = sizeof(status);
        if (!api_->HttpQueryInfoW(channel_->Handle(),
                                  HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                                  nullptr))
            return ::GetLastError();
        statusCode_ = status;
        // No status line at all: the connection ended before an answer
        // (Windows fails the send with 12030 or 12152; Wine reports status 0).
        if (status < 100) return kConnectionAborted;
        std::wstring text;
        uint64_t contentLength = 0;
        if (!QueryHeader(HTTP_QUERY_CONTENT_LENGTH, text) || !ParseDecimal64(text, contentLength))
            contentLength = 0;

        if (status >= 200 && status < 300) {
            std::wstring entityTag, lastModified;
            QueryHeader(HTTP_QUERY_ETAG, entityTag);
            QueryHeader(HTTP_QUERY_LAST_MODIFIED, lastModified);
            result.validator = ResumeValidator(entityTag, lastModified);
        }
        if (status == 206) {
            ContentRange range;
            const bool ranged =
                QueryHeader(HTTP_QUERY_CONTENT_RANGE, text) && ParseContentRange(text, range);
            if (!ranged || range.first == offset) {
                result.start = offset;
                result.total = ranged && range.totalKnown
                                   ? range.total
                                   : (contentLength != 0 ? contentLength + offset : 0);
                return 0;
            }
            // Appending these bytes would put them at the wrong place.
            Log({"Download: the server answered from byte ", DecimalPiece(range.first),
                 " instead of ", DecimalPiece(offset), "; ", partPath_,
                 " is deleted and the file starts over"});
        } else if (status >= 200 && status < 300) {
            // The whole file: whatever the ".part" file held, the file
            // starts over from this answer.
            result.total = contentLength;
            if (offset != 0) {
                const char* why =
                    contentLength != 0 && offset >= contentLength
                        ? " is at or beyond the end of the file"
                        : (conditional ? " was begun from another version of the file"
                                       : " cannot be continued (the server sends the whole file)");
                Log({"Download: ", partPath_, AsciiPiece(why), "; the file starts over"});
                // Another version: the size known so far was that version's.
                if (conditional) knownTotal_ = 0;
            }
            return 0;
        } else if (IsRedirect(status) && QueryHeader(HTTP_QUERY_LOCATION, text)) {
            // The Location relative to the hop (a path, or a whole URL).
            std::wstring next(hop->text.size() + text.size() + 16, L'\0');
            DWORD length = static_cast<DWORD>(next.size());
            SourceUrl& target = hop == &slots[0] ? slots[1] : slots[0];
            DWORD crackError = 0;
            const bool cracked = api_->InternetCombineUrlW(hop->text.c_str(), text.c_str(),
                                                           &next[0], &length, ICU_NO_ENCODE) &&
                                 CrackUrl(*api_, next.c_str(), target, crackError);
            const std::wstring shown = cracked ? target.shown : RedactUrl(text);
            uint32_t refused = kRedirectFailed;
            const char* why = nullptr;
            if (++redirects > kMaxRedirects) {
                why = "more than 10 redirects";
            } else if (!cracked || (target.scheme != INTERNET_SCHEME_HTTP &&
                                    target.scheme != INTERNET_SCHEME_HTTPS)) {
                why = "only http:// and https:// are followed";
            } else if (source.scheme == INTERNET_SCHEME_HTTPS &&
                       target.scheme == INTERNET_SCHEME_HTTP) {
                why = "an https:// download never goes to plain HTTP";
                refused = DLERR_INSECURE_REDIRECT;
            }
            if (why != nullptr) {
                Log({"Download: the redirect of ", source.shown, " to ", shown,
                     " is not followed (", AsciiPiece(why), ")"});
                return refused;
            }
            Log({"Download: redirected (", DecimalPiece(status), ") to ", shown});
            // A pair is for its own place: the configured URL's goes along
            // only to that place, a hop elsewhere starts without one.
            if (!SamePlace(target, *hop)) {
                authorization.clear();
                user.clear();
                password.clear();
                urlPairTried = false;
            }
            if (target.user.empty() && SamePlace(target, source)) {
                target.user = source.user;
                target.password = source.password;
            }
            hop = &target;
            continue;
        } else if (status == 401 || status == 407) {
            const bool proxy = status == 407;
            const DWORD query = proxy ? HTTP_QUERY_PROXY_AUTHENTICATE : HTTP_QUERY_WWW_AUTHENTICATE;
            std::wstring realm;
            bool basic = false;
            for (DWORD i = 0; i < 8 && QueryHeader(query, text, i); ++i) {
                if (i == 0) realm = RealmFromChallenge(text);
                basic |= StartsWithIgnoreCaseAscii(TrimWhite(text), L"Basic");
            }
            std::wstring serverName;
            std::wstring place = PlaceOf(*hop);
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
                                               INTERNET_OPTION_PER_CONNECTION_OPTION, &list,
                                               &listSize) &&
                    option.Value.pszValue != nullptr) {
                    serverName = ProxyHostName(option.Value.pszValue);
                    place = ProxyPlace(option.Value.pszValue);
                    ::GlobalFree(option.Value.pszValue);
                }
            }
            Log({"Download: ", AsciiPiece(proxy ? "the proxy" : "the server"),
                 " asks for credentials, realm \"", realm, "\", for ", hop->shown});
            std::wstring name, secret;
            if (!proxy && !urlPairTried && !hop->user.empty()) {
                name = hop->user;  // the URL's own pair first, once
                secret = hop->password;
                urlPairTried = true;
            } else if (!AskForCredentials(credentials_, sink_, hop->shown, realm, serverName, place,
                                          name, secret)) {
                return DLERR_AUTH_REQUIRED;
            }
            if (proxy) {
                proxyUser = name;
                proxyPassword = secret;
            } else if (basic) {
                authorization = BasicAuthorization(name, secret);
                user.clear();
            } else {
                user = name;
                password = secret;
                authorization.clear();
            }
            continue;
        } else if (status == 304) {
            return DLERR_NOT_MODIFIED;
        } else if (status == 403) {
            return DLERR_FORBIDDEN;
        } else if (status == 404 || status == 410) {
            return DLERR_NOT_FOUND;
        } else {
            // Any other status is an error page, never the file.
            Log({"Download: the server answered HTTP status ", DecimalPiece(status), " for ",
                 hop->shown});
            if (status != 416 || offset == 0) return DLERR_HTTP_ERROR_STATUS;
            Log({"Download: the server refuses the range at ", DecimalPiece(offset), "; ",
                 partPath_, " is deleted and the file starts over"});
        }
        // The ".part" file cannot be continued: it is complete, longer than
        // the file, or the server would send other bytes. Emptied now, so
        // that every later attempt asks from byte 0.
        part_.Discard();
        if (startedOver) return DLERR_HTTP_ERROR_STATUS;
        startedOver = true;
    }
}

}  // namespace pravel
