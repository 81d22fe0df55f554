#include "ui/CredentialsDialog.h"

#include <utility>
#include <vector>

#include "common/Text.h"
#include "diag/Logger.h"
#include "ui/MessageBox.h"
#include "ui/ResourceIds.h"
#include "ui/TextTemplate.h"

namespace pravel {

namespace {

constexpr int kGripId = 100;

// The text of control `id`, of any length.
std::wstring ControlText(HWND window, int id) {
    HWND control = ::GetDlgItem(window, id);
    const int length = ::GetWindowTextLengthW(control);
    if (length <= 0) return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    const int read = ::GetWindowTextW(control, buffer.data(), length + 1);
    std::wstring text(buffer.data(), static_cast<size_t>(read > 0 ? read : 0));
    ::SecureZeroMemory(buffer.data(), buffer.size() * sizeof(wchar_t));
    return text;
}

}  // namespace

CredentialsDialog::CredentialsDialog(std::wstring displayName, std::wstring realm)
    : displayName_(std::move(displayName)), realm_(std::move(realm)) {}

bool CredentialsDialog::Ask(HWND owner, CredentialsEntry& entry) {
    entry_ = &entry;
    const INT_PTR result = RunModal(IDD_CREDENTIALS, owner);
    entry_ = nullptr;
    if (result == -1) {
        Log({"The credentials dialog could not be created (error ", DecimalPiece(::GetLastError()),
             ")."});
    }
    return result == IDOK;
}

void CredentialsDialog::OnInit(HWND window) {
    SetProgramIcons(window);
    const std::wstring caption = FormatTemplate(LoadText(IDS_CONNECT_TO), {displayName_});
    ::SetWindowTextW(window, caption.c_str());
    const std::wstring explanation =
        FormatTemplate(LoadText(IDS_CRED_EXPLANATION), {displayName_, realm_});
    ::SetDlgItemTextW(window, IDC_CRED_EXPLANATION, explanation.c_str());
    ::EnableWindow(::GetDlgItem(window, IDOK), FALSE);

    // Resizable: a thick frame around the same client area.
    RECT client;
    ::GetClientRect(window, &client);
    initialClient_ = {client.right, client.bottom};
    const LONG style = ::GetWindowLongW(window, GWL_STYLE) | WS_THICKFRAME | WS_MAXIMIZEBOX;
    const LONG exStyle = ::GetWindowLongW(window, GWL_EXSTYLE);
    ::SetWindowLongW(window, GWL_STYLE, style);
    RECT frame = client;
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(style), FALSE, static_cast<DWORD>(exStyle));
    minimum_ = {frame.right - frame.left, frame.bottom - frame.top};
    ::SetWindowPos(window, nullptr, 0, 0, minimum_.cx, minimum_.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);

    const Anchor anchors[6] = {
        {IDC_CRED_EXPLANATION, false, false, true, {}},
        {IDC_CRED_USER, false, false, true, {}},
        {IDC_CRED_PASSWORD, false, false, true, {}},
        {IDC_CRED_REMEMBER, false, true, false, {}},
        {IDOK, true, true, false, {}},
        {IDCANCEL, true, true, false, {}},
    };
    for (size_t i = 0; i < 6; ++i) {
        anchors_[i] = anchors[i];
        anchors_[i].initial = ControlRect(window, anchors[i].id);
    }
    const int gripWidth = ::GetSystemMetrics(SM_CXVSCROLL);
    const int gripHeight = ::GetSystemMetrics(SM_CYHSCROLL);
    grip_ = ::CreateWindowExW(
        0, L"SCROLLBAR", nullptr, WS_CHILD | WS_VISIBLE | SBS_SIZEGRIP, client.right - gripWidth,
        client.bottom - gripHeight, gripWidth, gripHeight, window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kGripId)), nullptr, nullptr);
    CenterWindow(window);
}

void CredentialsDialog::OnSize(HWND window, WPARAM kind) {
    if (initialClient_.cx == 0) return;  // before the layout was taken
    RECT client;
    ::GetClientRect(window, &client);
    const LONG dx = client.right - initialClient_.cx;
    const LONG dy = client.bottom - initialClient_.cy;
    for (const Anchor& anchor : anchors_) {
        const RECT& r = anchor.initial;
        ::SetWindowPos(::GetDlgItem(window, anchor.id), nullptr, r.left + (anchor.moveX ? dx : 0),
                       r.top + (anchor.moveY ? dy : 0),
                       (r.right - r.left) + (anchor.growX ? dx : 0), r.bottom - r.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (grip_ != nullptr) {
        RECT grip;
        ::GetWindowRect(grip_, &grip);
        const LONG width = grip.right - grip.left;
        const LONG height = grip.bottom - grip.top;
        ::SetWindowPos(grip_, nullptr, client.right - width, client.bottom - height, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ::ShowWindow(grip_, kind == SIZE_MAXIMIZED ? SW_HIDE : SW_SHOW);
    }
    ::InvalidateRect(window, nullptr, TRUE);
}

void CredentialsDialog::UpdateOk(HWND window) {
    const bool named = ::GetWindowTextLengthW(::GetDlgItem(window, IDC_CRED_USER)) > 0;
    ::EnableWindow(::GetDlgItem(window, IDOK), named ? TRUE : FALSE);
}

INT_PTR CredentialsDialog::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInit(window);
            return TRUE;
        case WM_GETMINMAXINFO:
            if (minimum_.cx > 0) {
                auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
                info->ptMinTrackSize.x = minimum_.cx;
                info->ptMinTrackSize.y = minimum_.cy;
            }
            return TRUE;
        case WM_SIZE:
            OnSize(window, wParam);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_CRED_USER:
                    if (HIWORD(wParam) == EN_CHANGE) UpdateOk(window);
                    return TRUE;
                case IDOK: {
                    // Enter reaches here even while OK is disabled.
                    std::wstring user = ControlText(window, IDC_CRED_USER);
                    if (user.empty()) return TRUE;
                    if (entry_ != nullptr) {
                        entry_->userName = std::move(user);
                        entry_->password = ControlText(window, IDC_CRED_PASSWORD);
                        entry_->remember =
                            ::IsDlgButtonChecked(window, IDC_CRED_REMEMBER) == BST_CHECKED;
                    }
                    ::EndDialog(window, IDOK);
                    return TRUE;
                }
                case IDCANCEL:
                    ::EndDialog(window, IDCANCEL);
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

}  // namespace pravel
