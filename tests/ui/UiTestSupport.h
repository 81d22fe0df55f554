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

inline bool HasProgramIcons(HWND window) {
    return SendMessageW(window, WM_GETICON, ICON_BIG, 0) != 0 &&
           SendMessageW(window, WM_GETICON, ICON_SMALL, 0) != 0;
}

}  // namespace ui_test
