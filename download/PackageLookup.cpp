#include "download/PackageLookup.h"

#include <windows.h>

#include "common/Text.h"
#include "diag/Logger.h"
#include "download/Acceptance.h"
#include "download/DownloadRules.h"
#include "download/DownloadTarget.h"

namespace pravel {

namespace {

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

bool TakeFromPackage(const Prerequisite& p, const std::wstring& programFolder, std::wstring& path,
                     UniqueFile& held) {
    // Only a place inside the package's folder is looked at.
    if (programFolder.empty() || DownloadPlaceProblem(p.location, p.folder) != nullptr) {
        return false;
    }
    const std::wstring file = PackageDownloadPath(programFolder, p.location, p.folder);
    const DWORD attributes = ::GetFileAttributesW(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        if (IsFolder(WithTrailingBackslash(programFolder) + L"downloads")) {
            Log({"The package holds no file for ", p.name, " at ", file,
                 "; it is downloaded from its Url."});
        }
        return false;
    }
    if (!HasAcceptanceKeys(p)) {
        Log({"The file in the package for ", p.name,
             " is taken as it is (no acceptance keys): ", file, " (not downloaded)."});
        path = file;
        return true;
    }
    UniqueFile accepted;
    const wchar_t* reason = AcceptFile(p, static_cast<uint32_t>(p.exactSize), file, accepted);
    if (reason != nullptr) {
        Log({"The file in the package for ", p.name, " was rejected.(", std::wstring_view(reason),
             "): ", file, "; it is downloaded from its Url."});
        return false;
    }
    Log({"The file in the package for ", p.name, " was accepted: ", file, " (not downloaded)."});
    path = file;
    held = std::move(accepted);
    return true;
}

}  // namespace pravel
