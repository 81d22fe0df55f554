// FTP and file: sources of the Downloader: FTP files are read by the common
// data loop (with resume through REST); local and share files are copied
// with the system's file copy.
#include <windows.h>

#include "chainer/LaunchList.h"
#include "common/ErrorCodes.h"
#include "common/Text.h"
#include "diag/Logger.h"
#include "download/CredentialsProvider.h"
#include "download/DownloadSink.h"
#include "download/DownloaderParts.h"
#include "download/PartFile.h"
#include "download/TransferText.h"

namespace pravel {

using namespace transfer;

namespace {

constexpr wchar_t kFtpRealm[] = L"FTP Server";
constexpr wchar_t kShareRealm[] = L"Local Network Server";
constexpr int kRestAccepted = 350;

bool IsFtpLoginError(uint32_t code) {
    return code == kIncorrectUserName || code == kIncorrectPassword || code == kLoginFailure;
}

bool IsShareLogonError(uint32_t code) {
    return code == ERROR_INVALID_PASSWORD || code == ERROR_LOGON_FAILURE ||
           code == 2202;  // ERROR_BAD_USERNAME
}

}  // namespace

// --- FTP ---------------------------------------------------------------------

// Asks the server to start the next transfer at `offset`. The type is set
// to binary first: servers refuse REST in ASCII mode, and the file is then
// opened in binary mode anyway. `accepted` is false when the server refused
// (any reply but 350, or a failing command): the file then starts over.
uint32_t Downloader::RestartFtpAt(uint64_t offset, bool& accepted) {
    accepted = false;
    channel_->Begin(AsyncChannel::kFtpCommand);
    BOOL done = api_->FtpCommandW(channel_->Connection(), FALSE, FTP_TRANSFER_TYPE_BINARY,
                                  L"TYPE I", channel_->Context(), nullptr);
    uint32_t error = channel_->Finish(done != FALSE, ::GetLastError());
    if (error == DLERR_CANCELLED || channel_->Stalled()) return error;
    if (error != 0) Log({"Download: the FTP server refused TYPE I (", DecimalPiece(error), ")"});

    channel_->Begin(AsyncChannel::kFtpCommand);
    const std::wstring command = Concat({"REST ", DecimalPiece(offset)});
    done = api_->FtpCommandW(channel_->Connection(), FALSE, FTP_TRANSFER_TYPE_BINARY,
                             command.c_str(), channel_->Context(), nullptr);
    error = channel_->Finish(done != FALSE, ::GetLastError());
    if (error == DLERR_CANCELLED || channel_->Stalled()) return error;
    // A command that completed at once left its reply on this thread; one
    // that completed through the callback left it in the completion record.
    const std::wstring reply = done ? AsyncChannel::LastResponseText() : channel_->ResponseText();
    const int code = FtpReplyCode(reply);
    if (error == 0 && code == kRestAccepted) {
        accepted = true;
        return 0;
    }
    if (error != 0) {
        Log({"Download: the FTP server refused ", command, " (error ", DecimalPiece(error),
             "); the file starts over"});
    } else {
        Log({"Download: the FTP server refused ", command, " (reply ", TrimWhite(reply),
             "); the file starts over"});
    }
    return 0;
}

uint32_t Downloader::OpenFtp(const SourceUrl& url, OpenResult& result) {
    if (credentials_ != nullptr) credentials_->BeginAttempts();
    std::wstring user = url.user;
    std::wstring password = url.password;
    bool restarted = false;
    for (;;) {
        channel_->CloseAll();
        for (;;) {
            const uint32_t error = channel_->Connect(session_, url.host, url.port, user, password,
                                                     INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE);
            if (error == 0) break;
            if (!IsFtpLoginError(error)) return error;
            Log({"Download: the FTP server refused the login (", DecimalPiece(error), ") for ",
                 url.shown});
            if (!AskForCredentials(credentials_, sink_, url.shown, kFtpRealm, L"",
                                   ServerPlace(L"ftp", url.host, url.port), user, password))
                return error;
        }

        // The rest of the ".part" file as it is now.
        const uint64_t offset = ResumeOffset();
        bool restAccepted = false;
        if (offset != 0) {
            const uint32_t error = RestartFtpAt(offset, restAccepted);
            if (error != 0) return error;
        }

        channel_->Begin(AsyncChannel::kOpenFtpFile);
        ::SetLastError(0);
        HINTERNET file = api_->FtpOpenFileW(channel_->Connection(), url.path.c_str(), GENERIC_READ,
                                            FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD,
                                            channel_->Context());
        DWORD lastError = ::GetLastError();
        // Windows reports a pending open as NULL with ERROR_IO_PENDING; Wine
        // answers NULL without setting an error (hence the cleared error
        // above) and then completes through the callback. Windows sets an
        // error with every NULL it returns, so this changes nothing there.
        if (file == nullptr && lastError == 0) lastError = ERROR_IO_PENDING;
        const uint32_t error = channel_->Finish(file != nullptr, lastError);
        if (error != 0) {
            const std::wstring reply = file == nullptr && lastError != ERROR_IO_PENDING
                                           ? AsyncChannel::LastResponseText()
                                           : channel_->ResponseText();
            Log({"Download: cannot open the FTP file ", url.path, " (", DecimalPiece(error),
                 "): ", TrimWhite(reply)});
            // The server took the offset but cannot send from it (a ".part"
            // file longer than the file): start over once.
            if (!restAccepted || restarted || error == DLERR_CANCELLED || channel_->Stalled())
                return error;
            Log({"Download: ", partPath_, " cannot be continued at ", DecimalPiece(offset),
                 "; it is deleted and the file starts over"});
        } else {
            channel_->SetHandle(
                file != nullptr ? file : reinterpret_cast<HINTERNET>(channel_->AsyncResult()));
            // Wine's FtpGetFileSize answers 0: the size is then unknown and
            // the data loop ends when the server ends the data connection, as
            // it does on Windows for a server that reports no size.
            DWORD high = 0;
            DWORD low = api_->FtpGetFileSize(channel_->Handle(), &high);
            if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) low = high = 0;
            const uint64_t size = (static_cast<uint64_t>(high) << 32) | low;
            const uint64_t start = restAccepted ? offset : 0;
            if (size == 0 || start < size) {
                result.start = start;
                result.total = size;
                return 0;
            }
            if (restarted) return DLERR_OFFSET_BEYOND_END;
            Log({"Download: ", partPath_,
                 " is at or beyond the end of the file; the file starts over"});
        }
        // Emptied now, so that the next attempt asks from byte 0.
        part_.Discard();
        restarted = true;
    }
}

// --- file: sources -------------------------------------------------------------

uint32_t Downloader::OpenFileSource(const SourceUrl& url, OpenResult& result) {
    if (credentials_ != nullptr) credentials_->BeginAttempts();
    // Wine cracks some file: URLs ("file://\\server\share\x", "file://dir\x")
    // into the host part and leaves the path empty; Windows fills the path.
    std::wstring path = url.path.empty() ? url.host : url.path;
    std::wstring user = url.user;
    std::wstring password = url.password;
    // User information as the installation reads it: up to the last "@"
    // before the first slash. A password with a slash cannot be told from
    // the path (which would carry it, and name its first part as server).
    const FileLocation location = ParseFileLocation(url.text);
    if (location.refused) {
        Log(
            {"Download: a file: location whose user name or password holds \"/\" or \"\\\" is "
             "refused (write them as %2F and %5C)"});
        return ERROR_INVALID_PARAMETER;
    }
    if (location.isFile && !location.user.empty()) {
        path = location.path;
        user = location.user;
        password = location.password;
    }
    bool connect = !user.empty();
    for (;;) {
        uint32_t error = 0;
        if (connect) {
            const std::wstring folder = ShareFolderOf(path);
            error = ConnectShare(folder.c_str(), user.c_str(),
                                 password.empty() ? nullptr : password.c_str());
            if (error == 0) connectedShare_ = folder;
            if (error != 0)
                Log({"Download: cannot connect ", folder, " (", DecimalPiece(error), ")"});
        }
        if (error == 0) {
            if (path.empty()) return ERROR_INVALID_PARAMETER;
            if (path.size() < 2 || !IsAbsoluteTarget(path)) return ERROR_PATH_NOT_FOUND;
            WIN32_FIND_DATAW data = {};
            UniqueFind find(::FindFirstFileW(path.c_str(), &data));
            if (!find) {
                error = ::GetLastError();
                if (error == 0) error = ERROR_FILE_NOT_FOUND;
            } else {
                result.total =
                    (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
                result.isFile = true;
                result.filePath = path;
                return 0;
            }
        }
        if (!IsShareLogonError(error)) return error;
        const std::wstring server = ShareServerName(path);
        if (!AskForCredentials(credentials_, sink_, url.shown, kShareRealm, server,
                               SharePlace(server), user, password))
            return error;
        connect = true;
    }
}

uint32_t Downloader::CopyFileSource(const std::wstring& path) {
    if (const uint32_t error = CreateFoldersOf(partPath_); error != 0)
        return Fail(error, Concat({"cannot create the folder of ", partPath_}));
    copyReported_ = 0;
    copyLastTick_ = ::GetTickCount();
    if (!::CopyFileExW(path.c_str(), partPath_.c_str(), &Downloader::CopyProgress, this, nullptr,
                       0)) {
        const DWORD error = ::GetLastError();
        if (Cancelled()) return Fail(DLERR_CANCELLED, target_);
        return Fail(error, Concat({"cannot copy ", path, " to ", partPath_}));
    }
    return PutInPlace();
}

DWORD CALLBACK Downloader::CopyProgress(LARGE_INTEGER totalSize, LARGE_INTEGER transferred,
                                        LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD callbackReason,
                                        HANDLE, HANDLE, LPVOID data) {
    return static_cast<Downloader*>(data)->OnCopyProgress(
        static_cast<uint64_t>(totalSize.QuadPart), static_cast<uint64_t>(transferred.QuadPart),
        callbackReason);
}

DWORD Downloader::OnCopyProgress(uint64_t total, uint64_t transferred, DWORD reason) {
    if (reason == CALLBACK_STREAM_SWITCH) {
        copyReported_ = 0;
        copyLastTick_ = ::GetTickCount();
        if (sink_ != nullptr) sink_->TransferStarting(1, total, target_.c_str());
    }
    if (Cancelled()) return PROGRESS_CANCEL;
    const DWORD now = ::GetTickCount();
    if (sink_ != nullptr && transferred > copyReported_ &&
        (now - copyLastTick_ > 199 || transferred >= total)) {
        sink_->BytesWritten(transferred - copyReported_);
        copyReported_ = transferred;
        copyLastTick_ = now;
    }
    return PROGRESS_CONTINUE;
}

}  // namespace pravel
