// The data loop of HTTP(S) and FTP transfers: reads the open source into the
// ".part" file (download/PartFile.h), reconnects with a resume offset when
// the connection breaks, stalls (AsyncChannel bounds every wait by the stall
// time) or trickles (fewer than TransferTimings::slowBytes in slowWindowMs),
// and gives up with DLERR_INCOMPLETE after kMaxIdleReconnects reconnects in
// a row that brought little (BroughtLittle), or with DLERR_TIME_LIMIT when
// the transfer's time limit passes (DownloadTimeLimitMs), keeping the
// ".part" file for the next run.
//
// The file is complete only by proof, never because a connection ended:
// its byte count equals a total known from ExactSize, a stated length, a
// Content-Range total or the tag; or a 416 to a request for the bytes past
// its end names its size as the total (an answer that stated no length); or
// an FTP server that stated no size ends the transfer with a positive
// reply. An answer is never read past its own stated end, nor the file past
// its known size (bytes beyond it start the file over). Offsets and sizes
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
    answerEnd_ = answer.end;
    answerFromStart_ = answer.start == 0;
    if (answer.proven) return 0;
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

namespace {

// A blocking FTP data call (InternetQueryDataAvailable, InternetReadFile),
// made on a thread of its own; its counts go to the channel's record.
struct FtpDataCall : AsyncChannel::ThreadCall {
    const WinInetApi* api = nullptr;
    HINTERNET file = nullptr;
    char* buffer = nullptr;  // null: a query
    DWORD want = 0;
    DWORD* count = nullptr;
    void Run() override {
        succeeded = buffer == nullptr ? api->InternetQueryDataAvailable(file, count, 0, 0)
                                      : api->InternetReadFile(file, buffer, want, count);
        error = succeeded ? 0 : ::GetLastError();
    }
};

}  // namespace

uint32_t Downloader::AnswerEnded(bool& complete) {
    complete = false;
    const uint64_t have = part_.Size();
    if (ftpSource_) {
        // The server's final reply to the transfer comes with the close of
        // the file; one of 4xx or 5xx (426 transfer aborted) ends the data
        // early, whatever it brought.
        if (const uint32_t error = channel_->CloseHandle(); error != 0) return error;
        const std::wstring reply = channel_->CloseReply();
        const int code = FtpReplyCode(reply);
        if (code >= 400) {
            Log({"Download: the FTP transfer ended with ", ServerText(TrimWhite(reply)), " at ",
                 DecimalPiece(have), " bytes"});
            return kConnectionAborted;
        }
        // A server that tells no size says with its positive reply that all
        // of the file was sent.
        if (knownTotal_ == 0 && code >= 200 && code < 300 && have != 0) {
            complete = true;
            return 0;
        }
    }
    if (knownTotal_ != 0 && have == knownTotal_) {
        complete = true;
        return 0;
    }
    if (knownTotal_ == 0 && !ftpSource_)
        Log({"Download: the answer stated no length; the bytes past its ", DecimalPiece(have),
             " bytes are asked for to prove its end"});
    return 0;
}

uint32_t Downloader::DataLoop(const OpenResult& opened) {
    if (sink_ != nullptr) sink_->TransferStarting(1, knownTotal_, target_.c_str());
    if (Cancelled()) return Fail(DLERR_CANCELLED, target_);
    if (const uint32_t error = Adopt(opened); error != 0)
        return Fail(error, Concat({"cannot write ", partPath_}));
    if (sink_ != nullptr) sink_->BytesWritten(part_.Size());
    if (opened.proven) return PutInPlace();

    const TransferTimings timings = CurrentTransferTimings();
    int idleReconnects = 0;               // in a row, that brought little
    uint64_t sizeAtStart = part_.Size();  // of the current connection
    uint64_t lastGrowth = 0;              // what the connection before brought
    DWORD windowStart = ::GetTickCount();
    uint64_t windowBytes = 0;
    for (;;) {
        // Also a source that sends quickly, but never the whole file.
        UpdateDeadline();
        if (channel_->DeadlinePassed()) return FailTimeLimit();
        uint32_t error = 0;
        bool ended = answerEnd_ != 0 && part_.Size() >= answerEnd_;  // all it stated is here
        // How much can be read now. The counts and the buffer belong to the
        // channel's current record: fetched again for every call, because a
        // reconnect may have abandoned the record to a call left pending.
        DWORD& available = channel_->Available();
        available = 0;
        if (!ended && ftpSource_) {
            auto* call = new FtpDataCall();
            call->api = api_;
            call->file = channel_->Handle();
            call->count = &available;
            channel_->Begin(AsyncChannel::kQueryData);
            error = channel_->RunOnThread(call);
            if (error == 0 && channel_->LastCallPended()) {
                const uint32_t count = channel_->AsyncError();
                available = static_cast<int32_t>(count) > 0 ? count : available;
            }
        } else if (!ended) {
            channel_->Begin(AsyncChannel::kQueryData);
            const BOOL queried =
                api_->InternetQueryDataAvailable(channel_->Handle(), &available, 0, 0);
            error = channel_->Finish(queried != FALSE, ::GetLastError());
            if (error == 0 && !queried) {
                const uint32_t count = channel_->AsyncError();
                available = static_cast<int32_t>(count) > 0 ? count : available;
            }
        }
        ended = ended || (error == 0 && available == 0);
        if (!ended && error == 0) {
            char* const buffer = channel_->Buffer();
            DWORD& read = channel_->ReadCount();
            read = 0;
            DWORD want = available < AsyncChannel::kReadBufferSize ? available
                                                                   : AsyncChannel::kReadBufferSize;
            if (answerEnd_ != 0 && answerEnd_ - part_.Size() < want)
                want = static_cast<DWORD>(answerEnd_ - part_.Size());
            channel_->Begin(AsyncChannel::kRead);
            if (ftpSource_) {
                auto* call = new FtpDataCall();
                call->api = api_;
                call->file = channel_->Handle();
                call->buffer = buffer;
                call->want = want;
                call->count = &read;
                error = channel_->RunOnThread(call);
                if (error == 0 && channel_->LastCallPended()) {
                    const uint32_t count = channel_->AsyncError();
                    read = static_cast<int32_t>(count) > 0 ? count : read;
                }
            } else {
                const BOOL done = api_->InternetReadFile(channel_->Handle(), buffer, want, &read);
                error = channel_->Finish(done != FALSE, ::GetLastError());
                if (error == 0 && !done) {
                    const uint32_t count = channel_->AsyncError();
                    read = static_cast<int32_t>(count) > 0 ? count : read;
                }
            }
            ended = error == 0 && read == 0;
            if (error == 0 && read != 0) {
                if (const uint32_t failure = part_.Append(buffer, read); failure != 0)
                    return Fail(failure, Concat({"cannot write ", partPath_}));
                if (sink_ != nullptr) sink_->BytesWritten(read);
                windowBytes += read;
                const DWORD pauseStart = ::GetTickCount();
                bool paused = false;
                while (sink_ != nullptr && sink_->IsPaused() && !sink_->IsCancelled()) {
                    ::Sleep(kPollMs);
                    paused = true;
                }
                // A pause the user made does not count against the time limit.
                if (paused) startTick_ += ::GetTickCount() - pauseStart;
                if (Cancelled()) return Fail(DLERR_CANCELLED, target_);
                if (knownTotal_ != 0 && part_.Size() > knownTotal_) {
                    // More than the file: bytes of another file, or not from
                    // the offset asked for. Never kept, never read on.
                    Log({"Download: the source sent more than ", DecimalPiece(knownTotal_),
                         " bytes; ", partPath_, " starts over"});
                    part_.Discard();
                    // From byte 0: the file itself is larger than ExactSize.
                    if (answerFromStart_ && expectedSize_ != 0)
                        return Fail(DLERR_SIZE_MISMATCH,
                                    Concat({"the file is larger than ExactSize ",
                                            DecimalPiece(expectedSize_)}));
                    error = kConnectionAborted;
                } else {
                    const DWORD now = ::GetTickCount();
                    if (paused || now - windowStart < timings.slowWindowMs) continue;
                    if (windowBytes >= timings.slowBytes) {
                        windowStart = now;
                        windowBytes = 0;
                        continue;
                    }
                    Log({"Download: fewer than ", DecimalPiece(timings.slowBytes),
                         " bytes arrived in ", DecimalPiece(timings.slowWindowMs / 1000),
                         " s; the connection is treated as broken"});
                    error = kTimeout;
                }
            }
        }
        if (error == DLERR_CANCELLED) return Fail(error, target_);
        if (error == 0 && ended) {
            bool complete = false;
            error = AnswerEnded(complete);
            if (complete) return PutInPlace();
            if (error == DLERR_CANCELLED) return Fail(error, target_);
            if (error == 0 && !allowReconnect_)
                return Fail(DLERR_INCOMPLETE,
                            Concat({"the source ended after ", DecimalPiece(part_.Size()), " of ",
                                    DecimalPiece(knownTotal_), " bytes"}));
        }
        if (error == DLERR_TIME_LIMIT || channel_->DeadlinePassed()) return FailTimeLimit();
        if (error != 0 && (!allowReconnect_ || !IsBrokenConnection(error)))
            return Fail(error, Concat({"reading the source of ", target_}));

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
        if (idleReconnects > 0) {
            const uint32_t stop = PauseBeforeAttempt(idleReconnects - 1);
            if (stop == DLERR_TIME_LIMIT) return FailTimeLimit();
            if (stop != 0) return Fail(stop, target_);
        }
        Log({"Download reconnects after ", DecimalPiece(error), " at ", DecimalPiece(part_.Size()),
             " bytes: ", target_});
        bool proven = false;
        error = Reconnect(proven);
        if (error == DLERR_TIME_LIMIT) return FailTimeLimit();
        if (error != 0) return Fail(error, Concat({"reconnecting for ", target_}));
        if (proven) return PutInPlace();
        sizeAtStart = part_.Size();
        windowStart = ::GetTickCount();
        windowBytes = 0;
    }
}

uint32_t Downloader::FailTimeLimit() {
    return Fail(
        DLERR_TIME_LIMIT,
        Concat({"the download did not complete within its time limit of ",
                DecimalPiece(DownloadTimeLimitMs(knownTotal_, part_.Appended(), floorMs_, rate_) /
                             1000),
                " s; ", partPath_, " is kept at ", DecimalPiece(part_.Size()), " bytes"}));
}

uint32_t Downloader::Reconnect(bool& proven) {
    OpenResult opened;
    const uint32_t error = OpenWithFailover(opened);
    if (Cancelled()) return DLERR_CANCELLED;
    if (error != 0) return error;
    proven = opened.proven;
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
