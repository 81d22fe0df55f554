#include "ui/DownloadProgressDialog.h"

#include <commctrl.h>
#include <objbase.h>

#include <new>
#include <utility>

#include "common/HResultError.h"
#include "common/ProcessLaunch.h"
#include "common/Text.h"
#include "diag/ErrorReport.h"
#include "diag/FaultTranslation.h"
#include "diag/Logger.h"
#include "download/CredentialsProvider.h"
#include "ui/AppModule.h"
#include "ui/ConfiguredTexts.h"
#include "ui/MessageBox.h"
#include "ui/ResourceIds.h"

namespace pravel {

namespace {

// Private messages from the worker to the window.
constexpr UINT kMsgRange = WM_APP + 1;     // wParam: bar maximum
constexpr UINT kMsgStep = WM_APP + 2;      // wParam: position, lParam: status text
constexpr UINT kMsgPosition = WM_APP + 3;  // wParam: position
constexpr UINT kMsgError = WM_APP + 4;     // lParam: status text or null
constexpr UINT kMsgFinish = WM_APP + 5;    // wParam: end code
constexpr UINT_PTR kRedrawTimer = 1;

}  // namespace

DownloadProgressDialog::DownloadProgressDialog(ProgressRun run) : run_(std::move(run)) {}

DownloadProgressDialog::~DownloadProgressDialog() {
    if (worker_) ::WaitForSingleObject(worker_.Get(), INFINITE);
}

int DownloadProgressDialog::Run(HWND owner, const std::wstring& caption) {
    caption_ = caption;
    if (!InitProgressControls()) {
        Log({"The progress bar class is not available (comctl32.dll could not be loaded)."});
    }
    INT_PTR result = window_.Modal(IDD_PROGRESS, owner);
    if (result == -1 || (result == 0 && !worker_)) {
        Log({"The progress window could not be created (error ", DecimalPiece(::GetLastError()),
             "); nothing was downloaded or installed."});
        result = -1;
    }
    if (worker_) {
        WaitWithMessagePump(worker_.Get());
        ::WaitForSingleObject(worker_.Get(), INFINITE);
        worker_.Reset();
    }
    return static_cast<int>(result);
}

// --- worker ----------------------------------------------------------------

DWORD WINAPI DownloadProgressDialog::WorkerMain(void* self) {
    static_cast<DownloadProgressDialog*>(self)->RunPhase();
    return 0;
}

void DownloadProgressDialog::RunPhase() {
    InstallExceptionTranslation();  // faults on this worker become exceptions
    const bool comReady = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    uint32_t result = kInstallFailure;
    int32_t failure = 0;
    try {
        if (run_.phase) result = run_.phase(*this);
    } catch (const HResultError& error) {
        failure = error.Code();
    } catch (const std::bad_alloc&) {
        failure = kHrOutOfMemory;
    } catch (const IException& exception) {
        // Logged with its stack trace, and shown where a person can read it.
        Log({"The download and installation phase stopped on an exception:",
             DescribeException(exception)});
        PresentException(Window(), exception);
        result = kInstallFailure;
    }
    if (failure != 0) {
        Log({"The download and installation phase stopped on error ", HResultPiece(failure), "."});
        result = kInstallFailure;
    }
    phaseResult_.store(result);
    // Stopped without the final notification: make the failure visible; the
    // user closes the window. Where nobody can see it, it ends by itself.
    if (!finalSent_.load() && !cancelRequested_.load()) {
        if (!errorShown_.load()) Send(kMsgError, 0, 0);
        if (!interactive) {
            Log({"The progress window ends by itself: nobody can see it."});
            Send(kMsgFinish, 2, 0);
        }
    }
    if (comReady) ::CoUninitialize();
}

LRESULT DownloadProgressDialog::Send(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = Window();
    return window != nullptr ? ::SendMessageW(window, message, wParam, lParam) : 0;
}

void DownloadProgressDialog::MoveTo(int32_t position) {
    if (position > total_ * kStepScale) position = total_ * kStepScale;
    if (position <= lastPosition_) return;  // never backwards
    lastPosition_ = position;
    Send(kMsgPosition, static_cast<WPARAM>(position), 0);
}

void DownloadProgressDialog::SetRange(int32_t steps) {
    if (run_.plannedSteps > 0) {
        // The bar spans the whole run: set once, never reset.
        if (total_ != 0) return;
        steps = run_.plannedSteps;
    }
    total_ = steps > 0 ? steps : 0;
    stepCount_ = 0;
    stepBytesTotal_ = 0;
    lastPosition_ = 0;
    Send(kMsgRange, static_cast<WPARAM>(total_ * kStepScale), 0);
}

void DownloadProgressDialog::ShowStep(const wchar_t* text, int32_t kind) {
    if (kind != 9) return;
    ++stepCount_;
    stepBytesTotal_ = 0;
    // The step starts where the one before ended.
    int32_t position = (stepCount_ - 1) * kStepScale;
    if (position > total_ * kStepScale) position = total_ * kStepScale;
    if (position < lastPosition_) position = lastPosition_;
    lastPosition_ = position;
    Send(kMsgStep, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(text));
}

void DownloadProgressDialog::TransferStarting(int32_t, uint64_t totalSize, const wchar_t*) {
    stepBytesTotal_ = totalSize;
    stepBytes_ = 0;
}

void DownloadProgressDialog::BytesWritten(uint64_t count) {
    if (stepBytesTotal_ == 0) return;
    stepBytes_ += count;
    const uint64_t done = stepBytes_ < stepBytesTotal_ ? stepBytes_ : stepBytesTotal_;
    const int32_t base = (stepCount_ > 0 ? stepCount_ - 1 : 0) * kStepScale;
    MoveTo(base + static_cast<int32_t>(done * kStepScale / stepBytesTotal_));
}

uint32_t DownloadProgressDialog::ReportError(const wchar_t* text, uint32_t code, void* handle) {
    if (code == DLERR_AUTH_REQUIRED && handle != nullptr) {
        // A demand for credentials is a question, not a failure: ask the
        // user (owned by this window) unless the run is being cancelled or
        // nobody can see the question (then, as in a silent run, there are
        // no credentials to try).
        if (cancelRequested_.load() || Window() == nullptr || !interactive) return code;
        auto* provider = static_cast<CredentialsProvider*>(handle);
        return provider->Prompt(Window()) ? kErrorRetry : code;
    }
    // A stop for a restart is no failure: the phase ends by itself next.
    if (code == kErrorRebootNeeded) return code;
    // Certificate errors and every other failure: refused, shown.
    errorShown_.store(true);
    Send(kMsgError, 0, reinterpret_cast<LPARAM>(text));
    return code;
}

void DownloadProgressDialog::TransferFinished(int32_t flag, uint32_t) {
    if (flag != 0) {  // one file is in place: its step is full; the phase goes on
        MoveTo(stepCount_ * kStepScale);
        return;
    }
    finalSent_.store(true);
    int code = 2;
    if (!(run_.aborted && run_.aborted())) {
        code = (!run_.mandatorySatisfied || run_.mandatorySatisfied()) ? 1 : 7;
    }
    Send(kMsgFinish, static_cast<WPARAM>(code), 0);
}

// --- window ----------------------------------------------------------------

void DownloadProgressDialog::OnInit(HWND window) {
    SetProgramIcons(window);
    baseStatus_ = ControlRect(window, IDC_PROGRESS_STATUS);
    baseBar_ = ControlRect(window, IDC_PROGRESS_BAR);
    baseCancel_ = ControlRect(window, IDCANCEL);
    RECT client;
    ::GetClientRect(window, &client);
    baseClientHeight_ = client.bottom;
    // The texts a prerequisite's name fills: its steps and its failure line.
    stepPatterns_ = {LoadText(IDS_DOWNLOADING), LoadText(IDS_INSTALLING),
                     LoadText(IDS_OPENING_SITE), LoadText(IDS_FAILED)};
    ShowStatus(window, LoadText(IDS_PREPARING));
    CenterWindow(window);
    ::SetWindowTextW(window, CaptionText(caption_).c_str());
    void* taskbar = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_ITaskbarList3, &taskbar))) {
        taskbar_ = static_cast<ITaskbarList3*>(taskbar);
        if (FAILED(taskbar_->HrInit())) {
            taskbar_->Release();
            taskbar_ = nullptr;
        }
    }
    taskbarUsed_.store(taskbar_ != nullptr);
    worker_.Reset(::CreateThread(nullptr, 0, WorkerMain, this, 0, nullptr));
    if (!worker_) {
        Log({"The progress window's worker thread could not be started (error ",
             DecimalPiece(::GetLastError()), "); nothing was downloaded or installed."});
        End(window, 2);
    }
}

void DownloadProgressDialog::SetBar(HWND window, int32_t position) {
    ::SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    if (taskbar_ != nullptr && barMaximum_ > 0) {
        taskbar_->SetProgressValue(window, static_cast<ULONGLONG>(position),
                                   static_cast<ULONGLONG>(barMaximum_));
    }
}

void DownloadProgressDialog::ShowStatus(HWND window, const std::wstring& text) {
    statusText_ = text;
    const LONG lineHeight = baseStatus_.bottom - baseStatus_.top;
    const LONG height =
        ShowStatusText(window, IDC_PROGRESS_STATUS, text, baseStatus_.right - baseStatus_.left,
                       lineHeight, stepPatterns_);
    // The status line grows upwards from above the bar; what does not fit
    // below the top margin moves the bar, Cancel and the window's bottom down.
    RECT status = baseStatus_;
    status.top = baseStatus_.bottom - height;
    const LONG margin = DluToPixels(window, 0, 7).cy;
    const LONG down = status.top < margin ? margin - status.top : 0;
    ::OffsetRect(&status, 0, down);
    RECT bar = baseBar_;
    RECT cancel = baseCancel_;
    ::OffsetRect(&bar, 0, down);
    ::OffsetRect(&cancel, 0, down);
    PlaceControl(window, IDC_PROGRESS_STATUS, status);
    PlaceControl(window, IDC_PROGRESS_BAR, bar);
    PlaceControl(window, IDCANCEL, cancel);
    SetClientHeight(window, baseClientHeight_ + down);
}

void DownloadProgressDialog::ShowError(HWND window, const wchar_t* text) {
    if (text != nullptr) ShowStatus(window, text);
    HWND bar = ::GetDlgItem(window, IDC_PROGRESS_BAR);
    ::SendMessageW(bar, PBM_SETSTATE, PBST_ERROR, 0);
    // Hidden and shown again a moment later, so the new colour is drawn.
    ::ShowWindow(bar, SW_HIDE);
    ::SetTimer(window, kRedrawTimer, kErrorRedrawMs, nullptr);
    if (taskbar_ != nullptr) taskbar_->SetProgressState(window, TBPF_ERROR);
}

void DownloadProgressDialog::End(HWND window, INT_PTR code) {
    if (ended_) return;
    ended_ = true;
    if (taskbar_ != nullptr) taskbar_->SetProgressState(window, TBPF_NOPROGRESS);
    ::EndDialog(window, code);
}

INT_PTR DownloadProgressDialog::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInit(window);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) {  // the button, Escape and the close box
                cancelRequested_.store(true);
                End(window, 2);
                return TRUE;
            }
            return FALSE;
        case WM_ENDSESSION:
            if (wParam != FALSE && run_.sessionEnding) run_.sessionEnding();
            ::SetWindowLongPtrW(window, DWLP_MSGRESULT, 0);
            return TRUE;
        case WM_TIMER:
            if (wParam != kRedrawTimer) return FALSE;
            ::KillTimer(window, kRedrawTimer);
            ::ShowWindow(::GetDlgItem(window, IDC_PROGRESS_BAR), SW_SHOW);
            return TRUE;
        case kMsgRange:
            barMaximum_ = static_cast<int32_t>(wParam);
            ::SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0,
                                  static_cast<LPARAM>(barMaximum_));
            ::SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
            return TRUE;
        case kMsgStep:
            if (lParam != 0) ShowStatus(window, reinterpret_cast<const wchar_t*>(lParam));
            SetBar(window, static_cast<int32_t>(wParam));
            return TRUE;
        case kMsgPosition:
            SetBar(window, static_cast<int32_t>(wParam));
            return TRUE;
        case kMsgError:
            ShowError(window, reinterpret_cast<const wchar_t*>(lParam));
            return TRUE;
        case kMsgFinish:
            End(window, static_cast<INT_PTR>(wParam));
            return TRUE;
        case kDpiChangedMessage: {
            const UINT from = static_cast<UINT>(wParam);
            const UINT to = static_cast<UINT>(lParam);
            for (RECT* rect : {&baseStatus_, &baseBar_, &baseCancel_}) ScaleRect(*rect, from, to);
            baseClientHeight_ =
                ::MulDiv(baseClientHeight_, static_cast<int>(to), static_cast<int>(from));
            ShowStatus(window, statusText_);
            return TRUE;
        }
        case WM_DESTROY:
            ::KillTimer(window, kRedrawTimer);
            if (taskbar_ != nullptr) {
                taskbar_->SetProgressState(window, TBPF_NOPROGRESS);
                taskbar_->Release();
                taskbar_ = nullptr;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace pravel
