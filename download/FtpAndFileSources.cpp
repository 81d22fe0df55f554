// FTP and file: sources of the Downloader: FTP files are read by the common
// data loop (with resume through REST); local and share files are copied
// with the system's file copy.
#include <windows.h>

#include "common/ErrorCodes.h"
#include "common/Text.h"
#include "diag/Logger.h"
#include "download/CredentialsProvider.h"
#include "download/DownloaderParts.h"
#include "download/DownloadSink.h"
#include "download/FileLocation.h"
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
//
// Every FTP call is made on a thread of its own and bounded like any call
// (AsyncChannel::RunOnThread): Wine makes them synchronously and a server
// can keep each of them waiting (REST answered with continuation lines, a
// data connection that goes silent, a final reply that never comes). The
// size of the file comes from SIZE (Wine's FtpGetFileSize answers 0). A
// resume (REST) is made only when the size is known: bytes that run past it
// cannot be from the offset asked for, and start the file over.

namespace {

// FtpCommandW on a thread of its own; the reply is read on that thread.
struct FtpCommandCall : AsyncChannel::ThreadCall {
    const WinInetApi* api = nullptr;
    HINTERNET connection = nullptr;
    std::wstring command;
    DWORD_PTR context = 0;
    void Run() override {
        succeeded = api->FtpCommandW(connection, FALSE, FTP_TRANSFER_TYPE_BINARY, command.c_str(),
                                     context, nullptr);
        error = succeeded ? 0 : ::GetLastError();
        if (succeeded) reply = AsyncChannel::LastResponseText();
    }
};

// FtpOpenFileW on a thread of its own.
struct FtpOpenCall : AsyncChannel::ThreadCall {
    const WinInetApi* api = nullptr;
    HINTERNET connection = nullptr;
    std::wstring path;
    DWORD_PTR context = 0;
    void Run() override {
        ::SetLastError(0);
        handle = api->FtpOpenFileW(connection, path.c_str(), GENERIC_READ,
                                   FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, context);
        succeeded = handle != nullptr;
        error = succeeded ? 0 : ::GetLastError();
        // Windows reports a pending open as NULL with ERROR_IO_PENDING; Wine
        // answers NULL without setting an error and then completes through
        // the callback. Windows sets an error with every NULL it returns,
        // so this changes nothing there.
        if (!succeeded && error == 0) error = ERROR_IO_PENDING;
        if (!succeeded && error != ERROR_IO_PENDING) reply = AsyncChannel::LastResponseText();
    }
    void Discard() override {
        if (handle != nullptr) api->InternetCloseHandle(handle);
    }
};

}  // namespace

uint32_t Downloader::FtpCommand(const std::wstring& command, std::wstring& reply) {
    auto* call = new FtpCommandCall();
    call->api = api_;
    call->connection = channel_->Connection();
    call->command = command;
    call->context = channel_->Context();
    channel_->Begin(AsyncChannel::kFtpCommand);
    return channel_->RunOnThread(call, &reply);
}

// Asks the server to start the next transfer at `offset`. `accepted` is
// false when the server refused (any reply but 350, or a failing command):
// the file then starts over.
uint32_t Downloader::RestartFtpAt(uint64_t offset, bool& accepted) {
    accepted = false;
    const std::wstring command = Concat({"REST ", DecimalPiece(offset)});
    std::wstring reply;
    const uint32_t error = FtpCommand(command, reply);
    if (channel_->GaveUp(error)) return error;
    if (error == 0 && FtpReplyCode(reply) == kRestAccepted) {
        accepted = true;
        return 0;
    }
    if (error != 0) {
        Log({"Download: the FTP server refused ", command, " (error ", DecimalPiece(error),
             "); the file starts over"});
    } else {
        Log({"Download: the FTP server refused ", command, " (reply ", ServerText(TrimWhite(reply)),
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
            if (!AskForCredentials(credentials_, sink_, url.shown, kFtpRealm, std::wstring(),
                                   ServerPlace(L"ftp", url.host, url.port), user, password))
                return error;
        }
        // Binary mode first: servers refuse SIZE and REST in ASCII mode, and
        // the file is opened in binary mode anyway.
        std::wstring reply;
        uint32_t error = FtpCommand(L"TYPE I", reply);
        if (channel_->GaveUp(error)) return error;
        if (error != 0)
            Log({"Download: the FTP server refused TYPE I (", DecimalPiece(error), ")"});
        uint64_t size = 0;
        error = FtpCommand(Concat({"SIZE ", url.path}), reply);
        if (channel_->GaveUp(error)) return error;
        if (error != 0 || !FtpSizeFromReply(reply, size)) size = 0;

        // The rest of the ".part" file as it is now; continued only when its
        // end can be checked against a size.
        uint64_t offset = ResumeOffset();
        if (offset != 0 && size == 0 && knownTotal_ == 0) {
            Log({"Download: the FTP server tells no size; ", partPath_,
                 " cannot be checked and starts over"});
            part_.Discard();
            offset = 0;
        }
        bool restAccepted = false;
        if (offset != 0) {
            error = RestartFtpAt(offset, restAccepted);
            if (error != 0) return error;
        }

        auto* open = new FtpOpenCall();
        open->api = api_;
        open->connection = channel_->Connection();
        open->path = url.path;
        open->context = channel_->Context();
        channel_->Begin(AsyncChannel::kOpenFtpFile);
        error = channel_->RunOnThread(open, &reply);
        if (error != 0) {
            // A call given up may still write the record: it is not read then.
            if (reply.empty() && !channel_->GaveUp(error)) reply = channel_->ResponseText();
            Log({"Download: cannot open the FTP file ", url.path, " (", DecimalPiece(error),
                 "): ", ServerText(TrimWhite(reply))});
            // The server took the offset but cannot send from it (a ".part"
            // file longer than the file): start over once.
            if (!restAccepted || restarted || channel_->GaveUp(error)) return error;
            Log({"Download: ", partPath_, " cannot be continued at ", DecimalPiece(offset),
                 "; it is deleted and the file starts over"});
        } else {
            channel_->SetHandle(channel_->LastHandle());
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
