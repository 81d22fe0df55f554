#include "common/FileOperations.h"

#include <windows.h>
#include <sddl.h>

#include "common/Handles.h"
#include "common/PathForms.h"
#include "common/Text.h"

namespace pravel {

namespace {

void ClearReadOnly(const std::wstring& platformPath, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        ::SetFileAttributesW(platformPath.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
}

bool IsCurrentOrParent(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

}  // namespace

bool DeletePath(const std::wstring& path) {
    return ::DeleteFileW(DeletionPathForm(path).c_str()) != FALSE;
}

bool RemoveFolder(const std::wstring& path) {
    return ::RemoveDirectoryW(DeletionPathForm(path).c_str()) != FALSE;
}

void DeleteFolderContents(const std::wstring& folder) {
    const std::wstring base = WithTrailingBackslash(folder);
    WIN32_FIND_DATAW data;
    UniqueFind find(::FindFirstFileW(DeletionPathForm(base + L"*").c_str(), &data));
    if (!find) return;
    do {
        if (IsCurrentOrParent(data.cFileName)) continue;
        const std::wstring path = base + data.cFileName;
        const std::wstring platformPath = DeletionPathForm(path);
        const DWORD attributes = data.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) DeleteFolderContents(path);
            ClearReadOnly(platformPath, ::GetFileAttributesW(platformPath.c_str()));
            RemoveFolder(path);
        } else {
            ClearReadOnly(platformPath, attributes);
            DeletePath(path);
        }
    } while (::FindNextFileW(find.Get(), &data));
}

void RemoveEmptyParents(const std::wstring& folder, const std::wstring& stopFolder) {
    for (const auto& path : FoldersUpTo(folder, stopFolder)) RemoveFolder(path);
}

uint32_t CreateFolderChain(const std::wstring& path, bool lastIsFolder,
                           std::vector<std::wstring>* created) {
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return 0;
    const FolderChainSteps steps = SplitFolderChain(path, lastIsFolder);
    uint32_t result = 0;
    bool createdBefore = false;  // the step before created its folder
    for (size_t i = 0; i < steps.folders.size(); ++i) {
        const std::wstring& folder = steps.folders[i];
        if (::CreateDirectoryW(folder.c_str(), nullptr)) {
            if (created != nullptr) created->push_back(folder);
            createdBefore = true;
            result = 0;
            continue;
        }
        const DWORD error = ::GetLastError();
        result = error == ERROR_ALREADY_EXISTS ? 0 : error;
        if (result == 0 || steps.unc) {
            createdBefore = false;
            continue;
        }
        // Only a folder this call created goes again, and only when empty.
        if (createdBefore && RemoveFolder(steps.folders[i - 1]) && created != nullptr &&
            !created->empty() && created->back() == steps.folders[i - 1]) {
            created->pop_back();
        }
        return result;
    }
    return result;
}

bool DeleteThroughHandle(void* file) {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    if (::SetFileInformationByHandle(static_cast<HANDLE>(file), FileDispositionInfo, &disposition,
                                     sizeof(disposition)))
        return true;
    // A handle without delete access: a second one to the same file, opened
    // from it (ReOpenFile looks up no path).
    UniqueFile deleter(::ReOpenFile(static_cast<HANDLE>(file), DELETE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0));
    return deleter && ::SetFileInformationByHandle(deleter.Get(), FileDispositionInfo, &disposition,
                                                   sizeof(disposition));
}

uint32_t CreateFolderWithAccess(const std::wstring& folder, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                                nullptr))
        return ::GetLastError();
    UniqueLocalMem owner(descriptor);
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    return ::CreateDirectoryW(folder.c_str(), &attributes) ? 0 : ::GetLastError();
}

bool IsReparsePoint(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::vector<std::wstring> LinkedFoldersOf(const std::wstring& folder) {
    std::vector<std::wstring> links;
    for (const std::wstring& step : SplitFolderChain(folder, true).folders) {
        if (IsReparsePoint(step)) links.push_back(step);
    }
    return links;
}

RemovalOps FileSystemRemoval() {
    return RemovalOps{[](const std::wstring& path) { return DeletePath(path); },
                      [](const std::wstring& path) { return RemoveFolder(path); }};
}

void RemoveFilesAndCreatedFolders(std::vector<std::wstring>& files,
                                  std::vector<std::wstring>& createdFolders) {
    RemoveListed(files, createdFolders, FileSystemRemoval());
    files.clear();
    createdFolders.clear();
}

size_t CountFolderEntries(const std::wstring& folder, size_t limit) {
    WIN32_FIND_DATAW data;
    UniqueFind find(
        ::FindFirstFileW(DeletionPathForm(WithTrailingBackslash(folder) + L"*").c_str(), &data));
    if (!find) return 0;
    size_t count = 0;
    do {
        if (!IsCurrentOrParent(data.cFileName)) ++count;
    } while (count < limit && ::FindNextFileW(find.Get(), &data));
    return count;
}

}  // namespace pravel
