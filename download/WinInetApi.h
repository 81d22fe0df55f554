// The WinINet and MPR functions of the transfer engine. Neither DLL is one of
// Windows' known DLLs, so both are loaded at run time from the system folder
// (common/SystemLibrary.h) and looked up once per process. A missing DLL or
// function leaves its pointer null; Available() is then false and a transfer
// fails with ERROR_PROC_NOT_FOUND (logged) instead of calling it.
#pragma once

#include <windows.h>
#include <wininet.h>
#include <winnetwk.h>

namespace pravel {

struct WinInetApi {
    decltype(&::InternetOpenW) InternetOpenW;
    decltype(&::InternetSetStatusCallbackW) InternetSetStatusCallbackW;
    decltype(&::InternetCloseHandle) InternetCloseHandle;
    decltype(&::InternetConnectW) InternetConnectW;
    decltype(&::InternetCrackUrlW) InternetCrackUrlW;
    decltype(&::InternetQueryDataAvailable) InternetQueryDataAvailable;
    decltype(&::InternetReadFile) InternetReadFile;
    decltype(&::InternetSetOptionW) InternetSetOptionW;
    decltype(&::InternetQueryOptionW) InternetQueryOptionW;
    decltype(&::InternetGetLastResponseInfoW) InternetGetLastResponseInfoW;
    decltype(&::HttpOpenRequestW) HttpOpenRequestW;
    decltype(&::HttpSendRequestW) HttpSendRequestW;
    decltype(&::HttpQueryInfoW) HttpQueryInfoW;
    decltype(&::FtpCommandW) FtpCommandW;
    decltype(&::FtpOpenFileW) FtpOpenFileW;
    decltype(&::InternetCombineUrlW) InternetCombineUrlW;

    // True when every WinINet function above was found.
    bool Available() const;
    // The name of the first missing function (for the log), or null.
    const char* FirstMissing() const;
};

// The process-wide table, filled on first use (thread-safe).
const WinInetApi& WinInet();

// Connects a network share (WNetAddConnection2W). The library's tests may
// replace it; the program always uses the real function, loaded from
// mpr.dll (ERROR_PROC_NOT_FOUND when it is missing).
using ShareConnectFunction = DWORD (*)(const wchar_t* remoteFolder, const wchar_t* user,
                                       const wchar_t* password);
DWORD ConnectShare(const wchar_t* remoteFolder, const wchar_t* user, const wchar_t* password);
// Installs `fn` (null restores the real function); returns the previous one.
ShareConnectFunction SetShareConnectFunction(ShareConnectFunction fn);

// Removes a connection that ConnectShare made (WNetCancelConnection2W,
// forced); replaceable like ConnectShare.
using ShareDisconnectFunction = DWORD (*)(const wchar_t* remoteFolder);
DWORD DisconnectShare(const wchar_t* remoteFolder);
ShareDisconnectFunction SetShareDisconnectFunction(ShareDisconnectFunction fn);

}  // namespace pravel
