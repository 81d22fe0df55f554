#include "download/WinInetApi.h"

#include <atomic>

#include "common/SystemLibrary.h"

namespace pravel {

namespace {

constexpr const wchar_t* kWinInet = L"wininet.dll";

template <typename Fn>
void Load(Fn& slot, const char* name) {
    slot = SystemFunction<Fn>(kWinInet, name);
}

WinInetApi LoadTable() {
    WinInetApi api{};
    Load(api.InternetOpenW, "InternetOpenW");
    Load(api.InternetSetStatusCallbackW, "InternetSetStatusCallbackW");
    Load(api.InternetCloseHandle, "InternetCloseHandle");
    Load(api.InternetConnectW, "InternetConnectW");
    Load(api.InternetCrackUrlW, "InternetCrackUrlW");
    Load(api.InternetQueryDataAvailable, "InternetQueryDataAvailable");
    Load(api.InternetReadFile, "InternetReadFile");
    Load(api.InternetSetOptionW, "InternetSetOptionW");
    Load(api.InternetQueryOptionW, "InternetQueryOptionW");
    Load(api.InternetGetLastResponseInfoW, "InternetGetLastResponseInfoW");
    Load(api.HttpOpenRequestW, "HttpOpenRequestW");
    Load(api.HttpSendRequestW, "HttpSendRequestW");
    Load(api.HttpQueryInfoW, "HttpQueryInfoW");
    Load(api.FtpCommandW, "FtpCommandW");
    Load(api.FtpOpenFileW, "FtpOpenFileW");
    Load(api.InternetCombineUrlW, "InternetCombineUrlW");
    return api;
}

DWORD RealConnectShare(const wchar_t* remoteFolder, const wchar_t* user, const wchar_t* password) {
    static const auto connect =
        SystemFunction<decltype(&::WNetAddConnection2W)>(L"mpr.dll", "WNetAddConnection2W");
    if (connect == nullptr) return ERROR_PROC_NOT_FOUND;
    NETRESOURCEW resource = {};
    resource.dwType = RESOURCETYPE_DISK;
    resource.lpRemoteName = const_cast<wchar_t*>(remoteFolder);
    return connect(&resource, password, user, 0);
}

DWORD RealDisconnectShare(const wchar_t* remoteFolder) {
    static const auto cancel =
        SystemFunction<decltype(&::WNetCancelConnection2W)>(L"mpr.dll", "WNetCancelConnection2W");
    if (cancel == nullptr) return ERROR_PROC_NOT_FOUND;
    return cancel(remoteFolder, 0, TRUE);
}

std::atomic<ShareConnectFunction> g_connectShare{nullptr};
std::atomic<ShareDisconnectFunction> g_disconnectShare{nullptr};

}  // namespace

const char* WinInetApi::FirstMissing() const {
    struct Entry {
        const void* fn;
        const char* name;
    };
    const Entry entries[] = {
        {reinterpret_cast<const void*>(InternetOpenW), "InternetOpenW"},
        {reinterpret_cast<const void*>(InternetSetStatusCallbackW), "InternetSetStatusCallbackW"},
        {reinterpret_cast<const void*>(InternetCloseHandle), "InternetCloseHandle"},
        {reinterpret_cast<const void*>(InternetConnectW), "InternetConnectW"},
        {reinterpret_cast<const void*>(InternetCrackUrlW), "InternetCrackUrlW"},
        {reinterpret_cast<const void*>(InternetQueryDataAvailable), "InternetQueryDataAvailable"},
        {reinterpret_cast<const void*>(InternetReadFile), "InternetReadFile"},
        {reinterpret_cast<const void*>(InternetSetOptionW), "InternetSetOptionW"},
        {reinterpret_cast<const void*>(InternetQueryOptionW), "InternetQueryOptionW"},
        {reinterpret_cast<const void*>(InternetGetLastResponseInfoW),
         "InternetGetLastResponseInfoW"},
        {reinterpret_cast<const void*>(HttpOpenRequestW), "HttpOpenRequestW"},
        {reinterpret_cast<const void*>(HttpSendRequestW), "HttpSendRequestW"},
        {reinterpret_cast<const void*>(HttpQueryInfoW), "HttpQueryInfoW"},
        {reinterpret_cast<const void*>(FtpCommandW), "FtpCommandW"},
        {reinterpret_cast<const void*>(FtpOpenFileW), "FtpOpenFileW"},
        {reinterpret_cast<const void*>(InternetCombineUrlW), "InternetCombineUrlW"},
    };
    for (const Entry& e : entries)
        if (e.fn == nullptr) return e.name;
    return nullptr;
}

bool WinInetApi::Available() const {
    return FirstMissing() == nullptr;
}

const WinInetApi& WinInet() {
    static const WinInetApi table = LoadTable();  // thread-safe static initialisation
    return table;
}

DWORD ConnectShare(const wchar_t* remoteFolder, const wchar_t* user, const wchar_t* password) {
    const ShareConnectFunction fn = g_connectShare.load();
    return fn != nullptr ? fn(remoteFolder, user, password)
                         : RealConnectShare(remoteFolder, user, password);
}

ShareConnectFunction SetShareConnectFunction(ShareConnectFunction fn) {
    return g_connectShare.exchange(fn);
}

DWORD DisconnectShare(const wchar_t* remoteFolder) {
    const ShareDisconnectFunction fn = g_disconnectShare.load();
    return fn != nullptr ? fn(remoteFolder) : RealDisconnectShare(remoteFolder);
}

ShareDisconnectFunction SetShareDisconnectFunction(ShareDisconnectFunction fn) {
    return g_disconnectShare.exchange(fn);
}

}  // namespace pravel
