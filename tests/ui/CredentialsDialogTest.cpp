// The credentials dialog (225): texts, the OK rule, the answers, the layout
// and the size grip.
#include "ui/CredentialsDialog.h"

#include "UiTestSupport.h"

using namespace ui_test;
using pravel::CredentialsDialog;
using pravel::CredentialsEntry;

namespace {

HWND CredentialsWindow() {
    return WaitForDialog({IDC_CRED_USER, IDC_CRED_PASSWORD, IDC_CRED_EXPLANATION}, 5000);
}

class Credentials : public WindowTest {};

}  // namespace

TEST_F(Credentials, TextsNameTheServerAndOkNeedsAUserName) {
    CredentialsDialog dialog(L"proxy.example", L"Corporate proxy");
    CredentialsEntry entry;
    Driver driver([&] {
        HWND window = CredentialsWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(WindowText(window), L"Connect to proxy.example");
        EXPECT_EQ(ItemText(window, IDC_CRED_EXPLANATION),
                  L"The server proxy.example at Corporate proxy requires a username and "
                  L"password. Please enter them below.");
        EXPECT_EQ(ItemText(window, IDOK), L"OK");
        EXPECT_EQ(ItemText(window, IDC_CRED_REMEMBER), L"Remember my credentials");
        EXPECT_TRUE(HasProgramIcons(window));
        EXPECT_FALSE(ItemEnabled(window, IDOK));
        SetDlgItemTextW(window, IDC_CRED_PASSWORD, L"secret");
        EXPECT_FALSE(ItemEnabled(window, IDOK)) << "a password alone is not enough";
        PressButton(window, IDOK);  // Enter with no user name: ignored
        Sleep(100);
        EXPECT_TRUE(IsWindow(window));
        SetDlgItemTextW(window, IDC_CRED_USER, L"alice");
        EXPECT_TRUE(ItemEnabled(window, IDOK));
        SetDlgItemTextW(window, IDC_CRED_USER, L"");
        EXPECT_FALSE(ItemEnabled(window, IDOK));
        SetDlgItemTextW(window, IDC_CRED_USER, L"bob");
        CheckDlgButton(window, IDC_CRED_REMEMBER, BST_CHECKED);
        EXPECT_TRUE(ItemEnabled(window, IDOK));
        PressButton(window, IDOK);
    });
    EXPECT_TRUE(dialog.Ask(nullptr, entry));
    driver.Join();
    EXPECT_EQ(entry.userName, L"bob");
    EXPECT_EQ(entry.password, L"secret");
    EXPECT_TRUE(entry.remember);
}

TEST_F(Credentials, CancelAnswersFalseAndLeavesTheEntry) {
    CredentialsDialog dialog(L"files.example", L"");
    CredentialsEntry entry;
    entry.userName = L"before";
    Driver driver([&] {
        HWND window = CredentialsWindow();
        ASSERT_NE(window, nullptr);
        SetDlgItemTextW(window, IDC_CRED_USER, L"typed");
        PressButton(window, IDCANCEL);
    });
    EXPECT_FALSE(dialog.Ask(nullptr, entry));
    driver.Join();
    EXPECT_EQ(entry.userName, L"before");
}

TEST_F(Credentials, ResourceLayoutResizableWithAGripThatHidesWhenMaximised) {
    CredentialsDialog dialog(L"h", L"r");
    CredentialsEntry entry;
    Driver driver([&] {
        HWND window = CredentialsWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(AtDialogUnits(window, IDC_CRED_USER, 57, 41, 184, 14));
        EXPECT_TRUE(AtDialogUnits(window, IDC_CRED_PASSWORD, 57, 60, 184, 14));
        EXPECT_TRUE(AtDialogUnits(window, IDC_CRED_REMEMBER, 7, 79, 179, 10));
        EXPECT_TRUE(AtDialogUnits(window, IDOK, 140, 93, 50, 14));
        EXPECT_TRUE(AtDialogUnits(window, IDCANCEL, 202, 93, 50, 14));
        EXPECT_TRUE(AtDialogUnits(window, IDC_CRED_EXPLANATION, 15, 7, 225, 23));
        EXPECT_TRUE(GetWindowLongW(GetDlgItem(window, IDC_CRED_PASSWORD), GWL_STYLE) & ES_PASSWORD);
        RECT client;
        GetClientRect(window, &client);
        const RECT size = DialogUnits(window, 0, 0, 259, 114);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);
        EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_THICKFRAME);

        RECT frame;
        GetWindowRect(window, &frame);
        MINMAXINFO info = {};
        SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        EXPECT_EQ(info.ptMinTrackSize.x, frame.right - frame.left);
        EXPECT_EQ(info.ptMinTrackSize.y, frame.bottom - frame.top);

        HWND grip = GetDlgItem(window, 100);
        ASSERT_NE(grip, nullptr);
        EXPECT_TRUE(GetWindowLongW(grip, GWL_STYLE) & WS_VISIBLE);
        // It reaches into Cancel's corner: below every control and clipped by them.
        EXPECT_TRUE(GetWindowLongW(grip, GWL_STYLE) & WS_CLIPSIBLINGS);
        EXPECT_EQ(GetWindow(grip, GW_HWNDNEXT), nullptr);
        // Wider: the buttons keep their distance to the right edge.
        const RECT okBefore = ItemRect(window, IDOK);
        SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left + 40,
                     frame.bottom - frame.top + 20, SWP_NOMOVE | SWP_NOZORDER);
        const RECT okAfter = ItemRect(window, IDOK);
        EXPECT_EQ(okAfter.left - okBefore.left, 40);
        EXPECT_EQ(okAfter.top - okBefore.top, 20);
        ShowWindow(window, SW_MAXIMIZE);
        EXPECT_FALSE(GetWindowLongW(grip, GWL_STYLE) & WS_VISIBLE);
        ShowWindow(window, SW_RESTORE);
        EXPECT_TRUE(GetWindowLongW(grip, GWL_STYLE) & WS_VISIBLE);
        PressButton(window, IDCANCEL);
    });
    EXPECT_FALSE(dialog.Ask(nullptr, entry));
    driver.Join();
}
