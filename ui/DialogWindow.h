// What every window of the program shares: creation from the program's
// dialog resources through the module object (the dialog object is found
// when its first message arrives), the program's icon, centring, and the
// layout at any DPI.
//
// DPI: the dialogs are laid out in dialog units with the system's dialog
// font (DS_SHELLFONT, "MS Shell Dlg"), so Windows sizes them for the DPI of
// their monitor; what a dialog changes itself (a status line that needs more
// lines, the credentials dialog's label column) is measured in pixels with
// the control's own font and taken from the template's rectangles as the
// dialog was created. Only Windows changes a window's DPI while it is shown
// (per-monitor v2, pravel/pravel.rc: moved to another monitor): the dialog
// manager then scales the dialog and its fonts, and the window gets
// kDpiChangedMessage to lay itself out again from its rectangles scaled to
// the new DPI (ScaleRect). Wine shows every window at one DPI.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

namespace pravel {

// Posted to a dialog after Windows has moved it to a monitor of another DPI
// and scaled it: wParam the old DPI, lParam the new one.
constexpr UINT kDpiChangedMessage = WM_APP + 64;

class DialogWindow {
  public:
    DialogWindow() = default;
    virtual ~DialogWindow() = default;
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    // The window while it exists (any thread may ask), else null.
    HWND Window() const { return window_.load(); }

  protected:
    // Creates dialog `templateId` modeless on the calling thread. Null when
    // it cannot be created (GetLastError tells why).
    HWND CreateModeless(int templateId, HWND owner);
    // Shows dialog `templateId` modal on the calling thread; its end code,
    // or -1 when it cannot be created.
    INT_PTR RunModal(int templateId, HWND owner);

    // The dialog procedure of this window: TRUE when the message was handled.
    virtual INT_PTR OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;

  private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    std::atomic<HWND> window_{nullptr};
    int templateId_ = 0;
    UINT dpi_ = 0;  // the window's, while it exists
};

// Sets the big and small window icons of the window's DPI: the configured
// icon file's images, else those of icon resource 128. ReleaseProgramIcons,
// when the window is destroyed, takes them back and destroys the loaded ones
// (the configured icon stays while the process runs).
void SetProgramIcons(HWND window);
void ReleaseProgramIcons(HWND window);

// Centres `window` without resizing or activating it: a child in its
// parent's client area; a top-level window on its owner when the owner is
// visible and not minimised, else on the work area of the nearest monitor;
// then moved back inside that work area (right and bottom edges first, then
// left and top).
void CenterWindow(HWND window);

// Registers the progress-bar class (comctl32.dll, loaded from the system
// folder). False when the library or its function is missing.
bool InitProgressControls();

// Position and size of control `id` in its dialog's client coordinates.
RECT ControlRect(HWND dialog, int id);
// Puts control `id` at `rect` (client coordinates) without activating it.
void PlaceControl(HWND dialog, int id, const RECT& rect);
// Gives `dialog` a client area `height` pixels high, keeping its width and
// position (moved back inside the work area when it grows beyond it).
void SetClientHeight(HWND dialog, LONG height);
// Dialog units in pixels of `dialog` (its font at its DPI): `x` and `y`
// mapped as MapDialogRect maps a size.
SIZE DluToPixels(HWND dialog, int x, int y);

// The DPI `window` is shown at: GetDpiForWindow (Windows 10 1607 and
// later), else the screen's.
UINT WindowDpi(HWND window);
// A system metric (SM_CXICON, SM_CXVSCROLL, ...) for that DPI.
int WindowMetric(HWND window, int index);
// `rect` scaled from one DPI to another.
void ScaleRect(RECT& rect, UINT from, UINT to);

// The height in pixels that static control `control` needs to show `text`
// within `width` pixels: its font, broken into lines as the control breaks
// them (its SS_NOPREFIX, SS_EDITCONTROL and right-to-left reading), at
// least one line.
LONG StaticTextHeight(HWND control, const std::wstring& text, LONG width);

// Shows `text` in static control `id` of `dialog`, `width` pixels wide, so
// that no word is cut: on one line, with the name of a step shortened when
// that makes it fit (`patterns`: the texts the steps are made from, see
// ui/StatusText.h), else whole over as many lines as it needs, but never
// higher than half the work area (a text longer than that is cut there).
// Returns the height it needs, at least `minimumHeight`; the caller places
// the control.
LONG ShowStatusText(HWND dialog, int id, const std::wstring& text, LONG width, LONG minimumHeight,
                    const std::vector<std::wstring>& patterns = {});

// Moves `window` back inside the work area of its monitor (right and bottom
// edges first, then left and top), without resizing or activating it.
void KeepInsideWorkArea(HWND window);

}  // namespace pravel
