// The data loop of HTTP(S) and FTP transfers: reads the open source into the
// ".part" file (download/PartFile.h), reconnects with a resume offset when
// the connection breaks, stalls (AsyncChannel bounds every wait by the stall
// time) or trickles (fewer than TransferTimings::slowBytes in slowWindowMs),
// and gives up with DLERR_INCOMPLETE after kMaxIdleReconnects reconnects in
// a row that brought little (BroughtLittle), keeping the ".part" file for the
// next run. An answer's end completes the file only when the file has the
// size an answer stated (or no answer ever stated one). Offsets and sizes
// are 64-bit throughout.
#include <windows.h>

#include "common/ErrorCodes.h"
#include "common/Text.h"
#include "diag/Logger.h"
#include "download/DownloadSink.h"
#include "download/DownloaderParts.h"
#include "download/TransferText.h"

namespace pravel {

using namespace transfer;

namespace {

constexpr DWORD kPollMs = 10;

}  // namespace

uint32_t Downloader::Adopt(const OpenResult& answer) {
    if (answer.start == 0) {
        if (const uint32_t error = CreateFoldersOf(partPath_); error != 0) return error;
        return part_.Begin(answer.validator, knownTotal_);
    }
    // The offset asked for was the file's size a moment ago; nothing else
    // writes to it.
    if (answer.start != part_.Size()) return kTimeout;
    if (knownTotal_ != part_.Total()) part_.SetTotal(knownTotal_);
    return 0;
}

uint32_t Downloader::DataLoop(const OpenResult& opened) {
    if (sink_ != nullptr) sink_->TransferStarting(1, knownTotal_, target_.c_str());
    if (Cancelled()) return Fail(DLERR_CANCELLED, target_);
    if (const uint32_t error = Adopt(opened); error != 0)
        return Fail(error, Concat({"cannot write ", partPath_}));
    if (sink_ != nullptr) sink_->BytesWritten(part_.Size());

    const TransferTimings timings = CurrentTransferTimings();
    int idleReconnects = 0;               // in a row, that brought little
    uint64_t sizeAtStart = part_.Size();  // of the current connection
    uint64_t lastGrowth = 0;              // what the connection before brought
    DWORD windowStart = ::GetTickCount();
    uint64_t windowBytes = 0;
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
                if (const uint32_t failure = part_.Append(buffer, read); failure != 0)
                    return Fail(failure, Concat({"cannot write ", partPath_}));
                if (sink_ != nullptr) sink_->BytesWritten(read);
                windowBytes += read;
                bool paused = false;
                while (sink_ != nullptr && sink_->IsPaused() && !sink_->IsCancelled()) {
                    ::Sleep(kPollMs);
                    paused = true;
                }
                if (Cancelled()) return Fail(DLERR_CANCELLED, target_);
                const DWORD now = ::GetTickCount();
                if (paused || now - windowStart < timings.slowWindowMs) continue;
                if (windowBytes >= timings.slowBytes) {
                    windowStart = now;
                    windowBytes = 0;
                    continue;
                }
                Log({"Download: fewer than ", DecimalPiece(timings.slowBytes), " bytes arrived in ",
                     DecimalPiece(timings.slowWindowMs / 1000),
                     " s; the connection is treated as broken"});
                error = kTimeout;
            }
        }
        if (error == DLERR_CANCELLED) return Fail(error, target_);

        const uint64_t have = part_.Size();
        if (error == 0) {
            // The answer ended. Complete only at the size an answer stated.
            if (knownTotal_ == 0 || have == knownTotal_) return PutInPlace();
            if (have > knownTotal_) {
                Log({"Download: the source sent more than ", DecimalPiece(knownTotal_), " bytes; ",
                     partPath_, " starts over"});
                part_.Discard();
            }
            if (!allowReconnect_)
                return Fail(DLERR_INCOMPLETE,
                            Concat({"the source ended after ", DecimalPiece(have), " of ",
                                    DecimalPiece(knownTotal_), " bytes"}));
        } else if (!allowReconnect_ || !IsBrokenConnection(error)) {
            return Fail(error, Concat({"reading the source of ", target_}));
        }

        // A server that keeps breaking the connection, stalling or
        // trickling without sending much would be reconnected for ever.
        part_.Flush();
        const uint64_t growth = part_.Size() > sizeAtStart ? part_.Size() - sizeAtStart : 0;
        idleReconnects = BroughtLittle(growth, lastGrowth) ? idleReconnects + 1 : 0;
        lastGrowth = growth;
        if (idleReconnects >= kMaxIdleReconnects)
            return Fail(
                DLERR_INCOMPLETE,
                Concat({DecimalPiece(kMaxIdleReconnects), " connections in a row brought little; ",
                        partPath_, " is kept at ", DecimalPiece(part_.Size()), " bytes"}));
        // A reconnect after progress is immediate; one after little is
        // preceded by growing pauses.
        if (idleReconnects > 0 && !PauseBeforeAttempt(idleReconnects - 1))
            return Fail(DLERR_CANCELLED, target_);
        Log({"Download reconnects after ", DecimalPiece(error), " at ", DecimalPiece(part_.Size()),
             " bytes: ", target_});
        error = Reconnect();
        if (error != 0) return Fail(error, Concat({"reconnecting for ", target_}));
        sizeAtStart = part_.Size();
        windowStart = ::GetTickCount();
        windowBytes = 0;
    }
}

uint32_t Downloader::Reconnect() {
    OpenResult opened;
    const uint32_t error = OpenWithFailover(opened);
    if (Cancelled()) return DLERR_CANCELLED;
    if (error != 0) return error;
    // The file starts over (the source ignores ranges, or the file changed
    // behind the URL).
    if (opened.start == 0 && sink_ != nullptr)
        sink_->TransferStarting(1, knownTotal_, target_.c_str());
    return Adopt(opened);
}

uint32_t Downloader::PutInPlace() {
    if (const uint32_t error = part_.MoveTo(target_); error != 0)
        return Fail(error, Concat({"cannot put ", partPath_, " in place"}));
    Log({"Download complete: ", target_});
    if (sink_ != nullptr) sink_->TransferFinished(1, 0);
    return 0;
}

}  // namespace pravel
