#include "diag/Logger.h"

#include "common/FileOperations.h"
#include "common/SystemInfo.h"
#include "common/TempFolder.h"
#include "common/Text.h"
#include "diag/CpuBrand.h"
#include "diag/LogFormat.h"

namespace pravel {

bool logEnabled = false;

namespace {

class LockGuard {
  public:
    explicit LockGuard(CRITICAL_SECTION& lock) : lock_(lock) { ::EnterCriticalSection(&lock_); }
    ~LockGuard() { ::LeaveCriticalSection(&lock_); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

  private:
    CRITICAL_SECTION& lock_;
};

// The program path with the extension of its file name replaced by "LOG".
std::wstring WithLogExtension(const std::wstring& path) {
    const size_t slash = path.rfind(L'\\');
    const size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) {
        return Concat({path, ".LOG"});
    }
    return Concat({std::wstring_view(path).substr(0, dot + 1), "LOG"});
}

void DebugOut(std::initializer_list<TextPiece> pieces) {
    ::OutputDebugStringW(Concat(pieces).c_str());
}

// Under LocalSystem: opens `folder` itself (not what a final link points to)
// and keeps it open without delete sharing, so that it cannot be renamed or
// replaced by a link while the log file is opened inside it. Empty when the
// folder is a junction, a symbolic link or another reparse point, or cannot
// be opened: then the folder is not used.
UniqueFile HoldPlainFolder(const std::wstring& folder) {
    if (IsReparsePoint(folder)) return UniqueFile();
    UniqueFile hold(::CreateFileW(
        folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!hold || !::GetFileInformationByHandle(hold.Get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return UniqueFile();
    }
    return hold;
}

// Under LocalSystem: true when the opened log file is a plain file, neither a
// reparse point nor one of several hard links (a planted link would turn the
// log into a write anywhere). Checked on the handle before the first write.
bool IsPlainSingleFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!::GetFileInformationByHandle(file, &info)) return false;
    return !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
           info.nNumberOfLinks == 1;
}

}  // namespace

Logger::Logger() {
    ::InitializeCriticalSection(&lock_);
}

Logger::~Logger() {
    file_.Reset();
    ::DeleteCriticalSection(&lock_);
}

void Logger::SetLogFile(const std::wstring& path) {
    LockGuard guard(lock_);
    DebugOut({"Logger::SetLogFile( ", path, " ) while OLD path is:", path_});
    if (!file_) path_ = path;
}

void Logger::SetSystemVersion(const OsVersionInfo& os) {
    LockGuard guard(lock_);
    system_ = os;
}

std::wstring Logger::OpenPath() {
    LockGuard guard(lock_);
    return file_ ? path_ : std::wstring();
}

// Fallback locations in order; `next` counts the ones already tried. When
// `guarded` (LocalSystem), a QUILLON_LOGS folder that is a reparse point is
// skipped, and `folderHold` keeps the chosen QUILLON_LOGS folder from being
// replaced until the file is open.
bool Logger::NextFallback(int& next, std::wstring& candidate, bool guarded,
                          UniqueFile& folderHold) const {
    const std::wstring programPath = GetProgramPath();
    const std::wstring fileName =
        fileName_.empty() ? FileNameOf(WithLogExtension(programPath)) : fileName_;
    folderHold.Reset();
    while (next < 3) {
        const int which = next++;
        if (which == 0) {
            std::wstring appData;
            if (!GetCommonAppDataFolder(appData)) continue;
            const std::wstring folder =
                Concat({appData, EndsWith(appData, L"\\") ? TextPiece("") : TextPiece("\\"),
                        "QUILLON_LOGS"});
            if (::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
                CreateFolderWithAccess(folder, L"D:(A;OICI;GA;;;WD)");  // everyone
            }
            if (guarded) {
                folderHold = HoldPlainFolder(folder);
                if (!folderHold) {
                    DebugOut({"LOGGER->skipping linked or unusable folder:", folder});
                    continue;
                }
            }
            candidate = Concat({folder, "\\", fileName});
            return true;
        }
        if (which == 1) {
            if (programPath.empty()) continue;
            candidate = WithLogExtension(programPath);
            return true;
        }
        wchar_t temp[MAX_PATH + 1] = {};
        const DWORD length = ::GetTempPathW(MAX_PATH, temp);
        if (length == 0 || length > MAX_PATH) continue;
        const std::wstring folder = Concat({std::wstring_view(temp, length), "QUILLON_LOGS"});
        if (!::CreateDirectoryW(folder.c_str(), nullptr)) continue;
        if (guarded) {
            folderHold = HoldPlainFolder(folder);
            if (!folderHold) {
                DebugOut({"LOGGER->skipping linked or unusable folder:", folder});
                continue;
            }
        }
        candidate = Concat({folder, "\\", fileName});
        return true;
    }
    return false;
}

bool Logger::OpenLocked() {
    // Ordinary users keep the plain behaviour; LocalSystem never writes
    // through a link that a user may have planted.
    const bool guarded = RunsAsLocalSystem();
    UniqueFile folderHold;
    int next = 0;
    while (true) {
        std::wstring candidate = path_;
        if (candidate.empty() && !NextFallback(next, candidate, guarded, folderHold)) return false;
        const DWORD flags =
            FILE_ATTRIBUTE_NORMAL | (guarded ? FILE_FLAG_OPEN_REPARSE_POINT : DWORD{0});
        UniqueFile file(::CreateFileW(candidate.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      flags, nullptr));
        const DWORD error = ::GetLastError();
        if (!file) {
            DebugOut({"LOGGER->failed to create LOG at:", candidate});
            path_.clear();
            continue;
        }
        if (guarded && (IsReparsePoint(candidate) || !IsPlainSingleFile(file.Get()))) {
            DebugOut({"LOGGER->refusing linked LOG at:", candidate});
            path_.clear();
            continue;
        }
        folderHold.Reset();
        if (error == ERROR_ALREADY_EXISTS) {
            DebugOut({"LOGGER->Reusing LOG file at:", candidate, "\r\n"});
            ::SetFilePointer(file.Get(), 0, nullptr, FILE_END);
            path_ = candidate;
            file_ = std::move(file);
        } else if (error == ERROR_SUCCESS) {
            DebugOut({"LOGGER->Creating LOG file at:", candidate, "\r\n"});
            path_ = candidate;
            file_ = std::move(file);
            WriteLocked(std::wstring(1, static_cast<wchar_t>(0xFEFF)));
        } else {
            return false;
        }
        WriteLocked(FormatLogHeader(system_, CpuBrandString()));
        return true;
    }
}

void Logger::WriteLocked(std::wstring_view text) {
    if (!file_ || text.empty()) return;
    // Always at the end of the file, wherever another process (the
    // elevated run of ElevateOnce, which this one waits for) has written.
    OVERLAPPED atEnd = {};
    atEnd.Offset = 0xFFFFFFFF;
    atEnd.OffsetHigh = 0xFFFFFFFF;
    DWORD written = 0;
    ::WriteFile(file_.Get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)),
                &written, &atEnd);
    ::FlushFileBuffers(file_.Get());
}

void Logger::Write(std::wstring_view message) {
    LockGuard guard(lock_);
    if (!file_ && !OpenLocked()) return;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const LogTime time = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    WriteLocked(FormatLogTimestamp(time));
    WriteLocked(L"-");
    WriteLocked(message);
    WriteLocked(L"\r\n");
}

void Log(std::wstring_view message) {
    if (logEnabled) TheLogger().Write(message);
}

void Log(std::initializer_list<TextPiece> pieces) {
    if (logEnabled) TheLogger().Write(Concat(pieces));
}

Logger& TheLogger() {
    static Logger logger;
    return logger;
}

}  // namespace pravel
