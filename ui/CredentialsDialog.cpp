#include "ui/CredentialsDialog.h"

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

#include "common/Text.h"
#include "diag/Logger.h"
#include "ui/ConfiguredTexts.h"
#include "ui/MessageBox.h"
#include "ui/ResourceIds.h"

namespace pravel {

namespace {

constexpr int kGripId = 100;

// The controls laid out, in the order of base_.
enum : size_t {
    kExplanation,
    kUserLabel,
    kUser,
    kPasswordLabel,
    kPassword,
    kRemember,
    kOk,
    kCancel
};
constexpr int kLaidOut[] = {
    IDC_CRED_EXPLANATION, IDC_CRED_USER_LABEL, IDC_CRED_USER, IDC_CRED_PASSWORD_LABEL,
    IDC_CRED_PASSWORD,    IDC_CRED_REMEMBER,   IDOK,          IDCANCEL};

LONG Width(const RECT& rect) {
    return rect.right - rect.left;
}
LONG Height(const RECT& rect) {
    return rect.bottom - rect.top;
}

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

// The width in pixels of the text of control `id` on one line, in its font.
LONG TextWidth(HWND window, int id) {
    HWND control = ::GetDlgItem(window, id);
    HDC dc = ::GetDC(control);
    if (dc == nullptr) return 0;
    HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    const std::wstring text = ControlText(window, id);
    RECT rect = {0, 0, 0, 0};
    const bool prefix = (::GetWindowLongW(control, GWL_STYLE) & SS_NOPREFIX) == 0;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
                DT_CALCRECT | DT_SINGLELINE | (prefix ? 0u : DT_NOPREFIX));
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    return rect.right;
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
    const std::wstring caption = CaptionText(LoadFormatted(IDS_CONNECT_TO, {displayName_}));
    ::SetWindowTextW(window, caption.c_str());
    // A server that names no realm (NTLM, Negotiate) has a text of its own.
    explanation_ = realm_.empty() ? LoadFormatted(IDS_CRED_EXPLANATION_NO_REALM, {displayName_})
                                  : LoadFormatted(IDS_CRED_EXPLANATION, {displayName_, realm_});
    ::EnableWindow(::GetDlgItem(window, IDOK), FALSE);

    for (size_t i = 0; i < std::size(kLaidOut); ++i) base_[i] = ControlRect(window, kLaidOut[i]);
    RECT client;
    ::GetClientRect(window, &client);
    baseClient_ = {client.right, client.bottom};
    // Resizable: a thick frame around the same client area.
    const LONG style = ::GetWindowLongW(window, GWL_STYLE) | WS_THICKFRAME | WS_MAXIMIZEBOX;
    const LONG exStyle = ::GetWindowLongW(window, GWL_EXSTYLE);
    ::SetWindowLongW(window, GWL_STYLE, style);
    RECT frame = client;
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(style), FALSE, static_cast<DWORD>(exStyle));
    ::SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    const int gripWidth = WindowMetric(window, SM_CXVSCROLL);
    const int gripHeight = WindowMetric(window, SM_CYHSCROLL);
    // The grip is larger than the dialog's margin: below the buttons (created
    // after them) and clipped by them, it never paints over Cancel's corner.
    grip_ = ::CreateWindowExW(
        0, L"SCROLLBAR", nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SBS_SIZEGRIP,
        client.right - gripWidth, client.bottom - gripHeight, gripWidth, gripHeight, window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kGripId)), nullptr, nullptr);
    TakeMinimum(window);
    Layout(window);
    CenterWindow(window);
}

LONG CredentialsDialog::ExplanationGrowth(HWND window, LONG width) {
    const RECT& base = base_[kExplanation];
    const LONG height =
        ShowStatusText(window, IDC_CRED_EXPLANATION, explanation_, width, Height(base));
    return height - Height(base);
}

LONG CredentialsDialog::LabelColumnGrowth(HWND window) const {
    const RECT& label = base_[kUserLabel];
    LONG wanted = TextWidth(window, IDC_CRED_USER_LABEL);
    const LONG password = TextWidth(window, IDC_CRED_PASSWORD_LABEL);
    if (password > wanted) wanted = password;
    LONG grow = wanted + 2 - Width(label);  // 2: the static's own margin
    const LONG field = std::min(Width(base_[kUser]), Width(base_[kPassword]));
    if (grow > field / 2) grow = field / 2;
    return grow > 0 ? grow : 0;
}

void CredentialsDialog::TakeMinimum(HWND window) {
    RECT frame;
    RECT client;
    ::GetWindowRect(window, &frame);
    ::GetClientRect(window, &client);
    const LONG height = baseClient_.cy + ExplanationGrowth(window, Width(base_[kExplanation]));
    minimum_ = {baseClient_.cx + (frame.right - frame.left) - client.right,
                height + (frame.bottom - frame.top) - client.bottom};
    if (client.right < baseClient_.cx || client.bottom < height) {
        ::SetWindowPos(window, nullptr, 0, 0, minimum_.cx, minimum_.cy,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        KeepInsideWorkArea(window);
    }
}

void CredentialsDialog::Layout(HWND window) {
    if (baseClient_.cx == 0) return;  // before the layout was taken
    RECT client;
    ::GetClientRect(window, &client);
    const LONG dx = client.right - baseClient_.cx;
    const LONG dy = client.bottom - baseClient_.cy;  // for what stays at the bottom
    RECT rect[std::size(kLaidOut)];
    std::copy(std::begin(base_), std::end(base_), rect);
    // The explanation grows with the width and by lines; what follows it
    // moves down by its extra lines.
    rect[kExplanation].right += dx;
    const LONG down = ExplanationGrowth(window, Width(rect[kExplanation]));
    rect[kExplanation].bottom += down;
    for (size_t i : {kUserLabel, kUser, kPasswordLabel, kPassword, kRemember}) {
        ::OffsetRect(&rect[i], 0, down);
    }
    // One label column; the fields begin after it and end together.
    const LONG column = LabelColumnGrowth(window);
    for (size_t i : {kUserLabel, kPasswordLabel}) rect[i].right += column;
    for (size_t i : {kUser, kPassword}) {
        rect[i].left += column;
        rect[i].right += dx;
    }
    for (size_t i : {kOk, kCancel}) ::OffsetRect(&rect[i], dx, dy);
    for (size_t i = 0; i < std::size(kLaidOut); ++i) PlaceControl(window, kLaidOut[i], rect[i]);
    if (grip_ != nullptr) {
        RECT grip;
        ::GetWindowRect(grip_, &grip);
        ::SetWindowPos(grip_, nullptr, client.right - Width(grip), client.bottom - Height(grip), 0,
                       0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ::ShowWindow(grip_, ::IsZoomed(window) ? SW_HIDE : SW_SHOW);
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
            Layout(window);
            return TRUE;
        case kDpiChangedMessage: {
            // Windows has scaled the window: the template's layout follows.
            const UINT from = static_cast<UINT>(wParam);
            const UINT to = static_cast<UINT>(lParam);
            for (RECT& rect : base_) ScaleRect(rect, from, to);
            baseClient_ = {::MulDiv(baseClient_.cx, static_cast<int>(to), static_cast<int>(from)),
                           ::MulDiv(baseClient_.cy, static_cast<int>(to), static_cast<int>(from))};
            if (grip_ != nullptr) {
                ::SetWindowPos(grip_, nullptr, 0, 0, WindowMetric(window, SM_CXVSCROLL),
                               WindowMetric(window, SM_CYHSCROLL),
                               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
            TakeMinimum(window);
            Layout(window);
            return TRUE;
        }
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
