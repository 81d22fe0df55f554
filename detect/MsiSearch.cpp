#include "detect/MsiSearch.h"

#include <windows.h>

#include "common/SystemLibrary.h"

namespace pravel {

namespace {

using GetProductInfoFn = UINT(WINAPI*)(LPCWSTR, LPCWSTR, LPWSTR, LPDWORD);  // ordinal 70
using LocateComponentFn = INT(WINAPI*)(LPCWSTR, LPWSTR, LPDWORD);           // ordinal 90
using EnumRelatedFn = UINT(WINAPI*)(LPCWSTR, DWORD, DWORD, LPWSTR);         // ordinal 205

constexpr INT kStateMoreData = -3;
constexpr INT kStateLocal = 3;
constexpr INT kStateSource = 4;

struct MsiFunctions {
    GetProductInfoFn getProductInfo = nullptr;
    LocateComponentFn locateComponent = nullptr;
    EnumRelatedFn enumRelated = nullptr;
};

template <typename Fn>
Fn ByOrdinal(int ordinal) {
    return SystemFunction<Fn>(L"msi.dll", MAKEINTRESOURCEA(ordinal));
}

// msi.dll comes from the system folder only, loaded once and kept.
const MsiFunctions& Msi() {
    static const MsiFunctions functions = [] {
        MsiFunctions f;
        f.getProductInfo = ByOrdinal<GetProductInfoFn>(70);
        f.locateComponent = ByOrdinal<LocateComponentFn>(90);
        f.enumRelated = ByOrdinal<EnumRelatedFn>(205);
        return f;
    }();
    return functions;
}

}  // namespace

bool MsiProductVersion(const std::wstring& productCode, std::wstring& version) {
    const auto getInfo = Msi().getProductInfo;
    if (getInfo == nullptr) return false;
    std::wstring buffer(40, L'\0');
    DWORD length = static_cast<DWORD>(buffer.size());
    UINT status = getInfo(productCode.c_str(), L"VersionString", &buffer[0], &length);
    if (status == ERROR_MORE_DATA) {
        buffer.assign(length + 1, L'\0');
        length = static_cast<DWORD>(buffer.size());
        status = getInfo(productCode.c_str(), L"VersionString", &buffer[0], &length);
    }
    if (status != ERROR_SUCCESS) return false;
    version.assign(buffer.c_str(), length < buffer.size() ? length : buffer.size());
    return true;
}

std::vector<std::wstring> MsiRelatedProductVersions(const std::wstring& upgradeCode) {
    std::vector<std::wstring> versions;
    const auto enumRelated = Msi().enumRelated;
    if (enumRelated == nullptr) return versions;
    for (DWORD index = 0;; ++index) {
        wchar_t product[39] = {};
        if (enumRelated(upgradeCode.c_str(), 0, index, product) != ERROR_SUCCESS) break;
        std::wstring version;
        if (MsiProductVersion(product, version)) versions.push_back(version);
    }
    return versions;
}

bool MsiComponentInstalled(const std::wstring& componentCode) {
    const auto locate = Msi().locateComponent;
    if (locate == nullptr) return false;
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = static_cast<DWORD>(path.size());
    INT state = locate(componentCode.c_str(), &path[0], &length);
    if (state == kStateMoreData) {
        path.assign(length + 1, L'\0');
        length = static_cast<DWORD>(path.size());
        state = locate(componentCode.c_str(), &path[0], &length);
    }
    return state == kStateLocal || state == kStateSource;
}

}  // namespace pravel
