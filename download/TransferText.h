// The text rules of the transfer engine that need no platform: URL user
// names and passwords, authentication challenges, FTP replies and paths.
#pragma once

#include <cstdint>
#include <string>

namespace pravel {

// "%" followed by two hexadecimal digits (either case) becomes that
// character; anything else is kept as it is.
std::wstring PercentDecode(const std::wstring& text);

// The user information of a URL as written (not decoded): what precedes the
// last "@" of the part between "://" and the first "/", "\", "?" or "#"
// after it. The user name is its text up to the first ":", the password
// what follows that ":". False (both empty) when the URL has no user
// information. The transfer engine takes the pair it sends from here, so
// the pair it uses is exactly the one RedactUrl hides.
bool UrlUserInfo(const std::wstring& url, std::wstring& user, std::wstring& password);

// The URL as the log and the windows show it: the password of its user
// information (UrlUserInfo) replaced by "***", once; everything else
// (scheme, user name, host, port, path, query) unchanged, also where the
// same text occurs again. Text without "://" or without a password comes
// back unchanged. Every URL that reaches the log or a window goes through
// this function. Linear in the URL's length for every input.
std::wstring RedactUrl(const std::wstring& url);

// Text that a server sent (an FTP reply, a realm, a Location), made fit for
// one log line: every control character (below U+0020, U+007F) shown as
// "?", and at most 200 characters kept ("..." after a cut). A server can
// neither forge log lines nor fill the log.
std::wstring ServerText(const std::wstring& text);
bool HasControlCharacter(const std::wstring& text);

// A request target (path and query) without its fragment: the fragment
// ("#" and what follows) names a place inside the document for the client
// and is never sent.
std::wstring WithoutFragment(const std::wstring& target);

// The realm of a WWW-Authenticate or Proxy-Authenticate value: the text
// after its first blank is split at commas, and the first item of the form
// name=value whose name is "realm" (any case, not trimmed) gives the value
// without one leading and one trailing double quote. Empty when none.
std::wstring RealmFromChallenge(const std::wstring& challenge);

// The host of a proxy setting ("host:port" cut at its first colon).
std::wstring ProxyHostName(const std::wstring& proxySetting);

// The proxy ("host:port") that a manual proxy setting of the Internet
// Options names for `scheme` ("http", "https", "ftp"): the setting is one
// proxy for every scheme, or a list such as "http=p1:80;https=p2:443"
// (items separated by ";" or blanks). Empty when it names none for the
// scheme.
std::wstring ProxyForScheme(const std::wstring& setting, const std::wstring& scheme);

// True when `host` is among the proxy exceptions (the Internet Options'
// ProxyOverride): items separated by ";" or blanks, "*" standing for any
// run of characters, letter case ignored, and "<local>" for every host name
// without a dot.
bool BypassesProxy(const std::wstring& host, const std::wstring& exceptions);

// The size in the reply to an FTP "SIZE" command ("213 <digits>"); false
// for any other reply.
bool FtpSizeFromReply(const std::wstring& reply, uint64_t& size);

// The reply code at the start of an FTP response text (the number before
// the first blank; leading line breaks are skipped); 0 when there is none.
int FtpReplyCode(const std::wstring& responseText);

// True for a path that starts with two backslashes or has a colon as its
// second character.
bool IsAbsoluteTarget(const std::wstring& path);

// The server of a "\\server\share\..." path; empty for other paths and for
// "\\?\" paths.
std::wstring ShareServerName(const std::wstring& path);

// The path up to its last backslash (the folder that holds the file).
std::wstring ShareFolderOf(const std::wstring& path);

// --- HTTP answers -------------------------------------------------------------

// A header value made only of decimal digits (blanks around it allowed) as a
// 64-bit number; false for anything else, for no digits and on overflow.
bool ParseDecimal64(const std::wstring& text, uint64_t& value);

// A Content-Range value "bytes FIRST-LAST/TOTAL" (TOTAL may be "*": then
// totalKnown is false). False when the text has another form or LAST is
// below FIRST.
struct ContentRange {
    uint64_t first = 0;
    uint64_t last = 0;
    uint64_t total = 0;
    bool totalKnown = false;
};
bool ParseContentRange(const std::wstring& text, ContentRange& range);
// The Content-Range of a 416 answer, "bytes */TOTAL"; false for any other
// form.
bool ParseUnsatisfiedRange(const std::wstring& text, uint64_t& total);

// The validator of an answer, sent as If-Range by a resume and compared
// with the one of every partial answer: the entity tag when it is a strong
// one (a weak tag, "W/...", is no validator), otherwise the Last-Modified
// date when it is strong (`lastModifiedStrong`: at least a second before the
// answer's Date; a file changed within the second of its answer may change
// again within it); empty when the answer has none.
std::wstring ResumeValidator(const std::wstring& entityTag, const std::wstring& lastModified,
                             bool lastModifiedStrong);

// True for a Content-Type of a multipart answer ("multipart/byteranges"):
// its body holds framing between the parts, never the file's bytes alone.
bool IsMultipart(const std::wstring& contentType);

// --- credentials ---------------------------------------------------------------

// The value of an Authorization header for Basic authentication: "Basic "
// and the base64 form of "user:password" in UTF-8.
std::wstring BasicAuthorization(const std::wstring& user, const std::wstring& password);

// --- the ".part" file ----------------------------------------------------------

// The tag kept beside a ".part" file (download/PartFile.h): the size of the
// whole file (0 = unknown) and the validator of the answer that began the
// file (empty: the server gave none), as "<size>\n<validator>\n". Parsing
// fails for any other form (an older tag, a tag cut short): such a ".part"
// file starts over.
std::wstring FormatPartTag(uint64_t total, const std::wstring& validator);
bool ParsePartTag(const std::wstring& text, uint64_t& total, std::wstring& validator);

// Whether a reconnect counts as one without progress: the connection
// before it grew the ".part" file by `growth` bytes, and the one before
// that by `previousGrowth` (0 for the first connection). Too little: under
// 1 KiB, or at most two thirds of what the connection before brought (a
// server that sends less and less before each stall or break, say half of
// what was asked). Such reconnects in a row end the transfer
// (Downloader::kMaxIdleReconnects); a link that breaks after similar amounts
// rarely shrinks five times in a row by a third.
bool BroughtLittle(uint64_t growth, uint64_t previousGrowth);

// The time limit of a download in milliseconds from its start: with the
// size of the file unknown, `floorMs`; with it known, the larger of
// `floorMs` and the time the bytes the download itself added to the ".part"
// file (and that are still in it) take at `minRate` bytes per second. So a
// download ends at the latest after max(floor, size / minRate), and after
// the floor it ends as soon as it has kept less than `minRate` on average:
// a server that states a large size gains time only by sending the file.
uint64_t DownloadTimeLimitMs(uint64_t knownSize, uint64_t kept, uint64_t floorMs, uint64_t minRate);

// The floor and the rate without DownloadTimeLimit and DownloadMinRate.
constexpr uint32_t kDefaultDownloadTimeLimitSeconds = 600;
constexpr uint32_t kDefaultDownloadMinRate = 1024;  // bytes per second

}  // namespace pravel
