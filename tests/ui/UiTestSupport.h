// Shared set-up of the window tests: the module object on this test
// program (which carries the program's dialogs, strings and icon), COM on
// the test thread, and the interactive flag restored after each test.
#pragma once

#include <gtest/gtest.h>
#include <objbase.h>

#include <atomic>
#include <thread>

#include "support/WindowDriver.h"
#include "ui/AppModule.h"
#include "ui/ResourceIds.h"

namespace ui_test {

using namespace testing_support;

class WindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static bool ready = false;
        if (!ready) {
            pravel::TheModule().Init(GetModuleHandleW(nullptr));
            ready = true;
        }
    }
    void SetUp() override {
        comReady_ = SUCCEEDED(CoInitialize(nullptr));
        pravel::interactive = true;
    }
    void TearDown() override {
        pravel::interactive = true;
        if (comReady_) CoUninitialize();
    }

  private:
    bool comReady_ = false;
};

// Runs `body` on a second thread; Join pumps this thread's messages until
// it has ended (the body's window calls need this thread to answer).
class Driver {
  public:
    template <typename Body>
    explicit Driver(Body body)
        : thread_([this, body]() mutable {
              body();
              done_.store(true);
          }) {}
    ~Driver() { Join(); }
    bool Done() const { return done_.load(); }
    void Join() {
        if (!thread_.joinable()) return;
        EXPECT_TRUE(PumpUntil([this] { return done_.load(); }, 20000))
            << "the driving thread did not end";
        thread_.join();
    }

  private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// True when the control's rectangle is `x, y, width, height` dialog units.
inline ::testing::AssertionResult AtDialogUnits(HWND dialog, int id, int x, int y, int width,
                                                int height) {
    // The dialog manager converts origin and size separately.
    RECT origin = {x, y, width, height};
    MapDialogRect(dialog, &origin);
    const RECT want = {origin.left, origin.top, origin.left + origin.right,
                       origin.top + origin.bottom};
    const RECT got = ItemRect(dialog, id);
    if (EqualRect(&want, &got)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "control " << id << " is at (" << got.left << "," << got.top << ")-(" << got.right
           << "," << got.bottom << "), expected (" << want.left << "," << want.top << ")-("
           << want.right << "," << want.bottom << ")";
}

// The width of an icon's image in pixels (0 for none).
inline int IconWidth(HICON icon) {
    ICONINFO info = {};
    if (icon == nullptr || !GetIconInfo(icon, &info)) return 0;
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

// Both icons, each of its own size (32 and 16 pixels at 100 %).
inline ::testing::AssertionResult HasProgramIcons(HWND window) {
    const auto big = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0));
    const auto small = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0));
    if (IconWidth(big) == GetSystemMetrics(SM_CXICON) &&
        IconWidth(small) == GetSystemMetrics(SM_CXSMICON)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "icons of " << IconWidth(big) << " and " << IconWidth(small) << " pixels";
}

// True when static control `id` is high enough for every line of its text,
// drawn as the control draws it (its font, width, word breaks).
inline ::testing::AssertionResult ShowsWholeText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    const RECT rect = ItemRect(dialog, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    HDC dc = GetDC(control);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    RECT needed = {0, 0, rect.right - rect.left, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS |
                  ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0) |
                  ((style & SS_EDITCONTROL) ? DT_EDITCONTROL : 0));
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    if (needed.bottom <= rect.bottom - rect.top) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "control " << id << " is " << rect.bottom - rect.top
                                         << " pixels high, its text needs " << needed.bottom;
}

}  // namespace ui_test
