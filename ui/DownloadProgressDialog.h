// The modal progress window (dialog 216) of a basic-UI run: a status line, a
// progress bar and Cancel. Its worker thread (COM initialised, apartment)
// runs the phase it is given with the window as the phase's DownloadSink.
//
// End codes of Run: 1 (the phase finished and every mandatory prerequisite
// is satisfied), 7 (finished, a mandatory prerequisite is missing), 2
// (cancelled, closed, or the run was aborted), -1 (the window could not be
// created; the phase did not run).
//
// Only the phase's final notification (TransferFinished with flag 0) ends the
// window by itself; the per-file one (flag 1) does not. A phase that stops
// without the final notification (a failure) leaves the window open in the
// error state, so the user sees it, until the user closes it; while the run
// is not `interactive` (a window station nobody can see) the window then
// ends by itself with 2, and a demand for credentials is not asked.
//
// Threads: every sink operation runs on the worker and acts on the window
// with synchronous window messages; the window's thread does the drawing and
// the taskbar calls. Calls that come after the window has ended change
// nothing. Run returns only after the worker has ended (it dispatches
// messages while it waits, so a worker that still talks to a window of this
// thread is never blocked).
//
// ReportError: a demand for credentials (DLERR_AUTH_REQUIRED with the
// CredentialsProvider as the handle) is answered by the provider's Prompt
// owned by this window, 1237 (retry) when the user entered a name; it does
// not mark the window as failed (the failure of a transfer that got no
// credentials is reported afterwards, without a handle, and does). Neither does a stop for a
// restart (0xE0000025: the phase then ends with its final notification). Every other report
// (certificate errors included: they stay refused) shows its text when one is given and puts the
// bar and the taskbar button into the error state; the code is answered unchanged.
//
// The bar: each step (ShowStep with kind 9) is kStepScale units of it. A
// step starts at the end of the one before; a download fills the step's
// share by bytes (TransferStarting gives the size, BytesWritten the
// progress) and its file in place (TransferFinished with flag 1) ends the
// step. The bar, and the taskbar button with it, only ever moves forward:
// a transfer that starts over holds the bar until it passes its position.
// With ProgressRun::plannedSteps the bar spans the whole run (every phase's
// steps, SetRange only tells how many a phase has); without, each SetRange
// starts a new range.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "download/DownloadSink.h"
#include "ui/DialogWindow.h"

namespace pravel {

// What the window needs from the run that shows it.
struct ProgressRun {
    // Runs on the worker thread with the window as sink; its result (0,
    // 1602, 1603) is kept as PhaseResult.
    std::function<uint32_t(DownloadSink& sink)> phase;
    // At the final notification, on the worker: re-decides the
    // prerequisites and tells whether every mandatory one is present.
    // Missing: treated as present.
    std::function<bool()> mandatorySatisfied;
    // At the final notification, on the worker: true when the run was
    // aborted (the window then ends with 2). Missing: never aborted.
    std::function<bool()> aborted;
    // On the window's thread when Windows ends the session (WM_ENDSESSION).
    std::function<void()> sessionEnding;
    // The steps of the whole run (downloads, sites and installations), so
    // that the bar spans all phases; 0: unknown (each phase's SetRange
    // starts a new range).
    int32_t plannedSteps = 0;
};

class DownloadProgressDialog final : public DownloadSink {
  public:
    static constexpr int32_t kStepScale = 1000;
    static constexpr UINT kErrorRedrawMs = 200;

    explicit DownloadProgressDialog(ProgressRun run);
    ~DownloadProgressDialog() override;

    // Shows the window modal, owned by `owner`, with `caption`; see above.
    int Run(HWND owner, const std::wstring& caption);
    uint32_t PhaseResult() const { return phaseResult_.load(); }
    // Whether the taskbar-progress object could be created for the window.
    bool TaskbarInUse() const { return taskbarUsed_.load(); }
    // Whether a failure was shown (error state of the bar and the taskbar button).
    bool FailureShown() const { return errorShown_.load(); }
    HWND Window() const { return window_.Window(); }

    // DownloadSink (worker thread).
    void SetRange(int32_t steps) override;
    void TransferStarting(int32_t flag, uint64_t totalSize, const wchar_t* target) override;
    void TransferFinished(int32_t flag, uint32_t code) override;
    void BytesWritten(uint64_t count) override;
    bool IsCancelled() override { return cancelRequested_.load(); }
    bool IsPaused() override { return false; }
    uint32_t ReportError(const wchar_t* text, uint32_t code, void* handle) override;
    void ShowStep(const wchar_t* text, int32_t kind) override;

  private:
    // The window itself; its messages go to OnMessage. (A member rather than
    // a second base class: one base keeps the type information small.)
    class ProgressWindow final : public DialogWindow {
      public:
        explicit ProgressWindow(DownloadProgressDialog& dialog) : dialog_(dialog) {}
        INT_PTR Modal(int templateId, HWND owner) { return RunModal(templateId, owner); }

      private:
        INT_PTR OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
            return dialog_.OnMessage(window, message, wParam, lParam);
        }
        DownloadProgressDialog& dialog_;
    };

    INT_PTR OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static DWORD WINAPI WorkerMain(void* self);
    void RunPhase();
    // Sends a private message to the window when it still exists.
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam);
    void MoveTo(int32_t position);
    void OnInit(HWND window);
    // Shows `text` in the status line: a step's name shortened to keep it on
    // one line, or as many lines as it needs above the bar (the window grows
    // when they do not fit).
    void ShowStatus(HWND window, const std::wstring& text);
    void ShowError(HWND window, const wchar_t* text);
    void SetBar(HWND window, int32_t position);
    void End(HWND window, INT_PTR code);

    ProgressWindow window_{*this};
    ProgressRun run_;
    std::wstring caption_;
    UniqueHandle worker_;
    std::atomic<bool> cancelRequested_{false};
    std::atomic<bool> finalSent_{false};
    std::atomic<bool> errorShown_{false};
    std::atomic<uint32_t> phaseResult_{0};
    std::atomic<bool> taskbarUsed_{false};
    // Worker-side progress state.
    int32_t total_ = 0;
    int32_t stepCount_ = 0;
    uint64_t stepBytesTotal_ = 0;
    uint64_t stepBytes_ = 0;
    int32_t lastPosition_ = -1;
    // Window-side state.
    ITaskbarList3* taskbar_ = nullptr;
    int32_t barMaximum_ = 0;
    bool ended_ = false;
    // The template's layout in pixels, taken when the window is created, and
    // the texts the steps are made from ("Downloading %s", ...).
    RECT baseStatus_ = {};
    RECT baseBar_ = {};
    RECT baseCancel_ = {};
    LONG baseClientHeight_ = 0;
    std::wstring statusText_;
    std::vector<std::wstring> stepPatterns_;  // ui/StatusText.h
};

}  // namespace pravel
