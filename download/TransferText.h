// The text rules of the transfer engine that need no platform: URL user
// names and passwords, authentication challenges, FTP replies and paths.
#pragma once

#include <cstdint>
#include <string>

namespace pravel {

// "%" followed by two hexadecimal digits (either case) becomes that
// character; anything else is kept as it is.
std::wstring PercentDecode(const std::wstring& text);

// The URL as the log and the windows show it: the password of its user
// information replaced by "***", everything else (scheme, user name, host,
// port, path, query) unchanged. The user information is what precedes the
// last "@" of the part between "://" and the first "/", "\", "?" or "#"
// after it; its password is what follows the first ":" in it. Text without
// "://" or without a password comes back unchanged. Every URL that reaches
// the log or a window goes through this function.
std::wstring RedactUrl(const std::wstring& url);

// The realm of a WWW-Authenticate or Proxy-Authenticate value: the text
// after its first blank is split at commas, and the first item of the form
// name=value whose name is "realm" (any case, not trimmed) gives the value
// without one leading and one trailing double quote. Empty when none.
std::wstring RealmFromChallenge(const std::wstring& challenge);

// The host of a proxy setting ("host:port" cut at its first colon).
std::wstring ProxyHostName(const std::wstring& proxySetting);

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

// The validator a resumed request sends as If-Range: the entity tag when it
// is a strong one (a weak tag, "W/...", cannot be used), otherwise the
// Last-Modified date; empty when the answer had neither.
std::wstring ResumeValidator(const std::wstring& entityTag, const std::wstring& lastModified);

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

}  // namespace pravel
