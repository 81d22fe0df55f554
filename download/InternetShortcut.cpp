#include "download/InternetShortcut.h"

#include <windows.h>
#include <shellapi.h>

#include "common/Handles.h"
#include "common/Text.h"

namespace pravel {

namespace {

std::string ToAnsi(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int length =
        ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                              nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string ansi(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), static_cast<int>(text.size()), &ansi[0],
                          length, nullptr, nullptr);
    return ansi;
}

// A new file "URL<4 hex digits>.url" in `folder`; never overwrites one.
UniqueFile CreateShortcutFile(const std::wstring& folder, std::wstring& path) {
    const std::wstring base = WithTrailingBackslash(folder);
    DWORD seed = ::GetTickCount() ^ (::GetCurrentProcessId() << 8);
    for (int attempt = 0; attempt < 64; ++attempt) {
        wchar_t name[16];
        ::wsprintfW(name, L"URL%04X.url", static_cast<unsigned>((seed + attempt) & 0xFFFF));
        path = base + name;
        UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) return file;
        if (::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    path.clear();
    return UniqueFile();
}

}  // namespace

std::string InternetShortcutText(const std::string& ansiUrl) {
    return "[InternetShortcut]\r\nURL=" + ansiUrl + "\r\n";
}

std::wstring OpenUrlThroughShortcut(const std::wstring& url, const std::wstring& folder, bool noUi,
                                    uint32_t& openError) {
    openError = 0;
    std::wstring path;
    UniqueFile file = CreateShortcutFile(folder, path);
    if (!file) return std::wstring();
    const std::string text = InternetShortcutText(ToAnsi(url));
    DWORD written = 0;
    const bool ok =
        ::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size();
    file.Reset();
    if (!ok) {
        ::DeleteFileW(path.c_str());
        return std::wstring();
    }
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    // Without a window that may be shown, the shell must not show its own
    // (an error, "open with"): nobody could close it and it would wait for ever.
    info.fMask = noUi ? SEE_MASK_FLAG_NO_UI : 0;
    info.lpVerb = L"open";
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&info)) {
        openError = ::GetLastError();
        if (openError == 0) openError = ERROR_NO_ASSOCIATION;
    }
    return path;
}

}  // namespace pravel
