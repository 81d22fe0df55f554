#include "common/PrivateFolder.h"

#include <windows.h>

#include <memory>

#include "common/FileOperations.h"
#include "common/Handles.h"
#include "common/PathForms.h"
#include "common/TempFolder.h"
#include "common/Text.h"

namespace pravel {

namespace {

// Read and written in blocks of this size: large enough that the calls
// cost nothing beside the bytes (bench/copy), small enough for any heap.
constexpr DWORD kCopyBlock = 1u << 20;
// Names tried before the folder counts as impossible to make.
constexpr uint32_t kNameAttempts = 64;

// Full access for the account, LocalSystem and Administrators only, not
// inherited from the folder above (protected), passed on to everything
// made inside.
std::wstring PrivateAccessList() {
    const std::wstring user = ProcessUserSid();
    return Concat({"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)",
                   user.empty() ? std::wstring() : Concat({"(A;OICI;FA;;;", user, ")"})});
}

// Copies `size` bytes from the start of `source` to `target`.
uint32_t CopyBytes(HANDLE source, uint64_t size, HANDLE target) {
    const LARGE_INTEGER start = {};
    if (!::SetFilePointerEx(source, start, nullptr, FILE_BEGIN)) return ::GetLastError();
    // The whole size up front: the file system can place it in one piece.
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFilePointerEx(target, end, nullptr, FILE_BEGIN) || !::SetEndOfFile(target) ||
        !::SetFilePointerEx(target, start, nullptr, FILE_BEGIN))
        return ::GetLastError();
    const std::unique_ptr<char[]> buffer(new char[kCopyBlock]);
    for (uint64_t left = size; left > 0;) {
        const DWORD want = left < kCopyBlock ? static_cast<DWORD>(left) : kCopyBlock;
        DWORD got = 0;
        if (!::ReadFile(source, buffer.get(), want, &got, nullptr)) return ::GetLastError();
        if (got == 0) return ERROR_HANDLE_EOF;  // shorter than its size said
        DWORD written = 0;
        if (!::WriteFile(target, buffer.get(), got, &written, nullptr)) return ::GetLastError();
        if (written != got) return ERROR_WRITE_FAULT;
        left -= got;
    }
    return 0;
}

}  // namespace

PrivateFolder::~PrivateFolder() {
    Remove();
}

uint32_t PrivateFolder::Make() {
    const std::wstring parent =
        WithTrailingBackslash(parent_.empty() ? ProgramTempFolder() : parent_);
    const std::wstring access = PrivateAccessList();
    // A new name each time: a folder someone made beforehand is never used.
    const uint32_t seed = ::GetTickCount() ^ (::GetCurrentProcessId() << 16);
    DWORD error = ERROR_ALREADY_EXISTS;
    for (uint32_t attempt = 0; attempt < kNameAttempts && error == ERROR_ALREADY_EXISTS;
         ++attempt) {
        const std::wstring path = Concat(
            {parent, kTempFilePrefix, "run", DecimalPiece((seed + attempt * 7919u) & 0xFFFFFu)});
        error = CreateFolderWithAccess(path, access.c_str());
        if (error == 0) {
            path_ = path + L"\\";
            return 0;
        }
    }
    return error;
}

uint32_t PrivateFolder::CopyIn(void* source, const std::wstring& name, std::wstring& copy) {
    copy.clear();
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(static_cast<HANDLE>(source), &size)) return ::GetLastError();
    if (path_.empty()) {
        if (const uint32_t error = Make(); error != 0) return error;
    }
    const std::wstring folder = Concat({path_, DecimalPiece(++copies_)});
    if (!::CreateDirectoryW(folder.c_str(), nullptr)) return ::GetLastError();
    const std::wstring target = Concat({folder, "\\", name});
    UniqueFile file(::CreateFileW(target.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    uint32_t error = file ? CopyBytes(static_cast<HANDLE>(source),
                                      static_cast<uint64_t>(size.QuadPart), file.Get())
                          : ::GetLastError();
    if (error != 0 && file) DeleteThroughHandle(file.Get());
    // Written data reaches the file as it is closed; a failure there (a full
    // disk on a share, say) is a failed copy too.
    if (file && !::CloseHandle(file.Release()) && error == 0) error = ::GetLastError();
    if (error != 0) {
        RemoveFolder(folder);
        return error;
    }
    copy = target;
    return 0;
}

void PrivateFolder::Discard(const std::wstring& copy) {
    UniqueFile file(::CreateFileW(copy.c_str(), DELETE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file && DeleteThroughHandle(file.Get())) {
        file.Reset();
        RemoveFolder(FolderOf(copy));
    }
}

uint32_t PrivateFolder::Remove() {
    if (path_.empty()) return 0;
    DeleteFolderContents(path_);
    if (!RemoveFolder(WithoutTrailingBackslash(path_))) return ::GetLastError();
    path_.clear();
    return 0;
}

}  // namespace pravel
