// One connection of the transfer engine: its WinINet connection handle, its
// request (HTTP) or file (FTP) handle, and the one asynchronous call that may
// be outstanding on them, with the completion record that the status
// callback fills.
//
// A call is made as Begin(operation), the WinINet call with Context() as its
// context, then Finish(succeeded, GetLastError()). Finish waits in 10 ms
// steps and gives up in three cases, leaving the call pending:
//   - the sink reports cancel: DLERR_CANCELLED;
//   - the call did not complete within the stall time (TransferTimings):
//     12002 (timeout), and Stalled() is true. The connection is then
//     treated as broken; this bounds a server that accepts the connection
//     and then sends nothing, which WinINet itself does not always bound;
//   - the download's time limit passed (SetDeadline): DLERR_TIME_LIMIT.
//
// Calls that the internet library may make block the calling thread
// (Wine: the connect, and every FTP call: commands, the data peek, the
// close of a file that reads the server's final reply) are made on a thread
// of their own (RunOnThread, and every close while BlockingCalls is on) and
// waited for the same way, so the same three bounds hold for them.
// A call left pending keeps writing to its completion record when it ends
// (Wine does not abort a pending call when its handle closes): closing the
// handles then abandons the record to that call instead of freeing it (a
// small leak per abandoned call), and the channel continues with a new one.
//
// Used by one thread at a time (the transfer's); the status callback runs on
// WinINet's threads and only fills the record and signals its events.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

#include "common/ErrorCodes.h"
#include "download/TransferText.h"

namespace pravel {

class DownloadSink;
struct ThreadRun;
struct WinInetApi;

// How long the transfer engine waits. Process-wide; the program always uses
// the defaults, the library's tests shorten them.
struct TransferTimings {
    // A call that has not completed for this long (no byte, no answer)
    // counts as a broken connection.
    uint32_t stallMs = 60000;
    // Pause before the first repeated attempt of a series (a retried
    // connection, a reconnect that brought nothing); it doubles with every
    // further attempt up to maxPauseMs.
    uint32_t firstPauseMs = 1000;
    uint32_t maxPauseMs = 15000;
    // A connection that brings fewer than slowBytes in slowWindowMs (a
    // server that trickles) counts as broken too.
    uint32_t slowWindowMs = 120000;
    uint32_t slowBytes = 1024;
    // The time limit of a download (DownloadTimeLimitMs in
    // download/TransferText.h): at least floorMs, and minRate bytes per
    // second for a file whose size is known. The configuration's
    // DownloadTimeLimit and DownloadMinRate set them for each download.
    uint32_t timeLimitFloorMs = kDefaultDownloadTimeLimitSeconds * 1000;
    uint32_t minRate = kDefaultDownloadMinRate;
};
TransferTimings CurrentTransferTimings();
// Installs `timings`; returns the previous ones.
TransferTimings SetTransferTimings(const TransferTimings& timings);

// The pause before repeated attempt `attempt` (0 = the first repetition).
uint32_t PauseBeforeAttemptMs(const TransferTimings& timings, int attempt);

class AsyncChannel {
  public:
    static constexpr DWORD kReadBufferSize = 51200;

    // `sink` may be null (then nothing cancels).
    AsyncChannel(const WinInetApi& api, DownloadSink* sink);
    // Closes both handles; frees the record unless a call may still use it.
    ~AsyncChannel();
    AsyncChannel(const AsyncChannel&) = delete;
    AsyncChannel& operator=(const AsyncChannel&) = delete;

    // Creates the record and its events; 0 or the Win32 error.
    uint32_t Init();
    // The context to pass with every handle and call of this channel.
    DWORD_PTR Context() const { return reinterpret_cast<DWORD_PTR>(record_); }
    // The status callback to install on the session.
    static void CALLBACK StatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status,
                                        LPVOID info, DWORD infoLength);

    // Operation codes: how the callback treats a completion.
    enum Operation : int {
        kConnect = 0,
        kOpenFtpFile = 2,
        kRead = 3,
        kFtpCommand = 4,
        kOpenRequest = 6,
        kSendRequest = 7,
        kQueryData = 8,
    };
    void Begin(Operation operation);
    // The outcome of the call begun last: 0, its error, DLERR_CANCELLED,
    // 12002 (stalled since Begin) or DLERR_TIME_LIMIT; see above.
    uint32_t Finish(bool succeeded, DWORD error);
    bool Stalled() const { return stalled_; }
    // Whether `outcome` (of the call begun last) means the wait was given
    // up: a cancel, the time limit or a stall.
    bool GaveUp(uint32_t outcome) const {
        return outcome == DLERR_CANCELLED || outcome == DLERR_TIME_LIMIT || stalled_;
    }

    // Every wait of this channel ends with DLERR_TIME_LIMIT once
    // GetTickCount() - start reaches limitMs (at most 0x7FFFFFFF; larger
    // values are cut to it). Until it is set there is no limit.
    void SetDeadline(DWORD start, uint64_t limitMs);
    bool DeadlinePassed() const;

    // A WinINet call made on a thread of its own (see above). Run makes the
    // call and stores its outcome (and the thread's last response text, for
    // FTP replies); Discard runs when the call returns after the channel
    // gave up on it and releases what the call got. Heap-allocated; the
    // channel and the thread share it, whoever lets go last deletes it.
    struct ThreadCall {
        virtual ~ThreadCall() = default;
        virtual void Run() = 0;
        virtual void Discard() {}
        BOOL succeeded = FALSE;
        DWORD error = 0;
        HINTERNET handle = nullptr;  // a handle the call returned
        std::wstring reply;
    };
    // Runs `call` (taking it over) after Begin(operation) and waits for it
    // like Finish: a call that pends inside completes through the callback
    // as usual. The outcome as Finish gives it; `reply` receives the
    // call's response text (the thread's, or the completion's for a call
    // that pended; empty when the call was given up), and LastHandle() the
    // handle the call returned (or completed with).
    uint32_t RunOnThread(ThreadCall* call, std::wstring* reply = nullptr);
    HINTERNET LastHandle() const { return lastHandle_; }
    // The call made by RunOnThread pended and completed through the
    // callback (its counts are then in AsyncError, as for any pended call).
    bool LastCallPended() const { return lastPended_; }
    // On: every close is made on a thread of its own, bounded like a call
    // (FTP handles: Wine's close reads the server's final reply, and the
    // close of a connection sends QUIT and waits for its answer).
    void SetBlockingCalls(bool on) { blockingCalls_ = on; }
    // The last response text on the thread that closed the request/file
    // handle last (FTP: the server's final reply to the transfer); empty
    // when none was read.
    const std::wstring& CloseReply() const { return closeReply_; }

    // Connects to a server (InternetConnectW on `session`; empty user and
    // password are passed as none) and takes the new connection handle;
    // the outcome as Finish gives it. Windows starts the connect and
    // completes it through the callback; Wine logs in to an FTP server
    // inside the call itself, blocking the calling thread until the server
    // greets (about 60 s against one that accepts and never does, whatever
    // time-out the caller sets). So the call is made on a thread of its own
    // and waited for like a pending call: a cancel is answered within 10 ms,
    // a stall ends the wait after the stall time. A call given up that way
    // closes the handle it gets when it returns at last; its record is
    // abandoned like that of any call left pending.
    uint32_t Connect(HINTERNET session, const std::wstring& host, INTERNET_PORT port,
                     const std::wstring& user, const std::wstring& password, DWORD service,
                     DWORD flags);

    // What the completion of the last call delivered (valid after Finish
    // returned 0 for a call that pended).
    uintptr_t AsyncResult() const;
    uint32_t AsyncError() const;
    const std::wstring& ResponseText() const;
    // The read buffer and the counts a pending read or query writes to.
    // They belong to the current record: fetch them again after any close.
    char* Buffer();
    DWORD& Available();
    DWORD& ReadCount();

    HINTERNET Connection() const { return connection_; }
    HINTERNET Handle() const { return handle_; }
    // Takes ownership of a new request or file handle (the immediate result
    // of the call, or AsyncResult() when it pended).
    void SetHandle(HINTERNET handle) { handle_ = handle; }
    // Closes the request/file handle, or both handles. Each close waits
    // until the callback is done with the handle (at most 30 s, and never
    // past a cancel or the time limit) unless the last call was left
    // pending; see above. CloseHandle's result: 0, or
    // why the wait for a close made on its own thread was given up
    // (DLERR_CANCELLED, 12002, DLERR_TIME_LIMIT; the close goes on alone).
    uint32_t CloseHandle();
    void CloseAll();

    // The server's last response text on this thread (FTP replies).
    static std::wstring LastResponseText();

  private:
    struct Record;
    void Close(HINTERNET& handle);
    // Starts `call` on a thread of its own and waits until it returned: the
    // run, whose call the caller reads and then releases; null when the wait
    // was given up (GiveUpCode). Without a thread the call is made here.
    ThreadRun* StartAndWait(ThreadCall* call);
    // Closes `handle` on a thread of its own (`reply`: that thread's last
    // response text); false when the wait was given up (the thread finishes
    // the close on its own).
    bool CloseOnThread(HINTERNET handle, std::wstring& reply);
    void Abandon();
    // True when the current call is to be left pending: the user cancelled
    // (`cancelled`), the stall time has passed since Begin (logged), or the
    // time limit passed; GiveUpCode() then tells which.
    bool GiveUp(bool cancelled);
    uint32_t GiveUpCode() const;
    // Waits until the callback stored the completion of the current call and
    // the closing handle reported that it is closing; false when 30 s passed
    // first, or (`hurried`) the user cancelled or the time limit passed.
    bool WaitClosed(bool& hurried);

    const WinInetApi& api_;
    DownloadSink* sink_;
    Record* record_ = nullptr;
    HINTERNET connection_ = nullptr;
    HINTERNET handle_ = nullptr;
    bool callPending_ = false;  // the last call was left pending (cancel, stall, time limit)
    bool stalled_ = false;
    bool timedOut_ = false;
    bool blockingCalls_ = false;
    uint32_t stallMs_ = 0;
    DWORD began_ = 0;
    DWORD deadlineStart_ = 0;
    uint32_t deadlineMs_ = 0;
    bool hasDeadline_ = false;
    std::wstring closeReply_;
    HINTERNET lastHandle_ = nullptr;
    bool lastPended_ = false;
    uint32_t closeOutcome_ = 0;
};

}  // namespace pravel
