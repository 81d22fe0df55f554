#include "common/SystemInfo.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "common/SystemLibrary.h"
#include "common/Text.h"
#include "common/VersionResource.h"

namespace pravel {

std::wstring GetProgramPath() {
    wchar_t buffer[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    return std::wstring(buffer, length);
}

bool GetCommonAppDataFolder(std::wstring& folder) {
    wchar_t path[MAX_PATH + 1] = {};
    PIDLIST_ABSOLUTE item = nullptr;
    if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_COMMON_APPDATA, &item)) && item) {
        const BOOL converted = ::SHGetPathFromIDListW(item, path);
        ::CoTaskMemFree(item);
        if (converted) {
            folder = path;
            return true;
        }
        return false;
    }
    using GetPathFn = BOOL(WINAPI*)(HWND, LPWSTR, int, BOOL);
    const auto getPath = SystemFunction<GetPathFn>(L"shell32.dll", "SHGetSpecialFolderPathW");
    if (getPath == nullptr || !getPath(nullptr, path, CSIDL_COMMON_APPDATA, FALSE)) return false;
    folder = path;
    return true;
}

bool GetProductName(const std::wstring& path, std::wstring& productName) {
    std::vector<BYTE> data;
    if (ReadVersionResource(path, data) != 0) return false;
    uint32_t language = 1033;
    uint32_t codePage = 1250;
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT length = 0;
    if (QueryVersionValue(data, L"\\VarFileInfo\\Translation",
                          reinterpret_cast<void**>(&translations), &length) &&
        length >= sizeof(Translation)) {
        language = translations[0].language;
        codePage = translations[0].codePage;
    }
    wchar_t query[64];
    ::wsprintfW(query, L"\\StringFileInfo\\%04x%04x\\%s", language, codePage, L"ProductName");
    wchar_t* text = nullptr;
    if (!QueryVersionValue(data, query, reinterpret_cast<void**>(&text), &length) ||
        text == nullptr) {
        return false;
    }
    productName.assign(text);
    return true;
}

}  // namespace pravel
