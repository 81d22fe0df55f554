// The data loop of HTTP(S) and FTP transfers: reads the open source into the
// ".part" file, reconnects with a resume offset when the connection breaks
// or stalls (AsyncChannel bounds every wait by the stall time), and gives up
// with DLERR_INCOMPLETE after kMaxIdleReconnects reconnects in a row that
// brought no new byte, keeping the ".part" file for the next run. Offsets and
// sizes are 64-bit throughout.
#include <windows.h>

#include "common/ErrorCodes.h"
#include "common/Handles.h"
#include "common/Text.h"
#include "diag/Logger.h"
#include "download/DownloadSink.h"
#include "download/DownloaderParts.h"
#include "download/PartFile.h"

namespace pravel {

using namespace transfer;

namespace {

constexpr DWORD kPollMs = 10;

}  // namespace

uint32_t Downloader::StartPartAt(uint64_t offset, const std::wstring& validator) {
    LARGE_INTEGER at = {};
    at.QuadPart = static_cast<LONGLONG>(offset);
    // A ".part" file longer than the offset the server agreed to is cut.
    if (!::SetFilePointerEx(partFile_, at, nullptr, FILE_BEGIN) || !::SetEndOfFile(partFile_))
        return ::GetLastError();
    if (offset == 0) WritePartValidator(partPath_, validator);
    return 0;
}

uint32_t Downloader::DataLoop(uint64_t offset, const OpenResult& opened) {
    uint64_t announced = opened.announced;
    if (sink_ != nullptr) sink_->TransferStarting(1, announced, target_.c_str());
    if (Cancelled()) return Fail(DLERR_CANCELLED, target_);
    if (const uint32_t error = CreateFoldersOf(partPath_); error != 0)
        return Fail(error, Concat({L"cannot create the folder of ", partPath_}));

    UniqueFile file(::CreateFileW(partPath_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  offset == 0 ? CREATE_ALWAYS : OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        if (Cancelled()) return Fail(DLERR_CANCELLED, target_);
        return Fail(error, Concat({L"cannot open ", partPath_}));
    }
    partFile_ = file.Get();
    struct ForgetFile {
        HANDLE& file;
        ~ForgetFile() { file = nullptr; }
    } forget{partFile_};
    if (const uint32_t error = StartPartAt(offset, opened.validator); error != 0)
        return Fail(error, Concat({L"cannot continue ", partPath_}));
    if (sink_ != nullptr) sink_->BytesWritten(offset);

    int idleReconnects = 0;    // reconnects in a row after which no byte came
    bool reconnected = false;  // whether any reconnect happened yet
    uint64_t sizeAtLastReconnect = 0;
    for (;;) {
        // How much can be read now. The counts and the buffer belong to the
        // channel's current record: fetched again for every call, because a
        // reconnect may have abandoned the record to a call left pending.
        DWORD& available = channel_->Available();
        available = 0;
        channel_->Begin(AsyncChannel::kQueryData);
        const BOOL queried = api_->InternetQueryDataAvailable(channel_->Handle(), &available, 0, 0);
        uint32_t error = channel_->Finish(queried != FALSE, ::GetLastError());
        if (error == 0 && !queried) {
            const uint32_t count = channel_->AsyncError();
            available = static_cast<int32_t>(count) > 0 ? count : available;
        }
        if (error == 0 && available != 0) {
            char* const buffer = channel_->Buffer();
            DWORD& read = channel_->ReadCount();
            read = 0;
            const DWORD want = available < AsyncChannel::kReadBufferSize
                                   ? available
                                   : AsyncChannel::kReadBufferSize;
            channel_->Begin(AsyncChannel::kRead);
            const BOOL done = api_->InternetReadFile(channel_->Handle(), buffer, want, &read);
            error = channel_->Finish(done != FALSE, ::GetLastError());
            if (error == 0 && !done) {
                const uint32_t count = channel_->AsyncError();
                read = static_cast<int32_t>(count) > 0 ? count : read;
            }
            if (error == 0 && read != 0) {
                DWORD written = 0;
                if (!::WriteFile(file.Get(), buffer, read, &written, nullptr) || written != read)
                    return Fail(::GetLastError(), Concat({L"cannot write ", partPath_}));
                if (sink_ != nullptr) sink_->BytesWritten(read);
                while (sink_ != nullptr && sink_->IsPaused() && !sink_->IsCancelled())
                    ::Sleep(kPollMs);
                if (Cancelled()) return Fail(DLERR_CANCELLED, target_);
                continue;
            }
        }
        if (error == DLERR_CANCELLED) return Fail(error, target_);

        bool reconnect = false;
        if (error == 0) {
            // Nothing more is available.
            const uint64_t have = OpenFileSize(file.Get());
            if (announced == 0 || have >= announced) {
                file.Reset();
                return PutInPlace();
            }
            if (!allowReconnect_)
                return Fail(DLERR_INCOMPLETE,
                            Concat({L"the source ended after ", DecimalPiece(have), L" of ",
                                    DecimalPiece(announced), L" bytes"}));
            reconnect = true;
        } else if (allowReconnect_ && IsBrokenConnection(error)) {
            reconnect = true;
        }
        if (!reconnect) return Fail(error, Concat({L"reading the source of ", target_}));

        // A server that keeps breaking the connection, or stalling, without
        // sending anything new would be reconnected for ever.
        ::FlushFileBuffers(file.Get());
        const uint64_t have = OpenFileSize(file.Get());
        idleReconnects = reconnected && have == sizeAtLastReconnect ? idleReconnects + 1 : 0;
        reconnected = true;
        sizeAtLastReconnect = have;
        if (idleReconnects >= kMaxIdleReconnects)
            return Fail(DLERR_INCOMPLETE, Concat({DecimalPiece(kMaxIdleReconnects),
                                                  L" reconnects brought no new byte; ", partPath_,
                                                  L" is kept at ", DecimalPiece(have), L" bytes"}));
        // The first reconnect after progress is immediate; one that brought
        // nothing is followed by growing pauses.
        if (idleReconnects > 0 && !PauseBeforeAttempt(idleReconnects - 1))
            return Fail(DLERR_CANCELLED, target_);
        Log({L"Download reconnects after ", DecimalPiece(error), L" at ", DecimalPiece(have),
             L" bytes: ", target_});
        error = Reconnect(announced);
        if (error != 0) return Fail(error, Concat({L"reconnecting for ", target_}));
    }
}

uint32_t Downloader::Reconnect(uint64_t& announced) {
    const uint64_t size = OpenFileSize(partFile_);
    uint64_t offset = resume_ ? size : 0;
    OpenResult opened;
    const uint32_t error = OpenWithFailover(offset, opened);
    if (Cancelled()) return DLERR_CANCELLED;
    if (error != 0) return error;
    if (offset != size) {
        if (offset != 0) return kTimeout;
        // The source sends the whole file again (it ignores ranges, or the
        // file changed behind the URL): the ".part" file starts over.
        if (const uint32_t failure = StartPartAt(0, opened.validator); failure != 0) return failure;
        if (sink_ != nullptr) sink_->TransferStarting(1, opened.announced, target_.c_str());
    }
    announced = opened.announced;
    LARGE_INTEGER end = {};
    ::SetFilePointerEx(partFile_, end, nullptr, FILE_END);
    return 0;
}

uint32_t Downloader::PutInPlace() {
    ::DeleteFileW(target_.c_str());
    if (!::MoveFileW(partPath_.c_str(), target_.c_str())) {
        if (!::CopyFileW(partPath_.c_str(), target_.c_str(), FALSE))
            return Fail(::GetLastError(), Concat({L"cannot put ", partPath_, L" in place"}));
        ::DeleteFileW(partPath_.c_str());
    }
    ::DeleteFileW(PartTagPath(partPath_).c_str());
    Log({L"Download complete: ", target_});
    if (sink_ != nullptr) sink_->TransferFinished(1, 0);
    return 0;
}

}  // namespace pravel
