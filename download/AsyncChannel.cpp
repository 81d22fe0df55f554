#include "download/AsyncChannel.h"

#include <atomic>
#include <memory>
#include <vector>

#include "common/ErrorCodes.h"
#include "common/Handles.h"
#include "common/Text.h"
#include "diag/Logger.h"
#include "download/DownloadSink.h"
#include "download/WinInetApi.h"

namespace pravel {

namespace {

constexpr DWORD kPollMs = 10;
// How long a closing handle may take to report that it is closed.
constexpr DWORD kCloseWaitMs = 30000;
// ... after a cancel or the time limit.
constexpr DWORD kHurriedCloseMs = 200;
constexpr uint32_t kTimeout = 12002;  // ERROR_INTERNET_TIMEOUT

}  // namespace

// A ThreadCall and its thread, shared by that thread and the waiting one:
// whoever lets go of it last frees it.
struct ThreadRun {
    std::unique_ptr<AsyncChannel::ThreadCall> call;
    UniqueHandle done;
    std::atomic<int> state{0};  // 0 running, 1 returned, 2 given up
    std::atomic<int> owners{2};
    void Release() {
        if (--owners == 0) delete this;
    }
};

namespace {

DWORD WINAPI RunThreadCall(void* data) {
    auto* run = static_cast<ThreadRun*>(data);
    run->call->Run();
    ::SetEvent(run->done.Get());
    if (run->state.exchange(1) == 2) run->call->Discard();
    run->Release();
    return 0;
}

// InternetConnectW (AsyncChannel::Connect).
struct ConnectCall : AsyncChannel::ThreadCall {
    const WinInetApi* api = nullptr;
    HINTERNET session = nullptr;
    std::wstring host, user, password;
    INTERNET_PORT port = 0;
    DWORD service = 0, flags = 0;
    DWORD_PTR context = 0;
    void Run() override {
        handle = api->InternetConnectW(
            session, host.c_str(), port, user.empty() ? nullptr : user.c_str(),
            password.empty() ? nullptr : password.c_str(), service, flags, context);
        succeeded = handle != nullptr;
        error = succeeded ? 0 : ::GetLastError();
    }
    // Given up meanwhile: nobody else closes what it got.
    void Discard() override {
        if (handle != nullptr) api->InternetCloseHandle(handle);
    }
};

// InternetCloseHandle; for an FTP file it reads the server's final reply.
struct CloseCall : AsyncChannel::ThreadCall {
    const WinInetApi* api = nullptr;
    HINTERNET closing = nullptr;
    HINTERNET second = nullptr;  // closed after it (background closes)
    void Run() override {
        if (closing != nullptr) succeeded = api->InternetCloseHandle(closing);
        if (second != nullptr) api->InternetCloseHandle(second);
        error = succeeded ? 0 : ::GetLastError();
        reply = AsyncChannel::LastResponseText();
    }
};

// Closes handles without waiting for them (an abandoned call's).
DWORD WINAPI CloseInBackground(void* data) {
    std::unique_ptr<CloseCall> call(static_cast<CloseCall*>(data));
    call->Run();
    return 0;
}

std::atomic<uint32_t> g_stallMs{TransferTimings().stallMs};
std::atomic<uint32_t> g_firstPauseMs{TransferTimings().firstPauseMs};
std::atomic<uint32_t> g_maxPauseMs{TransferTimings().maxPauseMs};
std::atomic<uint32_t> g_slowWindowMs{TransferTimings().slowWindowMs};
std::atomic<uint32_t> g_slowBytes{TransferTimings().slowBytes};
std::atomic<uint32_t> g_timeLimitFloorMs{TransferTimings().timeLimitFloorMs};
std::atomic<uint32_t> g_minRate{TransferTimings().minRate};

}  // namespace

TransferTimings CurrentTransferTimings() {
    TransferTimings timings;
    timings.stallMs = g_stallMs.load();
    timings.firstPauseMs = g_firstPauseMs.load();
    timings.maxPauseMs = g_maxPauseMs.load();
    timings.slowWindowMs = g_slowWindowMs.load();
    timings.slowBytes = g_slowBytes.load();
    timings.timeLimitFloorMs = g_timeLimitFloorMs.load();
    timings.minRate = g_minRate.load();
    return timings;
}

TransferTimings SetTransferTimings(const TransferTimings& timings) {
    const TransferTimings previous = CurrentTransferTimings();
    g_stallMs.store(timings.stallMs);
    g_firstPauseMs.store(timings.firstPauseMs);
    g_maxPauseMs.store(timings.maxPauseMs);
    g_slowWindowMs.store(timings.slowWindowMs);
    g_slowBytes.store(timings.slowBytes);
    g_timeLimitFloorMs.store(timings.timeLimitFloorMs);
    g_minRate.store(timings.minRate);
    return previous;
}

uint32_t PauseBeforeAttemptMs(const TransferTimings& timings, int attempt) {
    uint64_t pause = timings.firstPauseMs;
    for (int i = 0; i < attempt && pause < timings.maxPauseMs; ++i) pause *= 2;
    return static_cast<uint32_t>(pause < timings.maxPauseMs ? pause : timings.maxPauseMs);
}

// The completion record. The worker reads the results only after it has seen
// `completed`; the callback stores `completed` as its very last access to the
// record (after signalling the event), so once the worker has seen it the
// record may be reused or freed. The event only wakes the worker early.
struct AsyncChannel::Record {
    std::atomic<uint32_t> asyncError{0};
    std::atomic<uintptr_t> asyncResult{0};
    std::atomic<int> pendingOperation{0};
    std::atomic<bool> completed{true};
    // Set by the callback before it signals the event: the event needs a
    // reset before the next call (most calls complete at once and never
    // signal it, so most need none).
    std::atomic<bool> signalled{false};
    std::wstring lastResponseText;
    UniqueHandle completionEvent;
    UniqueHandle closingEvent;
    DWORD available = 0;
    DWORD read = 0;
    char buffer[kReadBufferSize];
};

AsyncChannel::AsyncChannel(const WinInetApi& api, DownloadSink* sink) : api_(api), sink_(sink) {}

AsyncChannel::~AsyncChannel() {
    CloseAll();  // abandons (never frees) a record that a pending call may still use
    delete record_;
}

uint32_t AsyncChannel::Init() {
    if (record_ == nullptr) record_ = new Record();
    if (!record_->completionEvent)
        record_->completionEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!record_->closingEvent)
        record_->closingEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!record_->completionEvent || !record_->closingEvent) return ::GetLastError();
    return 0;
}

void AsyncChannel::Begin(Operation operation) {
    record_->completed.store(false);
    if (record_->signalled.exchange(false)) ::ResetEvent(record_->completionEvent.Get());
    record_->pendingOperation = operation;
    stalled_ = false;
    stallMs_ = CurrentTransferTimings().stallMs;
    began_ = ::GetTickCount();
}

void AsyncChannel::SetDeadline(DWORD start, uint64_t limitMs) {
    deadlineStart_ = start;
    deadlineMs_ = static_cast<uint32_t>(limitMs < 0x7FFFFFFFu ? limitMs : 0x7FFFFFFFu);
    hasDeadline_ = true;
}

bool AsyncChannel::DeadlinePassed() const {
    return hasDeadline_ && ::GetTickCount() - deadlineStart_ >= deadlineMs_;
}

bool AsyncChannel::GiveUp(bool cancelled) {
    timedOut_ = !cancelled && DeadlinePassed();
    if (!cancelled && !timedOut_ && ::GetTickCount() - began_ < stallMs_) return false;
    callPending_ = true;
    stalled_ = !cancelled && !timedOut_;
    if (stalled_)
        Log({"Download: nothing arrived for ", DecimalPiece(stallMs_ / 1000),
             " s; the connection is treated as broken"});
    return true;
}

uint32_t AsyncChannel::GiveUpCode() const {
    return stalled_ ? kTimeout : (timedOut_ ? DLERR_TIME_LIMIT : DLERR_CANCELLED);
}

uint32_t AsyncChannel::Finish(bool succeeded, DWORD error) {
    if (succeeded || error != ERROR_IO_PENDING) {
        // Completed at once: no callback follows for this call.
        record_->completed.store(true);
        if (succeeded) return 0;
        return error == 0 ? ERROR_INTERNAL_ERROR : error;
    }
    while (!record_->completed.load()) {
        if (GiveUp(sink_ != nullptr && sink_->IsCancelled())) return GiveUpCode();
        ::WaitForSingleObject(record_->completionEvent.Get(), kPollMs);
    }
    return record_->asyncResult.load() != 0 ? 0 : record_->asyncError.load();
}

ThreadRun* AsyncChannel::StartAndWait(ThreadCall* call) {
    auto* run = new ThreadRun();
    run->call.reset(call);
    run->done.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE thread =
        run->done ? ::CreateThread(nullptr, 0, &RunThreadCall, run, 0, nullptr) : nullptr;
    if (thread == nullptr) {
        // No thread to be had: the call is made here, unbounded.
        run->owners = 1;
        run->call->Run();
        return run;
    }
    ::CloseHandle(thread);
    while (::WaitForSingleObject(run->done.Get(), kPollMs) != WAIT_OBJECT_0) {
        if (GiveUp(sink_ != nullptr && sink_->IsCancelled())) {
            // Returned meanwhile: nobody else releases what it got.
            if (run->state.exchange(2) == 1) run->call->Discard();
            run->Release();
            return nullptr;
        }
    }
    return run;
}

uint32_t AsyncChannel::RunOnThread(ThreadCall* call, std::wstring* reply) {
    lastPended_ = false;
    lastHandle_ = nullptr;
    ThreadRun* run = StartAndWait(call);
    if (run == nullptr) return GiveUpCode();
    // The thread has let go of the call (or is about to): it is read here
    // before this side lets go too.
    const bool succeeded = run->call->succeeded != FALSE;
    const DWORD error = run->call->error;
    const HINTERNET handle = run->call->handle;
    if (reply != nullptr) *reply = run->call->reply;
    run->Release();
    lastPended_ = !succeeded && error == ERROR_IO_PENDING;
    const uint32_t outcome = Finish(succeeded, error);
    // A call that pended and completed left its reply in the record; one
    // given up may still write it from the callback, so it is not read.
    if (reply != nullptr && lastPended_ && !callPending_) *reply = ResponseText();
    // A call that pended inside completes with its handle in the record.
    lastHandle_ =
        handle != nullptr || outcome != 0 ? handle : reinterpret_cast<HINTERNET>(AsyncResult());
    return outcome;
}

uint32_t AsyncChannel::Connect(HINTERNET session, const std::wstring& host, INTERNET_PORT port,
                               const std::wstring& user, const std::wstring& password,
                               DWORD service, DWORD flags) {
    Begin(kConnect);
    auto* call = new ConnectCall();
    call->api = &api_;
    call->session = session;
    call->host = host;
    call->user = user;
    call->password = password;
    call->port = port;
    call->service = service;
    call->flags = flags;
    call->context = Context();
    const uint32_t outcome = RunOnThread(call);
    if (outcome == 0) connection_ = lastHandle_;
    return outcome;
}

bool AsyncChannel::CloseOnThread(HINTERNET handle, std::wstring& reply) {
    auto* call = new CloseCall();
    call->api = &api_;
    call->closing = handle;
    // No completion record is involved: only the wait's bounds.
    stalled_ = false;
    stallMs_ = CurrentTransferTimings().stallMs;
    began_ = ::GetTickCount();
    ThreadRun* run = StartAndWait(call);
    if (run == nullptr) return false;
    reply = run->call->reply;
    run->Release();
    return true;
}

uintptr_t AsyncChannel::AsyncResult() const {
    return record_->asyncResult.load();
}

uint32_t AsyncChannel::AsyncError() const {
    return record_->asyncError.load();
}

const std::wstring& AsyncChannel::ResponseText() const {
    return record_->lastResponseText;
}

char* AsyncChannel::Buffer() {
    return record_->buffer;
}

DWORD& AsyncChannel::Available() {
    return record_->available;
}

DWORD& AsyncChannel::ReadCount() {
    return record_->read;
}

void CALLBACK AsyncChannel::StatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info,
                                           DWORD) {
    if (context == 0) return;
    Record* record = reinterpret_cast<Record*>(context);
    switch (status) {
        case INTERNET_STATUS_HANDLE_CLOSING:
            ::SetEvent(record->closingEvent.Get());  // last access
            break;
        case INTERNET_STATUS_REQUEST_COMPLETE: {
            const auto* result = static_cast<const INTERNET_ASYNC_RESULT*>(info);
            record->asyncError = result != nullptr ? result->dwError : ERROR_INTERNAL_ERROR;
            record->asyncResult = result != nullptr ? result->dwResult : 0;
            const int operation = record->pendingOperation;
            if (operation != kRead && operation != kSendRequest && operation != kQueryData)
                record->lastResponseText = LastResponseText();
            record->signalled.store(true);
            ::SetEvent(record->completionEvent.Get());
            record->completed.store(true);  // last access: the worker may reuse the record now
            break;
        }
        default:
            break;
    }
}

std::wstring AsyncChannel::LastResponseText() {
    const WinInetApi& api = WinInet();
    DWORD error = 0;
    DWORD length = 0;
    api.InternetGetLastResponseInfoW(&error, nullptr, &length);
    if (length == 0) return std::wstring();
    std::wstring text(length + 2, L'\0');
    length = static_cast<DWORD>(text.size());
    if (!api.InternetGetLastResponseInfoW(&error, &text[0], &length)) return std::wstring();
    return text.c_str();
}

bool AsyncChannel::WaitClosed(bool& hurried) {
    const DWORD start = ::GetTickCount();
    hurried = false;
    for (;;) {
        // The pending call first, then the handle's own report.
        const bool done = record_->completed.load() &&
                          ::WaitForSingleObject(record_->closingEvent.Get(), 0) == WAIT_OBJECT_0;
        if (done) return true;
        // A cancel or the time limit leaves a close a moment (most report
        // at once), never the full time.
        const DWORD waited = ::GetTickCount() - start;
        hurried = waited >= kHurriedCloseMs &&
                  ((sink_ != nullptr && sink_->IsCancelled()) || DeadlinePassed());
        if (hurried || waited >= kCloseWaitMs) return false;
        ::WaitForSingleObject(record_->completed.load() ? record_->closingEvent.Get()
                                                        : record_->completionEvent.Get(),
                              kPollMs);
    }
}

uint32_t AsyncChannel::CloseHandle() {
    closeOutcome_ = 0;
    Close(handle_);
    return closeOutcome_;
}

void AsyncChannel::CloseAll() {
    Close(handle_);
    Close(connection_);
}

void AsyncChannel::Close(HINTERNET& handle) {
    // A call left pending by a cancel, a stall or the time limit is not
    // waited for: Windows cancels it when its handle closes, Wine lets it
    // run until the server answers (a stalled server: for as long as it
    // stalls). A connect may be pending before there is any handle. Either
    // way its record (with the buffer a pending read writes to) goes with
    // that call and the channel goes on with a new one.
    if (callPending_) {
        Abandon();
        return;
    }
    if (handle == nullptr) return;
    ::ResetEvent(record_->closingEvent.Get());
    const HINTERNET closing = handle;
    handle = nullptr;
    const bool file = &handle == &handle_;
    if (file) closeReply_.clear();
    if (blockingCalls_) {
        std::wstring reply;
        if (!CloseOnThread(closing, reply)) {
            closeOutcome_ = GiveUpCode();
            Abandon();
            return;
        }
        if (file) closeReply_ = reply;
    } else {
        api_.InternetCloseHandle(closing);
    }
    // The callback must be done with the handle before the record is used
    // again: a pending call completes (or is cancelled) first, then the
    // handle reports that it is closing. When the closing is not reported in
    // time (or a cancel or the time limit comes first), the record stays
    // with the old handle too.
    bool hurried = false;
    if (!WaitClosed(hurried)) {
        if (!hurried)
            Log({"Download: an internet handle did not report its closing within ",
                 DecimalPiece(kCloseWaitMs), " ms"});
        Abandon();
    }
}

void AsyncChannel::Abandon() {
    callPending_ = false;
    // Every open handle reports to the same record: each is closed without
    // waiting (where a close may block, on a thread of its own that nobody
    // waits for).
    auto* call = new CloseCall();
    call->api = &api_;
    call->closing = handle_;
    call->second = connection_;
    handle_ = connection_ = nullptr;
    HANDLE thread = nullptr;
    if (call->closing != nullptr || call->second != nullptr) {
        if (blockingCalls_)
            thread = ::CreateThread(nullptr, 0, &CloseInBackground, call, 0, nullptr);
        if (thread != nullptr) {
            ::CloseHandle(thread);
        } else {
            call->Run();
        }
    }
    if (thread == nullptr) delete call;
    record_ = nullptr;  // deliberately not freed: a late callback may still use it
    Init();
}

}  // namespace pravel
