// Internals shared by the transfer engine's source files (Downloader.cpp,
// HttpExchange.cpp, FtpAndFileSources.cpp, DataLoop.cpp). Not for other
// users.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

#include "download/AsyncChannel.h"
#include "download/Downloader.h"
#include "download/WinInetApi.h"

namespace pravel {

// One cracked source URL.
struct Downloader::SourceUrl {
    std::wstring text;
    std::wstring shown;  // the text as the log and the windows show it: no password
    INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
    INTERNET_PORT port = 0;
    std::wstring host;
    std::wstring path;
    std::wstring extra;
    std::wstring user;      // percent-decoded
    std::wstring password;  // percent-decoded
};

namespace transfer {

// WinINet codes used by name.
constexpr uint32_t kTimeout = 12002;
constexpr uint32_t kExtendedError = 12003;
constexpr uint32_t kUnrecognizedScheme = 12006;
constexpr uint32_t kNameNotResolved = 12007;
constexpr uint32_t kIncorrectUserName = 12013;
constexpr uint32_t kIncorrectPassword = 12014;
constexpr uint32_t kLoginFailure = 12015;
constexpr uint32_t kItemNotFound = 12028;
constexpr uint32_t kCannotConnect = 12029;
constexpr uint32_t kConnectionAborted = 12030;
constexpr uint32_t kConnectionReset = 12031;
constexpr uint32_t kCertRevoked = 12037;  // also 12038, 12044, 12045
constexpr uint32_t kCertCommonName = 12038;
constexpr uint32_t kClientAuthCert = 12044;
constexpr uint32_t kInvalidCa = 12045;
constexpr uint32_t kFtpDropped = 12111;
constexpr uint32_t kInvalidResponse = 12152;  // no answer that can be read
constexpr uint32_t kRedirectFailed = 12156;   // too many redirects, or to another scheme
constexpr uint32_t kDisconnected = 12163;

inline bool IsCertificateError(uint32_t code) {
    return code == kCertRevoked || code == kCertCommonName || code == kClientAuthCert ||
           code == kInvalidCa;
}

// The connection broke or stalled: worth another attempt at the same place.
inline bool IsBrokenConnection(uint32_t code) {
    return code == kTimeout || code == kConnectionAborted || code == kConnectionReset ||
           code == kDisconnected;
}

// Creates every missing folder of the file `path`; 0 or the Win32 error.
uint32_t CreateFoldersOf(const std::wstring& path);

// Cracks `text` into `url` (user name and password percent-decoded, the
// shown form without the password); false with the error otherwise (also
// 12005 when the internet library reads the user information otherwise
// than UrlUserInfo).
bool CrackUrl(const WinInetApi& api, const std::wstring& text, Downloader::SourceUrl& url,
              DWORD& error);
// A URL that could not be cracked, as the log shows it: without any user
// information, control characters shown as "?".
std::wstring ShownUncracked(const std::wstring& text);

}  // namespace transfer

}  // namespace pravel
