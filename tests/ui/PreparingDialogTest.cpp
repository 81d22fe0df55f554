// The preparing window (dialog 201) driven from a second thread.
#include "ui/PreparingDialog.h"

#include "UiTestSupport.h"

using namespace ui_test;
using pravel::PreparingDialog;

namespace {

class PreparingWindow : public WindowTest {
  protected:
    PreparingDialog dialog_;
};

HWND FindPreparing() {
    return WaitForDialog({IDC_PREPARING_STATUS, IDCANCEL});
}

}  // namespace

TEST_F(PreparingWindow, WithSkipShowsResourceLayoutAndSkipIsRecorded) {
    dialog_.SetTitle(L"Contoso Setup");
    dialog_.Show(L"Searching for prerequisites...", true);
    ASSERT_NE(dialog_.Window(), nullptr);
    EXPECT_TRUE(dialog_.IsOpen());
    Driver driver([&] {
        HWND window = FindPreparing();
        ASSERT_EQ(window, dialog_.Window());
        EXPECT_EQ(WindowText(window), L"Contoso Setup");
        EXPECT_EQ(ItemText(window, IDC_PREPARING_STATUS), L"Searching for prerequisites...");
        EXPECT_EQ(ItemText(window, IDCANCEL), L"Skip");
        EXPECT_TRUE(ItemVisible(window, IDCANCEL));
        EXPECT_TRUE(AtDialogUnits(window, IDC_PREPARING_STATUS, 13, 20, 117, 8));
        EXPECT_TRUE(AtDialogUnits(window, IDCANCEL, 133, 17, 50, 14));
        RECT client;
        GetClientRect(window, &client);
        const RECT size = DialogUnits(window, 0, 0, 190, 49);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);
        EXPECT_TRUE(HasProgramIcons(window));
        EXPECT_FALSE(dialog_.SkipRequested());
        PressButton(window, IDCANCEL);
        const DWORD start = GetTickCount();
        while (!dialog_.SkipRequested() && GetTickCount() - start < 5000) Sleep(5);
        EXPECT_TRUE(dialog_.SkipRequested());
        EXPECT_FALSE(ItemEnabled(window, IDCANCEL));
    });
    driver.Join();
    // A later Show clears the request and offers Skip again.
    dialog_.Show(L"Next", true);
    EXPECT_FALSE(dialog_.SkipRequested());
    EXPECT_TRUE(ItemEnabled(dialog_.Window(), IDCANCEL));
    dialog_.Close();
    EXPECT_EQ(dialog_.Window(), nullptr);
    EXPECT_FALSE(dialog_.IsOpen());
}

TEST_F(PreparingWindow, WithoutSkipTheStatusSpansTheButtonsPlace) {
    dialog_.SetTitle(L"T");
    dialog_.Show(L"Preparing...", false);
    Driver driver([&] {
        HWND window = FindPreparing();
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(ItemVisible(window, IDCANCEL));
        const RECT status = ItemRect(window, IDC_PREPARING_STATUS);
        const RECT button = ItemRect(window, IDCANCEL);
        EXPECT_EQ(status.right, button.right) << "up to the hidden button's right edge";
        EXPECT_FALSE(AtDialogUnits(window, IDC_PREPARING_STATUS, 13, 20, 117, 8));
        RECT first = {13, 20, 117, 8};
        MapDialogRect(window, &first);
        EXPECT_EQ(status.left, first.left);
        EXPECT_EQ(status.top, first.top);
        EXPECT_EQ(status.bottom - status.top, first.bottom);
        // Escape or the close box must not count as Skip when none is offered.
        PressButton(window, IDCANCEL);
    });
    driver.Join();
    PumpUntil([] { return false; }, 50);
    EXPECT_FALSE(dialog_.SkipRequested());
    // Skip offered again: the line gets its first width back.
    dialog_.Show(L"Preparing...", true);
    EXPECT_TRUE(ItemVisible(dialog_.Window(), IDCANCEL));
    EXPECT_TRUE(AtDialogUnits(dialog_.Window(), IDC_PREPARING_STATUS, 13, 20, 117, 8));
    dialog_.Close();
}

// Status texts of every length, with and without Skip: the line is as high
// as its text needs, centred where its one line was (the window grows when
// the lines do not fit), Skip beside its middle, nothing outside the window;
// back to one line, the resource layout.
TEST_F(PreparingWindow, TheStatusLineTakesTheLinesItsTextNeeds) {
    dialog_.SetTitle(L"T");
    std::wstring text;
    for (int sentences = 1; sentences <= 9; ++sentences) {
        text += L"Die Voraussetzungen werden gesucht. ";
        for (bool skip : {false, true}) {
            SCOPED_TRACE(std::to_string(sentences) + (skip ? " with Skip" : ""));
            dialog_.Show(text, skip);
            HWND window = dialog_.Window();
            ASSERT_NE(window, nullptr);
            EXPECT_EQ(ItemText(window, IDC_PREPARING_STATUS), text);
            EXPECT_TRUE(ShowsWholeText(window, IDC_PREPARING_STATUS));
            const RECT status = ItemRect(window, IDC_PREPARING_STATUS);
            RECT client;
            GetClientRect(window, &client);
            EXPECT_GE(status.top, DialogUnits(window, 0, 7, 0, 0).top);
            EXPECT_LE(status.bottom, client.bottom);
            if (!skip) continue;
            const RECT button = ItemRect(window, IDCANCEL);
            EXPECT_LE(status.right, button.left);
            EXPECT_LE(abs((status.top + status.bottom) - (button.top + button.bottom)), 2);
        }
    }
    dialog_.Show(L"Searching for prerequisites...", true);
    EXPECT_TRUE(AtDialogUnits(dialog_.Window(), IDC_PREPARING_STATUS, 13, 20, 117, 8));
    EXPECT_TRUE(AtDialogUnits(dialog_.Window(), IDCANCEL, 133, 17, 50, 14));
    RECT client;
    GetClientRect(dialog_.Window(), &client);
    EXPECT_EQ(client.bottom, DialogUnits(dialog_.Window(), 0, 0, 190, 49).bottom);
    dialog_.Close();
}

// Windows scales a per-monitor aware dialog that moves to a monitor of
// another DPI and sends WM_DPICHANGED (Wine never does): the layout then
// follows the template scaled to the new DPI.
TEST_F(PreparingWindow, AfterADpiChangeTheLayoutFollowsTheScaledTemplate) {
    dialog_.Show(L"x", true);
    HWND window = dialog_.Window();
    ASSERT_NE(window, nullptr);
    HDC screen = GetDC(nullptr);
    const UINT dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    SendMessageW(window, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi * 2, dpi * 2), 0);
    PumpUntil([] { return false; }, 50);  // the posted re-layout
    RECT button = {133, 17, 50, 14};      // origin and size, mapped separately
    MapDialogRect(window, &button);
    const RECT now = ItemRect(window, IDCANCEL);
    EXPECT_EQ(now.left, button.left * 2);
    EXPECT_EQ(now.right - now.left, button.right * 2);
    dialog_.Close();
}

TEST_F(PreparingWindow, CaptionFallsBackToTheSetupCaptionOfTheProduct) {
    dialog_.SetProductName(L"Fabrikam");
    dialog_.Show(L"x", false);
    EXPECT_EQ(WindowText(dialog_.Window()), L"Fabrikam Setup");
    dialog_.Close();
}

TEST_F(PreparingWindow, CentredOnTheWorkAreaWithoutOwner) {
    dialog_.Show(L"x", false);
    HWND window = dialog_.Window();
    RECT rect;
    GetWindowRect(window, &rect);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    EXPECT_NEAR(rect.left - work.left, work.right - rect.right, 1);
    EXPECT_NEAR(rect.top - work.top, work.bottom - rect.bottom, 1);
    dialog_.Close();
}

TEST_F(PreparingWindow, CloseFromAnotherThreadWhileTheWindowThreadPumps) {
    dialog_.Show(L"x", false);
    HWND window = dialog_.Window();
    DWORD took = 0;
    Driver driver([&] {
        const DWORD start = GetTickCount();
        dialog_.Close();
        took = GetTickCount() - start;
    });
    driver.Join();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(dialog_.IsOpen());
    EXPECT_LT(took, 2000u);
}

TEST_F(PreparingWindow, CloseFromAnotherThreadGivesUpWhenTheWindowThreadIsStuck) {
    dialog_.Show(L"x", false);
    HWND window = dialog_.Window();
    HANDLE closed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD took = 0;
    std::thread closer([&] {
        const DWORD start = GetTickCount();
        dialog_.Close();
        took = GetTickCount() - start;
        SetEvent(closed);
    });
    // This thread takes no messages until Close has returned.
    EXPECT_EQ(WaitForSingleObject(closed, 15000), WAIT_OBJECT_0);
    closer.join();
    CloseHandle(closed);
    EXPECT_LE(took, PreparingDialog::kCloseWaitMs + 1000);
    EXPECT_FALSE(dialog_.IsOpen());
    // The posted request is still honoured once the thread pumps again.
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(window); }, 5000));
}

TEST_F(PreparingWindow, NothingIsShownWhenTheRunIsNotInteractive) {
    pravel::interactive = false;
    dialog_.Show(L"x", true);
    EXPECT_EQ(dialog_.Window(), nullptr);
    EXPECT_FALSE(dialog_.IsOpen());
    EXPECT_TRUE(FindDialogs(GetCurrentProcessId(), {IDC_PREPARING_STATUS}).empty());
}
