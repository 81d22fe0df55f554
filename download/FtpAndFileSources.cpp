// FTP and file: sources of the Downloader: FTP files are read by the common
// data loop (with resume through REST); local and share files are copied
// with the system's file copy.
#include <windows.h>

#include "common/ErrorCodes.h"
#include "common/Text.h"
#include "diag/Logger.h"
#include "download/CredentialsProvider.h"
#include "download/DownloadSink.h"
#include "download/DownloaderParts.h"
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

uint32_t Downloader::ConnectFtp(const SourceUrl& url, const std::wstring& user,
                                const std::wstring& password) {
    BeginAsync(kOpConnect);
    HINTERNET connection = api_->InternetConnectW(
        session_, url.host.c_str(), url.port, user.empty() ? nullptr : user.c_str(),
        password.empty() ? nullptr : password.c_str(), INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE,
        Context());
    const uint32_t error = FinishAsync(connection != nullptr, ::GetLastError());
    if (error != 0) return error;
    connection_ = connection != nullptr ? connection
                                        : reinterpret_cast<HINTERNET>(record_->asyncResult.load());
    return 0;
}

// Asks the server to start the next transfer at `offset`. The type is set
// to binary first: servers refuse REST in ASCII mode, and the file is then
// opened in binary mode anyway. `accepted` is false when the server refused
// (any reply but 350, or a failing command): the file then starts over.
uint32_t Downloader::RestartFtpAt(uint32_t offset, bool& accepted) {
    accepted = false;
    BeginAsync(kOpFtpCommand);
    BOOL done = api_->FtpCommandW(connection_, FALSE, FTP_TRANSFER_TYPE_BINARY, L"TYPE I",
                                  Context(), nullptr);
    uint32_t error = FinishAsync(done != FALSE, ::GetLastError());
    if (error == DLERR_CANCELLED) return error;
    if (error != 0)
        Log(L"Download: the FTP server refused TYPE I (" + ToDecimalUnsigned(error) + L")");

    BeginAsync(kOpFtpCommand);
    const std::wstring command = L"REST " + ToDecimalUnsigned(offset);
    done = api_->FtpCommandW(connection_, FALSE, FTP_TRANSFER_TYPE_BINARY, command.c_str(),
                             Context(), nullptr);
    error = FinishAsync(done != FALSE, ::GetLastError());
    if (error == DLERR_CANCELLED) return error;
    // A command that completed at once left its reply on this thread; one
    // that completed through the callback left it in the completion record.
    const std::wstring reply = done ? LastResponseText() : record_->lastResponseText;
    const int code = FtpReplyCode(reply);
    if (error == 0 && code == kRestAccepted) {
        accepted = true;
        return 0;
    }
    Log(L"Download: the FTP server refused " + command + L" (" +
        (error != 0 ? L"error " + ToDecimalUnsigned(error) : L"reply " + TrimWhite(reply)) +
        L"); the file starts over");
    return 0;
}

uint32_t Downloader::OpenFtp(const SourceUrl& url, uint32_t& offset, OpenResult& result) {
    if (credentials_ != nullptr) credentials_->BeginAttempts();
    std::wstring user = url.user;
    std::wstring password = url.password;
    for (;;) {
        const uint32_t error = ConnectFtp(url, user, password);
        if (error == 0) break;
        if (!IsFtpLoginError(error)) return error;
        Log(L"Download: the FTP server refused the login (" + ToDecimalUnsigned(error) + L") for " +
            url.text);
        if (!AskForCredentials(credentials_, sink_, url.text, kFtpRealm, L"", user, password))
            return error;
    }

    if (resume_ && offset != 0) {
        bool accepted = false;
        const uint32_t error = RestartFtpAt(offset, accepted);
        if (error != 0) return error;
        if (!accepted) offset = 0;
    }

    BeginAsync(kOpOpenFtpFile);
    ::SetLastError(0);
    HINTERNET file = api_->FtpOpenFileW(connection_, url.path.c_str(), GENERIC_READ,
                                        FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, Context());
    DWORD lastError = ::GetLastError();
    // Windows reports a pending open as NULL with ERROR_IO_PENDING; Wine
    // answers NULL without setting an error (hence the cleared error above)
    // and then completes through the callback. Windows sets an error with
    // every NULL it returns, so this changes nothing there.
    if (file == nullptr && lastError == 0) lastError = ERROR_IO_PENDING;
    const uint32_t error = FinishAsync(file != nullptr, lastError);
    if (error != 0) {
        const std::wstring reply = file == nullptr && lastError != ERROR_IO_PENDING
                                       ? LastResponseText()
                                       : record_->lastResponseText;
        Log(L"Download: cannot open the FTP file " + url.path + L" (" + ToDecimalUnsigned(error) +
            L"): " + TrimWhite(reply));
        return error;
    }
    handle_ = file != nullptr ? file : reinterpret_cast<HINTERNET>(record_->asyncResult.load());

    // Wine's FtpGetFileSize answers 0: the size is then unknown and the data
    // loop ends when the server ends the data connection, as it does on
    // Windows for a server that reports no size.
    DWORD high = 0;
    DWORD size = api_->FtpGetFileSize(handle_, &high);
    if (size == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) size = 0;
    if (size != 0 && offset >= size) {
        CloseInternetHandle(handle_);
        return DLERR_OFFSET_BEYOND_END;
    }
    result.announced = size;
    return 0;
}

// --- file: sources -------------------------------------------------------------

uint32_t Downloader::OpenFileSource(const SourceUrl& url, uint32_t& offset, OpenResult& result) {
    if (credentials_ != nullptr) credentials_->BeginAttempts();
    // Wine cracks some file: URLs ("file://\\server\share\x", "file://dir\x")
    // into the host part and leaves the path empty; Windows fills the path.
    const std::wstring path = url.path.empty() ? url.host : url.path;
    std::wstring user = url.user;
    std::wstring password = url.password;
    bool connect = !user.empty();
    for (;;) {
        uint32_t error = 0;
        if (connect) {
            const std::wstring folder = ShareFolderOf(path);
            error = ConnectShare(folder.c_str(), user.c_str(),
                                 password.empty() ? nullptr : password.c_str());
            if (error != 0)
                Log(L"Download: cannot connect " + folder + L" (" + ToDecimalUnsigned(error) +
                    L")");
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
                result.announced = data.nFileSizeLow;
                result.isFile = true;
                result.filePath = path;
                offset = 0;
                return 0;
            }
        }
        if (!IsShareLogonError(error)) return error;
        if (!AskForCredentials(credentials_, sink_, url.text, kShareRealm, ShareServerName(path),
                               user, password))
            return error;
        connect = true;
    }
}

uint32_t Downloader::CopyFileSource(const std::wstring& path) {
    if (const uint32_t error = CreateFoldersOf(partPath_); error != 0)
        return Fail(error, L"cannot create the folder of " + partPath_);
    copyReported_ = 0;
    copyLastTick_ = ::GetTickCount();
    if (!::CopyFileExW(path.c_str(), partPath_.c_str(), &Downloader::CopyProgress, this, nullptr,
                       0)) {
        const DWORD error = ::GetLastError();
        if (Cancelled()) return Fail(DLERR_CANCELLED, target_);
        return Fail(error, L"cannot copy " + path + L" to " + partPath_);
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
