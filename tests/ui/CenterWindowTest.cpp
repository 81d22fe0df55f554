// Centring of the program's windows: on a visible owner, on the work area,
// back inside the work area, and children in their parent.
#include "ui/DialogWindow.h"

#include "UiTestSupport.h"

using namespace ui_test;

namespace {

HWND Popup(HWND owner, int x, int y, int width, int height, bool visible) {
    return CreateWindowExW(0, L"STATIC", L"", WS_POPUP | (visible ? WS_VISIBLE : 0), x, y, width,
                           height, owner, nullptr, nullptr, nullptr);
}

RECT WorkArea(HWND window) {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor.rcWork;
}

RECT Bounds(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    return rect;
}

class Centring : public WindowTest {};

}  // namespace

TEST_F(Centring, TopLevelWindowsFollowTheirOwnerOrTheWorkArea) {
    HWND owner = Popup(nullptr, 100, 100, 400, 300, true);
    const RECT work = WorkArea(owner);
    struct Row {
        const char* what;
        int ownerX, ownerY;
        bool ownerVisible;
        bool onWorkArea;  // else at left, top
        int left, top;
    } rows[] = {
        {"visible owner", 100, 100, true, false, 100 + (400 - 200) / 2, 100 + (300 - 100) / 2},
        {"hidden owner", 100, 100, false, true, 0, 0},
        {"owner past the right and bottom edges", work.right - 50, work.bottom - 20, true, false,
         work.right - 200, work.bottom - 100},
        {"owner past the left and top edges", work.left - 390, work.top - 290, true, false,
         work.left, work.top},
    };
    for (const Row& row : rows) {
        SetWindowPos(owner, nullptr, row.ownerX, row.ownerY, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE |
                         (row.ownerVisible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
        HWND window = Popup(owner, 0, 0, 200, 100, false);
        pravel::CenterWindow(window);
        const RECT got = Bounds(window);
        EXPECT_EQ(got.right - got.left, 200) << row.what << ": never resized";
        if (!row.onWorkArea) {
            EXPECT_EQ(got.left, row.left) << row.what;
            EXPECT_EQ(got.top, row.top) << row.what;
        } else {
            EXPECT_NEAR(got.left - work.left, work.right - got.right, 1) << row.what;
            EXPECT_NEAR(got.top - work.top, work.bottom - got.bottom, 1) << row.what;
        }
        DestroyWindow(window);
    }
    // A minimised owner does not count either.
    ShowWindow(owner, SW_SHOWNORMAL);
    ShowWindow(owner, SW_MINIMIZE);
    HWND window = Popup(owner, 0, 0, 200, 100, false);
    pravel::CenterWindow(window);
    const RECT got = Bounds(window);
    EXPECT_NEAR(got.left - work.left, work.right - got.right, 1);
    DestroyWindow(window);
    DestroyWindow(owner);
}

TEST_F(Centring, ChildrenAreCentredInTheirParentsClientArea) {
    HWND parent = Popup(nullptr, 50, 60, 300, 200, true);
    HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 50, parent,
                                 nullptr, nullptr, nullptr);
    pravel::CenterWindow(child);
    RECT client;
    GetClientRect(parent, &client);
    RECT rect = Bounds(child);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, (client.right - 100) / 2);
    EXPECT_EQ(rect.top, (client.bottom - 50) / 2);
    DestroyWindow(parent);
}
