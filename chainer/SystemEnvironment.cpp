#include "chainer/SystemEnvironment.h"

#include <windows.h>

#include "chainer/LaunchContext.h"
#include "chainer/PrerequisiteSet.h"
#include "chainer/SystemSearchRunner.h"
#include "common/FileOperations.h"
#include "common/Handles.h"
#include "common/TempFolder.h"
#include "detect/OsNames.h"
#include "detect/ReferenceExpansion.h"
#include "detect/SearchEvaluation.h"
#include "diag/Logger.h"
#include "download/Acceptance.h"

namespace pravel {

bool SystemEnvironment::IsOsAccepted(const std::wstring& winNTVersions,
                                     const std::wstring& winNT64Versions) {
    return pravel::IsOsAccepted(winNTVersions, winNT64Versions);
}

bool SystemEnvironment::IsLanguageAccepted(const std::wstring& languageList) {
    return pravel::IsLanguageAccepted(languageList);
}

MachineArchitecture SystemEnvironment::Architecture() {
    static const MachineArchitecture machine = [] {
        using IsWow64Process2Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
        const auto query = reinterpret_cast<IsWow64Process2Fn>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "IsWow64Process2")));
        MachineArchitecture result;
        result.queryExists = query != nullptr;
        USHORT processMachine = 0;
        USHORT nativeMachine = 0;
        if (query != nullptr && query(::GetCurrentProcess(), &processMachine, &nativeMachine)) {
            result.querySucceeded = true;
            result.nativeMachine = nativeMachine;
        }
        return result;
    }();
    return machine;
}

bool SystemEnvironment::EvaluateSearches(PrerequisiteSet& set, size_t index, bool use64) {
    Prerequisite& p = set.At(index);
    SystemSearchRunner runner(set);
    return pravel::EvaluateSearches(p.searches, p.searchResults, p.op, use64, runner);
}

const std::wstring& ProcessDownloadFolder(const GeneralOptions& options) {
    static const std::wstring folder =
        ComputeWorkFolder(options.downloadFolder, options.defaultProdCode, ProgramTempFolder(),
                          [](const std::wstring& text) { return ExpandReferences(text, false); });
    return folder;
}

std::wstring SystemEnvironment::DownloadFolder() {
    return ProcessDownloadFolder(options_);
}

bool SystemEnvironment::FindFile(const std::wstring& path, uint32_t& sizeLow) {
    WIN32_FIND_DATAW data;
    UniqueFind find(::FindFirstFileW(path.c_str(), &data));
    if (!find) return false;
    sizeLow = data.nFileSizeLow;
    return true;
}

bool SystemEnvironment::AcceptFoundFile(const Prerequisite& p, const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const uint64_t written = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                             data.ftLastWriteTime.dwLowDateTime;
    for (const Judged& j : judged_) {
        if (j.path == path && j.size == size && j.written == written) return true;
    }
    UniqueFile tested;
    const wchar_t* reason = AcceptFile(p, static_cast<uint32_t>(p.exactSize), path, tested);
    if (reason != nullptr) {
        pravel::Log({"The file found for ", p.name, " was rejected.(", std::wstring_view(reason),
                     "): ", path, " is deleted and downloaded again."});
        // The file tested, wherever a link on its path leads by now.
        if (tested) DeleteThroughHandle(tested.Get());
        return false;
    }
    pravel::Log({"The file found for ", p.name, " was accepted: ", path});
    judged_.push_back(Judged{path, size, written});
    return true;
}

bool SystemEnvironment::LogEnabled() {
    return logEnabled;
}

void SystemEnvironment::Log(const std::wstring& message) {
    pravel::Log(message);
}

}  // namespace pravel
