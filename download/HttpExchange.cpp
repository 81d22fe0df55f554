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
// What an answer may be (nothing else is ever written into the ".part"
// file): a whole answer (200) of a stated length or of none, or a partial
// answer (206) that names its range and the file's total, starts where the
// ".part" file ends and carries the validator of the ".part" file's tag
// (one version per file). A 416 whose total is the ".part" file's size
// proves the file complete. 204 and other 2xx, an empty 200, a 206 without
// its range or total, and multipart answers cannot be part of the file
// (DLERR_UNUSABLE_ANSWER: the attempt is repeated like a broken one).
//
// Credentials belong to a place (scheme, host, port; CredentialPlace): they
// are looked up, asked for (naming the host that asks) and sent only for the
// hop whose place demands them. WinINet keeps Basic credentials it applied
// itself per host name and offers them unasked to later requests of that
// host, also over plain HTTP or another port. So WinINet never applies
// Basic credentials here: every request is made without its authentication
// (INTERNET_FLAG_NO_AUTH) and carries the Authorization header this code
// built for that place. Two kinds of pair are left to WinINet, each set on
// the request alone and with INTERNET_FLAG_NO_AUTH dropped only for it:
// a server's NTLM or Negotiate (connection-bound schemes that never send
// the password; Digest is not answered: Wine's library lacks it, and a
// server that answers a Digest attempt with a Basic challenge would get the
// library's own Basic answer), and a proxy's pair, only for requests that
// go through that very proxy (ProxyFor), also the tunnel of an HTTPS
// request. A 407 from a request that goes through no proxy is an error
// answer: an origin server never gets a proxy's pair, nor a dialog asking
// for one.
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

std::wstring Downloader::ProxyFor(const SourceUrl& hop) {
    INTERNET_PER_CONN_OPTIONW options[3] = {};
    options[0].dwOption = INTERNET_PER_CONN_FLAGS;
    options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
    options[2].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
    INTERNET_PER_CONN_OPTION_LISTW list = {};
    list.dwSize = sizeof(list);
    list.dwOptionCount = 3;
    list.pOptions = options;
    DWORD listSize = sizeof(list);
    if (!api_->InternetQueryOptionW(channel_->Connection(), INTERNET_OPTION_PER_CONNECTION_OPTION,
                                    &list, &listSize))
        return std::wstring();
    const bool manual = (options[0].Value.dwValue & PROXY_TYPE_PROXY) != 0;
    std::wstring server, bypass;
    for (int i = 1; i < 3; ++i) {
        if (options[i].Value.pszValue == nullptr) continue;
        (i == 1 ? server : bypass) = options[i].Value.pszValue;
        ::GlobalFree(options[i].Value.pszValue);
    }
    if (!manual) return std::wstring();
    const std::wstring proxy =
        ProxyForScheme(server, hop.scheme == INTERNET_SCHEME_HTTPS ? L"https" : L"http");
    return BypassesProxy(hop.host, bypass) ? std::wstring() : proxy;
}

uint32_t Downloader::OpenHttp(const SourceUrl& source, OpenResult& result) {
    if (credentials_ != nullptr) credentials_->BeginAttempts();
    // The URL asked now: the source, or where redirects led (two slots, the
    // next hop cracked into the one not in use).
    SourceUrl slots[2];
    const SourceUrl* hop = &source;
    std::wstring authorization;   // the Basic header for the hop's place
    std::wstring user, password;  // for WinINet: the hop's NTLM or Negotiate
    // For WinINet: the proxy's pair, and the proxy it belongs to.
    std::wstring proxyUser, proxyPassword, proxyPairPlace;
    bool urlPairTried = false;
    bool startedOver = false;
    int redirects = 0;
    for (;;) {
        channel_->CloseAll();
        uint32_t error =
            channel_->Connect(session_, hop->host, hop->port, L"", L"", INTERNET_SERVICE_HTTP, 0);
        if (error != 0) return error;
        const std::wstring proxy = ProxyFor(*hop);
        const bool proxyPair =
            !proxy.empty() && !proxyUser.empty() && ProxyPlace(proxy) == proxyPairPlace;

        const wchar_t* accept[] = {L"*/*", nullptr};
        DWORD flags = kRequestFlags;
        if (user.empty() && !proxyPair) flags |= INTERNET_FLAG_NO_AUTH;
        if (hop->scheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
        channel_->Begin(AsyncChannel::kOpenRequest);
        // The fragment is for the client alone: never sent.
        HINTERNET request = api_->HttpOpenRequestW(
            channel_->Connection(), L"GET", WithoutFragment(hop->path + hop->extra).c_str(),
            L"HTTP/1.0", nullptr, accept, flags, channel_->Context());
        error = channel_->Finish(request != nullptr, ::GetLastError());
        if (error != 0) return error;
        channel_->SetHandle(
            request != nullptr ? request : reinterpret_cast<HINTERNET>(channel_->AsyncResult()));
        // Pairs that WinINet applies itself, on this request only.
        const auto setPair = [&](DWORD userOption, const std::wstring& name, DWORD passwordOption,
                                 const std::wstring& secret) {
            api_->InternetSetOptionW(channel_->Handle(), userOption,
                                     const_cast<wchar_t*>(name.c_str()),
                                     static_cast<DWORD>(name.size()));
            api_->InternetSetOptionW(channel_->Handle(), passwordOption,
                                     const_cast<wchar_t*>(secret.c_str()),
                                     static_cast<DWORD>(secret.size()));
        };
        if (!user.empty())
            setPair(INTERNET_OPTION_USERNAME, user, INTERNET_OPTION_PASSWORD, password);
        if (proxyPair)
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
        const bool hasLength =
            QueryHeader(HTTP_QUERY_CONTENT_LENGTH, text) && ParseDecimal64(text, contentLength);

        const char* unusable = nullptr;  // why the answer cannot be part of the file
        const bool multipart = (status == 200 || status == 206) &&
                               QueryHeader(HTTP_QUERY_CONTENT_TYPE, text) && IsMultipart(text);
        if (status >= 200 && status < 300) result.validator = AnswerValidator();
        if (multipart) {
            unusable = "a multipart answer";
        } else if (status == 206) {
            ContentRange range;
            if (!QueryHeader(HTTP_QUERY_CONTENT_RANGE, text) || !ParseContentRange(text, range)) {
                unusable = "a partial answer without its range";
            } else if (!range.totalKnown) {
                unusable = "a partial answer without the size of the file";
            } else if (hasLength && contentLength != range.last - range.first + 1) {
                unusable = "a partial answer whose length is not its range's";
            } else if (range.first != offset) {
                // Appending these bytes would put them at the wrong place.
                Log({"Download: the server answered from byte ", DecimalPiece(range.first),
                     " instead of ", DecimalPiece(offset), "; ", partPath_,
                     " is deleted and the file starts over"});
            } else if (offset != 0 && (!conditional || result.validator != part_.Validator())) {
                // The rest of another version (a server that ignores
                // If-Range), or of one that cannot be told apart.
                Log({"Download: the server sent the rest of another version of the file (",
                     ServerText(result.validator.empty() ? std::wstring(L"no validator")
                                                         : result.validator),
                     "); ", partPath_, " is deleted and the file starts over"});
            } else {
                result.start = offset;
                result.total = range.total;
                result.end = range.last + 1;
                return 0;
            }
        } else if (status == 200) {
            if (hasLength && contentLength == 0) {
                unusable = "an empty answer";
            } else {
                // The whole file: whatever the ".part" file held, the file
                // starts over from this answer.
                result.total = contentLength;
                result.end = contentLength;
                if (offset != 0) {
                    const char* why =
                        contentLength != 0 && offset >= contentLength
                            ? " is at or beyond the end of the file"
                            : (conditional
                                   ? " was begun from another version of the file"
                                   : " cannot be continued (the server sends the whole file)");
                    Log({"Download: ", partPath_, AsciiPiece(why), "; the file starts over"});
                    // Another version: the size known so far was that version's.
                    if (conditional) knownTotal_ = expectedSize_;
                }
                return 0;
            }
        } else if (status >= 200 && status < 300) {
            unusable = "an answer without content";
        } else if (IsRedirect(status) && QueryHeader(HTTP_QUERY_LOCATION, text)) {
            SourceUrl& target = hop == &slots[0] ? slots[1] : slots[0];
            error = FollowRedirect(source, *hop, text, status, ++redirects, target);
            if (error != 0) return error;
            // A pair is for its own place: the configured URL's goes along
            // only to that place, a hop elsewhere starts without one. A pair
            // written in the Location itself is never used.
            if (!SamePlace(target, *hop)) {
                authorization.clear();
                user.clear();
                password.clear();
                urlPairTried = false;
            }
            target.user.clear();
            target.password.clear();
            if (SamePlace(target, source)) {
                target.user = source.user;
                target.password = source.password;
            }
            hop = &target;
            continue;
        } else if (status == 401 || (status == 407 && !proxy.empty())) {
            const bool fromProxy = status == 407;
            const DWORD query =
                fromProxy ? HTTP_QUERY_PROXY_AUTHENTICATE : HTTP_QUERY_WWW_AUTHENTICATE;
            std::wstring realm;
            bool basic = false, connectionBound = false;
            for (DWORD i = 0; i < 8 && QueryHeader(query, text, i); ++i) {
                if (i == 0) realm = RealmFromChallenge(text);
                const std::wstring scheme = TrimWhite(text);
                basic |= StartsWithIgnoreCaseAscii(scheme, L"Basic");
                connectionBound |= StartsWithIgnoreCaseAscii(scheme, L"NTLM") ||
                                   StartsWithIgnoreCaseAscii(scheme, L"Negotiate");
            }
            const std::wstring place = fromProxy ? ProxyPlace(proxy) : PlaceOf(*hop);
            Log({"Download: ", AsciiPiece(fromProxy ? "the proxy" : "the server"),
                 " asks for credentials, realm \"", ServerText(realm), "\", for ", hop->shown});
            if (!fromProxy && !basic && !connectionBound) {
                Log({"Download: the server asks for a kind of credentials pravel does not send"});
                return DLERR_AUTH_REQUIRED;
            }
            std::wstring name, secret;
            if (!fromProxy && !urlPairTried && !hop->user.empty()) {
                name = hop->user;  // the URL's own pair first, once
                secret = hop->password;
                urlPairTried = true;
            } else if (!AskForCredentials(credentials_, sink_, hop->shown, ServerText(realm),
                                          fromProxy ? ProxyHostName(proxy) : std::wstring(), place,
                                          name, secret)) {
                return DLERR_AUTH_REQUIRED;
            }
            if (fromProxy) {
                proxyUser = name;
                proxyPassword = secret;
                proxyPairPlace = place;
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
            // Any other status is an error page, never the file; so is a 407
            // that no proxy sent.
            Log({"Download: the server answered HTTP status ", DecimalPiece(status), " for ",
                 hop->shown});
            if (status != 416 || offset == 0) return DLERR_HTTP_ERROR_STATUS;
            uint64_t total = 0;
            if (QueryHeader(HTTP_QUERY_CONTENT_RANGE, text) && ParseUnsatisfiedRange(text, total) &&
                total == offset) {
                // Nothing is past the end of the ".part" file: it is whole.
                Log({"Download: ", partPath_, " already holds the whole file (",
                     DecimalPiece(total), " bytes)"});
                result.start = offset;
                result.total = total;
                result.proven = true;
                return 0;
            }
            Log({"Download: the server refuses the range at ", DecimalPiece(offset), "; ",
                 partPath_, " is deleted and the file starts over"});
        }
        if (unusable != nullptr) {
            Log({"Download: ", hop->shown, " sent ", AsciiPiece(unusable), " (HTTP status ",
                 DecimalPiece(status), "); nothing of it is kept"});
            return DLERR_UNUSABLE_ANSWER;
        }
        // The ".part" file cannot be continued: it is complete, longer than
        // the file, or the server would send other bytes. Emptied now, so
        // that every later attempt asks from byte 0.
        part_.Discard();
        if (startedOver) return DLERR_HTTP_ERROR_STATUS;
        startedOver = true;
    }
}

uint32_t Downloader::FollowRedirect(const SourceUrl& source, const SourceUrl& hop,
                                    const std::wstring& location, DWORD status, int redirects,
                                    SourceUrl& target) {
    const char* why = nullptr;
    uint32_t refused = kRedirectFailed;
    std::wstring shown;
    if (HasControlCharacter(location)) {
        // Never into a request line or a log line.
        why = "its Location holds control characters";
        shown = ShownUncracked(location);
    } else {
        // The Location relative to the hop (a path, or a whole URL).
        std::wstring next(hop.text.size() + location.size() + 16, L'\0');
        DWORD length = static_cast<DWORD>(next.size());
        DWORD crackError = 0;
        const bool cracked = api_->InternetCombineUrlW(hop.text.c_str(), location.c_str(), &next[0],
                                                       &length, ICU_NO_ENCODE) &&
                             CrackUrl(*api_, next.c_str(), target, crackError);
        shown = cracked ? target.shown : ShownUncracked(location);
        if (redirects > kMaxRedirects) {
            why = "more than 10 redirects";
        } else if (!cracked || (target.scheme != INTERNET_SCHEME_HTTP &&
                                target.scheme != INTERNET_SCHEME_HTTPS)) {
            why = "only http:// and https:// are followed";
        } else if (source.scheme == INTERNET_SCHEME_HTTPS &&
                   target.scheme == INTERNET_SCHEME_HTTP) {
            why = "an https:// download never goes to plain HTTP";
            refused = DLERR_INSECURE_REDIRECT;
        }
    }
    if (why != nullptr) {
        Log({"Download: the redirect of ", source.shown, " to ", shown, " is not followed (",
             AsciiPiece(why), ")"});
        return refused;
    }
    Log({"Download: redirected (", DecimalPiece(status), ") to ", shown});
    return 0;
}

std::wstring Downloader::AnswerValidator() {
    std::wstring entityTag, lastModified;
    QueryHeader(HTTP_QUERY_ETAG, entityTag);
    bool strong = false;
    if (QueryHeader(HTTP_QUERY_LAST_MODIFIED, lastModified)) {
        // A date is a validator only when the file was not changed within
        // the second the answer was made: it could change again unseen.
        SYSTEMTIME times[2] = {};
        FILETIME files[2] = {};
        const DWORD queries[2] = {HTTP_QUERY_LAST_MODIFIED, HTTP_QUERY_DATE};
        bool known = true;
        for (int i = 0; i < 2 && known; ++i) {
            DWORD size = sizeof(times[i]);
            known =
                api_->HttpQueryInfoW(channel_->Handle(), queries[i] | HTTP_QUERY_FLAG_SYSTEMTIME,
                                     &times[i], &size, nullptr) &&
                ::SystemTimeToFileTime(&times[i], &files[i]);
        }
        const auto ticks = [](const FILETIME& time) {
            return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
        };
        strong = known && ticks(files[1]) >= ticks(files[0]) + 10000000;
    }
    return ResumeValidator(entityTag, lastModified, strong);
}

}  // namespace pravel
