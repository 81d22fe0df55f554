// The modeless preparing window (dialog 201): a status line and an optional
// Skip button, shown while the prerequisites are searched. It exists only in
// an interactive run.
//
// Threads: Show runs on the thread that owns the window (it creates it at the
// first call); Close may come from any thread. Close from another thread
// posts WM_USER+1 and waits until the window is gone, but never forever: it
// gives up after kCloseWaitMs, or at once when the window's thread no longer
// takes messages (it then logs that the window could not be closed).
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "ui/DialogWindow.h"

namespace pravel {

class PreparingDialog : public DialogWindow {
  public:
    static constexpr UINT kCloseMessage = WM_USER + 1;
    static constexpr DWORD kCloseWaitMs = 5000;

    PreparingDialog() = default;
    ~PreparingDialog() override;

    // Only while the run is interactive: stores `skipAllowed`, clears the
    // Skip request, creates the window at the first call (owned by the
    // active window), and sets the caption and the status line, laying the
    // window out for them: the status line ends at the Skip button, or at
    // its right edge when Skip is hidden, and takes as many lines as its
    // text needs (centred where the one line was; the window grows when
    // they do not fit). A window that cannot be created is not tried again.
    void Show(const std::wstring& status, bool skipAllowed);
    // Destroys the window (see above for other threads); clears IsOpen.
    void Close();

    bool SkipRequested() const { return skipRequested_.load(); }
    bool IsOpen() const { return isOpen_.load(); }
    using DialogWindow::Window;

    void SetProgramPath(const std::wstring& path) { programPath_ = path; }
    void SetProductName(const std::wstring& name) { productName_ = name; }
    void SetTitle(const std::wstring& title) { title_ = title; }
    const std::wstring& Title() const { return title_; }
    const std::wstring& ProductName() const { return productName_; }
    // The title, or string 161 "%s Setup" with the product name (read from
    // the program's version resource when none was given).
    std::wstring Caption();

  private:
    INT_PTR OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void Layout(HWND window);
    void Destroy(HWND window);

    std::atomic<bool> skipAllowed_{false};
    std::atomic<bool> skipRequested_{false};
    std::atomic<bool> isOpen_{false};
    bool createFailed_ = false;
    DWORD threadId_ = 0;
    // The template's layout in pixels, taken when the window is created.
    RECT baseStatus_ = {};
    RECT baseButton_ = {};
    LONG baseClientHeight_ = 0;
    std::wstring statusText_;
    std::wstring programPath_;
    std::wstring productName_;
    std::wstring title_;
};

}  // namespace pravel
