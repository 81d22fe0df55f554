// The report window: controls, sizes, the details toggle, Copy and Close.
#include "ui/ErrorReportWindow.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "UiTestSupport.h"

namespace pravel {
namespace {

struct Report {
    std::wstring message;
    std::wstring details;
};

DWORD WINAPI ShowReport(void* parameter) {
    const Report& report = *static_cast<Report*>(parameter);
    ShowErrorReport(nullptr, report.message, report.details, L"EXCEPTION_GENERIC", L"x.cpp:1");
    return 0;
}

// Shows the report on a thread of its own and finds its window (bounded).
class ShownReport {
  public:
    explicit ShownReport(Report report) : report_(std::move(report)) {
        thread_ = ::CreateThread(nullptr, 0, ShowReport, &report_, 0, &threadId_);
        for (int i = 0; i < 500 && window_ == nullptr; ++i) {
            ::EnumThreadWindows(threadId_, Find, reinterpret_cast<LPARAM>(&window_));
            if (window_ == nullptr) ::Sleep(10);
        }
    }
    ~ShownReport() {
        if (window_ != nullptr) ::PostMessageW(window_, WM_COMMAND, IDOK, 0);
        if (thread_ != nullptr) {
            EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread_, 10000));
            ::CloseHandle(thread_);
        }
    }
    HWND Window() const { return window_; }
    bool Closed() const { return ::WaitForSingleObject(thread_, 5000) == WAIT_OBJECT_0; }

  private:
    static BOOL CALLBACK Find(HWND window, LPARAM found) {
        wchar_t title[16] = {};
        ::GetWindowTextW(window, title, 16);
        if (std::wstring(title) != L"Error") return TRUE;
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    Report report_;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HWND window_ = nullptr;
};

int ClientHeight(HWND window) {
    RECT client;
    ::GetClientRect(window, &client);
    return client.bottom;
}

int DialogUnitsToPixels(HWND window, int height) {
    RECT r{0, 0, 10, height};
    ::MapDialogRect(window, &r);
    return r.bottom;
}

std::wstring TextOf(HWND window) {
    wchar_t text[64] = {};
    ::GetWindowTextW(window, text, 64);
    return text;
}

TEST(ErrorReport, DetailsEqualToTheMessageGiveNoDetailsControls) {
    ShownReport shown({L"just this", L"just this"});
    HWND window = shown.Window();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(nullptr, ::GetDlgItem(window, 503));
    EXPECT_EQ(nullptr, ::GetDlgItem(window, 502));
    EXPECT_EQ(nullptr, ::GetDlgItem(window, 504));
    EXPECT_EQ(L"Close", TextOf(::GetDlgItem(window, IDOK)));
    EXPECT_EQ(L"just this", TextOf(::GetDlgItem(window, 501)));
    EXPECT_EQ(DialogUnitsToPixels(window, 60), ClientHeight(window));
    EXPECT_NE(0, ::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_TRUE(ui_test::HasProgramIcons(window));
    ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(shown.Closed());
}

TEST(ErrorReport, LongMessageDetailsToggleCopyAndClose) {
    std::wstring message;
    for (int i = 0; i < 35; ++i) message += L"line\r\n";
    const std::wstring details =
        message + L"\r\n*** Stack Trace (x86) ***\r\n\r\n[0x00401000]  -----";
    ShownReport shown({message, details});
    HWND window = shown.Window();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(DialogUnitsToPixels(window, 60 + 224), ClientHeight(window));
    HWND toggle = ::GetDlgItem(window, 503);
    HWND box = ::GetDlgItem(window, 502);
    HWND copy = ::GetDlgItem(window, 504);
    ASSERT_NE(nullptr, toggle);
    ASSERT_NE(nullptr, box);
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(L"Details >>", TextOf(toggle));
    EXPECT_FALSE(::IsWindowVisible(box));
    EXPECT_FALSE(::IsWindowVisible(copy));
    // The edit control trades WS_BORDER for a client edge.
    const DWORD detailsStyle = 0x40B018C4u & ~static_cast<DWORD>(WS_BORDER);
    EXPECT_EQ(detailsStyle, static_cast<DWORD>(::GetWindowLongW(box, GWL_STYLE)) & detailsStyle);
    RECT collapsed;
    ::GetWindowRect(window, &collapsed);

    ::SendMessageW(window, WM_COMMAND, 503, 0);
    EXPECT_EQ(L"Details <<", TextOf(toggle));
    EXPECT_TRUE(::IsWindowVisible(box));
    EXPECT_TRUE(::IsWindowVisible(copy));
    RECT expanded;
    RECT boxRect;
    RECT copyRect;
    ::GetWindowRect(window, &expanded);
    ::GetWindowRect(box, &boxRect);
    ::GetWindowRect(copy, &copyRect);
    EXPECT_EQ((boxRect.bottom > copyRect.bottom ? boxRect.bottom : copyRect.bottom) +
                  DialogUnitsToPixels(window, 12),
              expanded.bottom);
    EXPECT_GT(expanded.bottom - expanded.top, collapsed.bottom - collapsed.top);

    ::SendMessageW(window, WM_COMMAND, 504, 0);
    std::wstring clipboard;
    for (int i = 0; i < 50 && !::OpenClipboard(nullptr); ++i) ::Sleep(10);
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (auto* text = static_cast<const wchar_t*>(::GlobalLock(data))) {
            clipboard = text;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    EXPECT_EQ(details, clipboard);

    ::SendMessageW(window, WM_COMMAND, 503, 0);
    EXPECT_EQ(L"Details >>", TextOf(toggle));
    EXPECT_FALSE(::IsWindowVisible(box));
    RECT again;
    ::GetWindowRect(window, &again);
    EXPECT_EQ(collapsed.bottom - collapsed.top, again.bottom - again.top);

    ::PostMessageW(window, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(shown.Closed());
}

}  // namespace
}  // namespace pravel
