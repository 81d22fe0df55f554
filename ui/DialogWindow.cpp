#include "ui/DialogWindow.h"

#include <commctrl.h>

#include "common/SystemLibrary.h"
#include "ui/AppModule.h"
#include "ui/ConfiguredTexts.h"
#include "ui/ResourceIds.h"
#include "ui/StatusText.h"

namespace pravel {

namespace {

// Sent by Windows 8.1 and later to a per-monitor aware window whose DPI
// changes (older headers lack it).
constexpr UINT kWmDpiChanged = 0x02E0;

HINSTANCE ModuleInstance() {
    HINSTANCE instance = TheModule().Instance();
    return instance != nullptr ? instance : ::GetModuleHandleW(nullptr);
}

// Makes `icon` the window's `which` icon and destroys the one it replaces,
// unless that is the configured one (kept while the process runs).
void ReplaceIcon(HWND window, WPARAM which, HICON icon) {
    const auto old = reinterpret_cast<HICON>(
        ::SendMessageW(window, WM_SETICON, which, reinterpret_cast<LPARAM>(icon)));
    if (old != nullptr && old != icon && old != ConfiguredIcon() && old != ConfiguredSmallIcon()) {
        ::DestroyIcon(old);
    }
}

// The work area of the monitor nearest to `window`.
RECT WorkAreaOf(HWND window) {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &monitor.rcWork, 0);
    }
    return monitor.rcWork;
}

// `left`, `top` of a window of `width` x `height` moved inside `boundary`:
// right and bottom edges first, then left and top.
POINT Inside(LONG left, LONG top, LONG width, LONG height, const RECT& boundary) {
    if (left + width > boundary.right) left = boundary.right - width;
    if (top + height > boundary.bottom) top = boundary.bottom - height;
    if (left < boundary.left) left = boundary.left;
    if (top < boundary.top) top = boundary.top;
    return POINT{left, top};
}

}  // namespace

HWND DialogWindow::CreateModeless(int templateId, HWND owner) {
    templateId_ = templateId;
    TheModule().AddCreateData(this);
    HWND window =
        ::CreateDialogParamW(ModuleInstance(), MAKEINTRESOURCEW(templateId), owner, Procedure, 0);
    const DWORD error = ::GetLastError();
    TheModule().ExtractCreateData();  // left over when no message arrived
    ::SetLastError(error);
    return window;
}

INT_PTR DialogWindow::RunModal(int templateId, HWND owner) {
    templateId_ = templateId;
    TheModule().AddCreateData(this);
    const INT_PTR result =
        ::DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(templateId), owner, Procedure, 0);
    const DWORD error = ::GetLastError();
    TheModule().ExtractCreateData();
    ::SetLastError(error);
    return result;
}

INT_PTR CALLBACK DialogWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<DialogWindow*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) {
        self = static_cast<DialogWindow*>(TheModule().ExtractCreateData());
        if (self == nullptr) return FALSE;
        ::SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->window_.store(window);
    }
    // The configured texts are in place before the dialog lays itself out.
    if (message == WM_INITDIALOG) {
        ApplyControlTexts(window, self->templateId_);
        self->dpi_ = WindowDpi(window);
    }
    if (message == kWmDpiChanged) {
        // The dialog manager scales the dialog when this returns; then the
        // dialog lays itself out again, with the icons of its new DPI.
        const UINT old = self->dpi_;
        self->dpi_ = LOWORD(wParam);
        if (old != self->dpi_) ::PostMessageW(window, kDpiChangedMessage, old, self->dpi_);
    }
    if (message == kDpiChangedMessage) SetProgramIcons(window);
    ApplyReadingOrder(message, wParam, lParam);
    const INT_PTR handled = self->OnMessage(window, message, wParam, lParam);
    if (message == WM_DESTROY) ReleaseProgramIcons(window);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        self->window_.store(nullptr);
    }
    return handled;
}

void SetProgramIcons(HWND window) {
    HICON big = ConfiguredIcon();
    HICON small = ConfiguredSmallIcon() != nullptr ? ConfiguredSmallIcon() : big;
    if (big == nullptr) {
        // The images of the window's DPI (32 and 16 pixels at 100 %), the
        // window's own: LR_SHARED would give every size the first one loaded.
        HINSTANCE instance = ModuleInstance();
        big = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_PRAVEL), IMAGE_ICON,
                                              WindowMetric(window, SM_CXICON),
                                              WindowMetric(window, SM_CYICON), 0));
        small = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_PRAVEL), IMAGE_ICON,
                                                WindowMetric(window, SM_CXSMICON),
                                                WindowMetric(window, SM_CYSMICON), 0));
    }
    if (big != nullptr) ReplaceIcon(window, ICON_BIG, big);
    if (small != nullptr) ReplaceIcon(window, ICON_SMALL, small);
}

void ReleaseProgramIcons(HWND window) {
    ReplaceIcon(window, ICON_BIG, nullptr);
    ReplaceIcon(window, ICON_SMALL, nullptr);
}

void CenterWindow(HWND window) {
    RECT rect;
    if (!::GetWindowRect(window, &rect)) return;
    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    RECT area;      // what the window is centred on, in screen coordinates
    RECT boundary;  // what it must stay inside
    const bool child = (::GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0;
    if (child) {
        HWND parent = ::GetParent(window);
        if (parent == nullptr || !::GetClientRect(parent, &area)) return;
        ::MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&area), 2);
        boundary = area;
    } else {
        boundary = WorkAreaOf(window);
        HWND owner = ::GetWindow(window, GW_OWNER);
        if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
            ::GetWindowRect(owner, &area);
        } else {
            area = boundary;
        }
    }
    POINT origin =
        Inside(area.left + ((area.right - area.left) - width) / 2,
               area.top + ((area.bottom - area.top) - height) / 2, width, height, boundary);
    if (child) ::ScreenToClient(::GetParent(window), &origin);
    ::SetWindowPos(window, nullptr, origin.x, origin.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void KeepInsideWorkArea(HWND window) {
    RECT rect;
    if (!::GetWindowRect(window, &rect)) return;
    const POINT origin = Inside(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                                WorkAreaOf(window));
    if (origin.x == rect.left && origin.y == rect.top) return;
    ::SetWindowPos(window, nullptr, origin.x, origin.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool InitProgressControls() {
    static const auto init =
        SystemFunction<decltype(&::InitCommonControlsEx)>(L"comctl32.dll", "InitCommonControlsEx");
    if (init == nullptr) return false;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    return init(&controls) != FALSE;
}

RECT ControlRect(HWND dialog, int id) {
    RECT rect = {};
    HWND control = ::GetDlgItem(dialog, id);
    if (control != nullptr && ::GetWindowRect(control, &rect)) {
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    }
    return rect;
}

void PlaceControl(HWND dialog, int id, const RECT& rect) {
    ::SetWindowPos(::GetDlgItem(dialog, id), nullptr, rect.left, rect.top, rect.right - rect.left,
                   rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetClientHeight(HWND dialog, LONG height) {
    RECT window;
    RECT client;
    if (!::GetWindowRect(dialog, &window) || !::GetClientRect(dialog, &client)) return;
    if (client.bottom == height) return;
    ::SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left,
                   (window.bottom - window.top) - client.bottom + height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (height > client.bottom) KeepInsideWorkArea(dialog);
}

SIZE DluToPixels(HWND dialog, int x, int y) {
    RECT rect = {0, 0, x, y};
    ::MapDialogRect(dialog, &rect);
    return SIZE{rect.right, rect.bottom};
}

UINT WindowDpi(HWND window) {
    static const auto forWindow =
        SystemFunction<UINT(WINAPI*)(HWND)>(L"user32.dll", "GetDpiForWindow");
    const UINT dpi = forWindow != nullptr ? forWindow(window) : 0;
    if (dpi != 0) return dpi;
    HDC screen = ::GetDC(nullptr);
    const int pixels = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr) ::ReleaseDC(nullptr, screen);
    return pixels > 0 ? static_cast<UINT>(pixels) : USER_DEFAULT_SCREEN_DPI;
}

int WindowMetric(HWND window, int index) {
    static const auto forDpi =
        SystemFunction<int(WINAPI*)(int, UINT)>(L"user32.dll", "GetSystemMetricsForDpi");
    return forDpi != nullptr ? forDpi(index, WindowDpi(window)) : ::GetSystemMetrics(index);
}

void ScaleRect(RECT& rect, UINT from, UINT to) {
    if (from == 0 || from == to) return;
    const int f = static_cast<int>(from);
    const int t = static_cast<int>(to);
    rect = {::MulDiv(rect.left, t, f), ::MulDiv(rect.top, t, f), ::MulDiv(rect.right, t, f),
            ::MulDiv(rect.bottom, t, f)};
}

LONG StaticTextHeight(HWND control, const std::wstring& text, LONG width) {
    HDC dc = ::GetDC(control);
    if (dc == nullptr) return 0;
    HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    // The format the static control draws with.
    const LONG style = ::GetWindowLongW(control, GWL_STYLE);
    UINT format = DT_CALCRECT | DT_LEFT | DT_EXPANDTABS | DT_WORDBREAK;
    if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
    if (style & SS_EDITCONTROL) format |= DT_EDITCONTROL;
    if (::GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_RTLREADING) format |= DT_RTLREADING;
    // One line at least: an empty text is as high as a line.
    const std::wstring& measured = text.empty() ? std::wstring(L" ") : text;
    RECT rect = {0, 0, width, 0};
    ::DrawTextW(dc, measured.c_str(), static_cast<int>(measured.size()), &rect, format);
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    return rect.bottom;
}

LONG ShowStatusText(HWND dialog, int id, const std::wstring& text, LONG width, LONG minimumHeight,
                    const std::vector<std::wstring>& patterns) {
    HWND control = ::GetDlgItem(dialog, id);
    if (control == nullptr) return minimumHeight;
    const LONG line = StaticTextHeight(control, std::wstring(), width);
    const size_t lineChars =
        static_cast<size_t>(width > 0 ? width : 0);  // a character is 1 pixel at least
    const std::wstring shown = FitStatusText(text, patterns, [&](const std::wstring& candidate) {
        return candidate.size() <= lineChars && StaticTextHeight(control, candidate, width) <= line;
    });
    ::SetWindowTextW(control, shown.c_str());
    // Only as much of the text is measured as can fill the highest line
    // count (a hostile text of any length costs no more).
    const RECT area = WorkAreaOf(dialog);
    const LONG highest = (area.bottom - area.top) / 2;
    const LONG lines = line > 0 ? highest / line : 1;
    const size_t enough = static_cast<size_t>(lines + 1) * (lineChars + 1);
    LONG height =
        StaticTextHeight(control, shown.size() > enough ? shown.substr(0, enough) : shown, width);
    if (height > lines * line) height = lines * line;
    return height > minimumHeight ? height : minimumHeight;
}

}  // namespace pravel
