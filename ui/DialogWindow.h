// What every window of the program shares: creation from the program's
// dialog resources through the module object (the dialog object is found
// when its first message arrives), the program's icon, and centring.
#pragma once

#include <windows.h>

#include <atomic>

namespace pravel {

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
};

// Sets the big and small window icons: the configured icon, else icon
// resource 128.
void SetProgramIcons(HWND window);

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

}  // namespace pravel
