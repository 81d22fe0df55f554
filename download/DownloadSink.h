// What the download phase and the installation step report to, and ask of,
// whoever shows their progress (the progress window; a recording sink in the
// tests). Every caller accepts a null sink: then nothing is reported and
// nothing can be cancelled.
//
// Calls come from the worker thread that runs the phase; an implementation
// that owns a window acts on it through synchronous window messages and must
// tolerate a window that is already gone.
#pragma once

#include <cstdint>

namespace pravel {

class DownloadSink {
  public:
    virtual ~DownloadSink() = default;

    // The number of steps that follow (downloads, sites or installations).
    virtual void SetRange(int32_t steps) = 0;
    // A transfer begins: `flag` 1, its total size in bytes (0 = unknown), its
    // target path.
    virtual void TransferStarting(int32_t flag, uint64_t totalSize, const wchar_t* target) = 0;
    // A file is in place (flag 1, code 0, after every file), or the whole
    // phase has ended (flag 0, code 0, once at the very end).
    virtual void TransferFinished(int32_t flag, uint32_t code) = 0;
    // Bytes added to the target: first the resume offset (bytes already
    // present), then the size of every block written.
    virtual void BytesWritten(uint64_t count) = 0;
    // Polled during every wait (every 10 ms while a transfer waits).
    virtual bool IsCancelled() = 0;
    // While true the data loop sleeps in 10 ms steps.
    virtual bool IsPaused() = 0;
    // Reports a failure: `text` may be null (keep the current status text),
    // `handle` is the request handle for certificate errors, the
    // credentials provider for DLERR_AUTH_REQUIRED, else null. The answer is
    // also the decision for certificate errors (0 = go on) and
    // authentication (1237 = credentials were supplied, retry).
    virtual uint32_t ReportError(const wchar_t* text, uint32_t code, void* handle) = 0;
    // Shows a step's text; only `kind` 9 has an effect.
    virtual void ShowStep(const wchar_t* text, int32_t kind) = 0;
};

}  // namespace pravel
