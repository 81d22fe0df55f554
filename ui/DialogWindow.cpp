#include "ui/DialogWindow.h"

#include <commctrl.h>

#include "common/SystemLibrary.h"
#include "ui/AppModule.h"
#include "ui/ConfiguredTexts.h"
#include "ui/ResourceIds.h"

namespace pravel {

namespace {

HINSTANCE ModuleInstance() {
    HINSTANCE instance = TheModule().Instance();
    return instance != nullptr ? instance : ::GetModuleHandleW(nullptr);
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
    if (message == WM_INITDIALOG) ApplyControlTexts(window, self->templateId_);
    const INT_PTR handled = self->OnMessage(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        self->window_.store(nullptr);
    }
    return handled;
}

void SetProgramIcons(HWND window) {
    HINSTANCE instance = ModuleInstance();
    HANDLE big = ConfiguredIcon();
    HANDLE small = big;
    if (big == nullptr) {
        big = ::LoadImageW(instance, MAKEINTRESOURCEW(IDI_PRAVEL), IMAGE_ICON,
                           ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED);
        small = ::LoadImageW(instance, MAKEINTRESOURCEW(IDI_PRAVEL), IMAGE_ICON,
                             ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                             LR_SHARED);
    }
    if (big != nullptr) ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    if (small != nullptr) {
        ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    }
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
        MONITORINFO monitor = {};
        monitor.cbSize = sizeof(monitor);
        if (!::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
            ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &monitor.rcWork, 0);
        }
        boundary = monitor.rcWork;
        HWND owner = ::GetWindow(window, GW_OWNER);
        if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
            ::GetWindowRect(owner, &area);
        } else {
            area = boundary;
        }
    }
    LONG left = area.left + ((area.right - area.left) - width) / 2;
    LONG top = area.top + ((area.bottom - area.top) - height) / 2;
    if (left + width > boundary.right) left = boundary.right - width;
    if (top + height > boundary.bottom) top = boundary.bottom - height;
    if (left < boundary.left) left = boundary.left;
    if (top < boundary.top) top = boundary.top;
    if (child) {
        POINT origin = {left, top};
        ::ScreenToClient(::GetParent(window), &origin);
        left = origin.x;
        top = origin.y;
    }
    ::SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
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

}  // namespace pravel
