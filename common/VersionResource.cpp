#include "common/VersionResource.h"

#include <new>

#include "common/SystemLibrary.h"

namespace pravel {

namespace {

using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

struct VersionFunctions {
    SizeFn size;
    InfoFn info;
    QueryFn query;
};

const VersionFunctions& Version() {
    static const VersionFunctions functions = {
        SystemFunction<SizeFn>(L"version.dll", "GetFileVersionInfoSizeW"),
        SystemFunction<InfoFn>(L"version.dll", "GetFileVersionInfoW"),
        SystemFunction<QueryFn>(L"version.dll", "VerQueryValueW"),
    };
    return functions;
}

}  // namespace

DWORD ReadVersionResource(const std::wstring& path, std::vector<BYTE>& data) {
    const VersionFunctions& version = Version();
    if (version.size == nullptr || version.info == nullptr) return ERROR_MOD_NOT_FOUND;
    DWORD ignored = 0;
    const DWORD size = version.size(path.c_str(), &ignored);
    if (size == 0) {
        const DWORD error = ::GetLastError();
        return error == 0 ? ERROR_RESOURCE_TYPE_NOT_FOUND : error;
    }
    try {
        data.assign(size, 0);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    if (!version.info(path.c_str(), 0, size, data.data())) {
        const DWORD error = ::GetLastError();
        return error == 0 ? ERROR_RESOURCE_TYPE_NOT_FOUND : error;
    }
    return 0;
}

bool QueryVersionValue(std::vector<BYTE>& data, const wchar_t* subBlock, void** value,
                       UINT* length) {
    const QueryFn query = Version().query;
    if (query == nullptr || data.empty()) return false;
    return query(data.data(), subBlock, value, length) != FALSE;
}

}  // namespace pravel
