#include "ui/PreparingDialog.h"

#include "common/SystemInfo.h"
#include "common/Text.h"
#include "diag/Logger.h"
#include "ui/AppModule.h"
#include "ui/ConfiguredTexts.h"
#include "ui/MessageBox.h"
#include "ui/ResourceIds.h"
#include "ui/TextTemplate.h"

namespace pravel {

namespace {

constexpr DWORD kPumpCheckMs = 500;  // a window thread that takes no message this long is stuck

}  // namespace

PreparingDialog::~PreparingDialog() {
    if (Window() != nullptr) Close();
}

std::wstring PreparingDialog::Caption() {
    if (!title_.empty()) return title_;
    if (productName_.empty()) {
        GetProductName(programPath_.empty() ? GetProgramPath() : programPath_, productName_);
    }
    return FormatTemplate(LoadText(IDS_SETUP_CAPTION), {productName_});
}

void PreparingDialog::Show(const std::wstring& status, bool skipAllowed) {
    if (!interactive) return;
    skipAllowed_.store(skipAllowed);
    skipRequested_.store(false);
    statusText_ = status;
    HWND window = Window();
    if (window == nullptr) {
        if (createFailed_) return;
        threadId_ = ::GetCurrentThreadId();
        window = CreateModeless(IDD_PREPARING, ::GetActiveWindow());
        if (window == nullptr) {
            createFailed_ = true;
            Log({"The preparing window could not be created (error ",
                 DecimalPiece(::GetLastError()), ")."});
            return;
        }
        TheModule().TrackWindow(window);
        isOpen_.store(true);
    } else {
        Layout(window);
        ::EnableWindow(::GetDlgItem(window, IDCANCEL), TRUE);
    }
    const std::wstring caption = CaptionText(Caption());
    ::SetWindowTextW(window, caption.c_str());
    if (!::IsWindowVisible(window)) ::ShowWindow(window, SW_SHOWNORMAL);
    ::UpdateWindow(window);
}

void PreparingDialog::Close() {
    HWND window = Window();
    if (window == nullptr) {
        isOpen_.store(false);
        return;
    }
    if (::GetCurrentThreadId() == threadId_) {
        Destroy(window);
        return;
    }
    ::PostMessageW(window, kCloseMessage, 0, 0);
    const DWORD start = ::GetTickCount();
    while (::IsWindow(window) && Window() == window) {
        DWORD_PTR ignored = 0;
        const bool pumping = ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                                                   kPumpCheckMs, &ignored) != 0;
        if (!::IsWindow(window) || Window() != window) break;
        if (!pumping || ::GetTickCount() - start >= kCloseWaitMs) {
            Log({"The preparing window did not close: its thread takes no messages."});
            break;
        }
        ::Sleep(10);
    }
    isOpen_.store(false);
}

void PreparingDialog::Destroy(HWND window) {
    TheModule().UntrackWindow(window);
    ::DestroyWindow(window);
    isOpen_.store(false);
}

void PreparingDialog::Layout(HWND window) {
    HWND button = ::GetDlgItem(window, IDCANCEL);
    if (button == nullptr || ::GetDlgItem(window, IDC_PREPARING_STATUS) == nullptr) return;
    if (baseClientHeight_ == 0) {
        baseStatus_ = ControlRect(window, IDC_PREPARING_STATUS);
        baseButton_ = ControlRect(window, IDCANCEL);
        RECT client;
        ::GetClientRect(window, &client);
        baseClientHeight_ = client.bottom;
    }
    const bool skip = skipAllowed_.load();
    ::ShowWindow(button, skip ? SW_SHOW : SW_HIDE);
    RECT status = baseStatus_;
    if (!skip) status.right = baseButton_.right;
    const LONG lineHeight = baseStatus_.bottom - baseStatus_.top;
    const LONG height = ShowStatusText(window, IDC_PREPARING_STATUS, statusText_,
                                       status.right - status.left, lineHeight);
    const LONG margin = DluToPixels(window, 0, 7).cy;
    status.top = baseStatus_.top - (height - lineHeight) / 2;
    if (status.top < margin) status.top = margin;
    status.bottom = status.top + height;
    PlaceControl(window, IDC_PREPARING_STATUS, status);
    // Skip stays beside the middle of the status line.
    RECT skipRect = baseButton_;
    ::OffsetRect(&skipRect, 0,
                 ((status.top + status.bottom) - (baseStatus_.top + baseStatus_.bottom)) / 2);
    PlaceControl(window, IDCANCEL, skipRect);
    const LONG needed = status.bottom + margin;
    SetClientHeight(window, needed > baseClientHeight_ ? needed : baseClientHeight_);
}

INT_PTR PreparingDialog::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetProgramIcons(window);
            Layout(window);
            CenterWindow(window);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) {
                // Escape and the close box arrive as this command too: they
                // count only while Skip is offered.
                if (skipAllowed_.load()) {
                    ::EnableWindow(::GetDlgItem(window, IDCANCEL), FALSE);
                    skipRequested_.store(true);
                }
                return TRUE;
            }
            return FALSE;
        case kCloseMessage:
            Destroy(window);
            return TRUE;
        case kDpiChangedMessage: {
            const UINT from = static_cast<UINT>(wParam);
            const UINT to = static_cast<UINT>(lParam);
            ScaleRect(baseStatus_, from, to);
            ScaleRect(baseButton_, from, to);
            baseClientHeight_ =
                ::MulDiv(baseClientHeight_, static_cast<int>(to), static_cast<int>(from));
            Layout(window);
            return TRUE;
        }
        default:
            return FALSE;
    }
}

}  // namespace pravel
