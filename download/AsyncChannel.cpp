#include "download/AsyncChannel.h"

#include <atomic>
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
constexpr uint32_t kTimeout = 12002;  // ERROR_INTERNET_TIMEOUT

std::atomic<uint32_t> g_stallMs{TransferTimings().stallMs};
std::atomic<uint32_t> g_firstPauseMs{TransferTimings().firstPauseMs};
std::atomic<uint32_t> g_maxPauseMs{TransferTimings().maxPauseMs};

}  // namespace

TransferTimings CurrentTransferTimings() {
    TransferTimings timings;
    timings.stallMs = g_stallMs.load();
    timings.firstPauseMs = g_firstPauseMs.load();
    timings.maxPauseMs = g_maxPauseMs.load();
    return timings;
}

TransferTimings SetTransferTimings(const TransferTimings& timings) {
    const TransferTimings previous = CurrentTransferTimings();
    g_stallMs.store(timings.stallMs);
    g_firstPauseMs.store(timings.firstPauseMs);
    g_maxPauseMs.store(timings.maxPauseMs);
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
    std::wstring lastResponseText;
    UniqueHandle completionEvent;
    UniqueHandle closingEvent;
    DWORD available = 0;
    DWORD read = 0;
    char buffer[kReadBufferSize];
};

AsyncChannel::AsyncChannel(const WinInetApi& api, DownloadSink* sink) : api_(api), sink_(sink) {}

AsyncChannel::~AsyncChannel() {
    CloseAll();
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
    ::ResetEvent(record_->completionEvent.Get());
    record_->pendingOperation = operation;
    stalled_ = false;
    stallMs_ = CurrentTransferTimings().stallMs;
}

uint32_t AsyncChannel::Finish(bool succeeded, DWORD error) {
    if (succeeded || error != ERROR_IO_PENDING) {
        // Completed at once: no callback follows for this call.
        record_->completed.store(true);
        if (succeeded) return 0;
        return error == 0 ? ERROR_INTERNAL_ERROR : error;
    }
    const DWORD start = ::GetTickCount();
    while (!record_->completed.load()) {
        if (sink_ != nullptr && sink_->IsCancelled()) {
            callPending_ = true;
            return DLERR_CANCELLED;
        }
        if (::GetTickCount() - start >= stallMs_) {
            Log({L"Download: nothing arrived for ", DecimalPiece(stallMs_ / 1000),
                 L" s; the connection is treated as broken"});
            callPending_ = true;
            stalled_ = true;
            return kTimeout;
        }
        ::WaitForSingleObject(record_->completionEvent.Get(), kPollMs);
    }
    return record_->asyncResult.load() != 0 ? 0 : record_->asyncError.load();
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
    std::vector<wchar_t> text(length + 2);
    length = static_cast<DWORD>(text.size());
    if (!api.InternetGetLastResponseInfoW(&error, text.data(), &length)) return std::wstring();
    return std::wstring(text.data());
}

bool AsyncChannel::WaitCompleted(DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (!record_->completed.load()) {
        if (::GetTickCount() - start >= timeoutMs) return false;
        ::WaitForSingleObject(record_->completionEvent.Get(), kPollMs);
    }
    return true;
}

void AsyncChannel::CloseHandle() {
    Close(handle_);
}

void AsyncChannel::CloseAll() {
    Close(handle_);
    Close(connection_);
}

void AsyncChannel::Close(HINTERNET& handle) {
    if (handle == nullptr) return;
    const bool pending = callPending_;
    callPending_ = false;
    ::ResetEvent(record_->closingEvent.Get());
    api_.InternetCloseHandle(handle);
    handle = nullptr;
    // The callback must be done with the handle before the record is used
    // again: a pending call completes (or is cancelled) first, then the
    // handle reports that it is closing. A call left pending by a cancel or
    // a stall is not waited for: Windows cancels it when its handle closes,
    // Wine lets it run until the server answers (a stalled server: for as
    // long as it stalls). Then, or when the closing is not reported in time,
    // the record (with the buffer a pending read writes to) stays with the
    // old handle and the channel goes on with a new one.
    if (pending) {
        Abandon();
        return;
    }
    if (!WaitCompleted(kCloseWaitMs) ||
        ::WaitForSingleObject(record_->closingEvent.Get(), kCloseWaitMs) != WAIT_OBJECT_0) {
        Log({L"Download: an internet handle did not report its closing within ",
             DecimalPiece(kCloseWaitMs), L" ms"});
        Abandon();
    }
}

void AsyncChannel::Abandon() {
    // The other open handle reports to the same record: it is closed
    // without waiting as well.
    for (HINTERNET* other : {&handle_, &connection_}) {
        if (*other != nullptr) api_.InternetCloseHandle(*other);
        *other = nullptr;
    }
    record_ = nullptr;  // deliberately not freed: a late callback may still use it
    Init();
}

}  // namespace pravel
