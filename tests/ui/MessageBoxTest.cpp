// The string table, the message-box routine and the run's error boxes.
#include "ui/MessageBox.h"

#include "UiTestSupport.h"

using namespace ui_test;
using pravel::LoadText;
using pravel::ShowErrorMessage;
using pravel::ShowMessage;

namespace {

constexpr int kMessageText = 0xFFFF;  // the static that holds a message box's text

// The test entries 900+k: "0123456789..." of the length, ending in "Z".
std::wstring Pattern(size_t length) {
    std::wstring text;
    for (size_t i = 0; i + 1 < length; ++i) text.push_back(static_cast<wchar_t>(L'0' + i % 10));
    return text + L"Z";
}

HWND MessageBoxWindow() {
    return WaitForDialog({kMessageText}, 5000);
}

class Messages : public WindowTest {};

}  // namespace

TEST_F(Messages, TheStringTableHoldsTheProgramsTexts) {
    const struct {
        UINT id;
        const wchar_t* text;
    } rows[] = {
        {153, L"Installing %s"},
        {161, L"%s Setup"},
        {198, L"Opening site of %s"},
        {199, L"Downloading %s"},
        {216,
         L"You must reboot your computer in order to continue the installation. Press Yes to "
         L"restart now or press No to abort the installation and manually restart later."},
        {217, L"Confirmation"},
        {220, L"Preparing..."},
        {223, L"Searching for prerequisites..."},
        {245, L"Connect to %s"},
        {246, L"The server %s at %s requires a username and password. Please enter them below."},
    };
    for (const auto& row : rows) EXPECT_EQ(LoadText(row.id), row.text) << row.id;
    std::wstring text = L"kept?";
    EXPECT_FALSE(pravel::TryLoadText(154, text));
    EXPECT_EQ(text, L"");
}

TEST_F(Messages, EntriesOfAnyLengthAreLoadedWhole) {
    const size_t lengths[] = {1, 254, 255, 256, 300, 1000};
    for (size_t k = 0; k < 6; ++k) {
        EXPECT_EQ(LoadText(900 + static_cast<UINT>(k)), Pattern(lengths[k])) << lengths[k];
    }
}

TEST_F(Messages, IdsAreLoadedForTextAndCaptionAndTheAnswerIsReturned) {
    std::wstring text, caption;
    Driver driver([&] {
        HWND box = MessageBoxWindow();
        ASSERT_NE(box, nullptr);
        text = ItemText(box, kMessageText);
        caption = WindowText(box);
        EXPECT_NE(GetDlgItem(box, IDYES), nullptr);
        PressButton(box, IDNO);
    });
    const int answer = ShowMessage(nullptr, MB_YESNO | MB_ICONINFORMATION, MAKEINTRESOURCEW(216),
                                   MAKEINTRESOURCEW(217));
    driver.Join();
    EXPECT_EQ(answer, IDNO);
    EXPECT_EQ(text, LoadText(216));
    EXPECT_EQ(caption, L"Confirmation");
}

TEST_F(Messages, LiteralTextsAndAnIdOfZeroForTheDefaultCaption) {
    std::wstring text, caption;
    Driver driver([&] {
        HWND box = MessageBoxWindow();
        ASSERT_NE(box, nullptr);
        text = ItemText(box, kMessageText);
        caption = WindowText(box);
        PressButton(box, IDOK);
    });
    EXPECT_EQ(ShowMessage(nullptr, MB_OK, Pattern(300).c_str(), MAKEINTRESOURCEW(0)), IDOK);
    driver.Join();
    EXPECT_EQ(text, Pattern(300));
    EXPECT_EQ(caption, L"Error") << "the system's default caption";
}

TEST_F(Messages, AnIdThatCannotBeLoadedShowsNothing) {
    EXPECT_EQ(ShowMessage(nullptr, MB_OK, MAKEINTRESOURCEW(154), nullptr), 0);
    EXPECT_EQ(ShowMessage(nullptr, MB_OK, L"text", MAKEINTRESOURCEW(154)), 0);
    EXPECT_TRUE(FindDialogs(GetCurrentProcessId(), {kMessageText}).empty());
}

TEST_F(Messages, ANonInteractiveRunShowsNoBox) {
    pravel::interactive = false;
    const DWORD start = GetTickCount();
    EXPECT_EQ(ShowMessage(nullptr, MB_YESNO, MAKEINTRESOURCEW(216), MAKEINTRESOURCEW(217)), 0);
    EXPECT_EQ(ShowErrorMessage(L"failed", L"Title", true), 0);
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_TRUE(FindDialogs(GetCurrentProcessId(), {kMessageText}).empty());
}

TEST_F(Messages, ErrorBoxesAreOwnedByTheActiveWindowWithTheRunsTitle) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 10, 10, 200, 100,
                                 nullptr, nullptr, nullptr, nullptr);
    SetActiveWindow(owner);
    ASSERT_EQ(GetActiveWindow(), owner);
    HWND boxOwner = nullptr;
    std::wstring caption;
    bool hasOk = false, hasRetry = true;
    Driver driver([&] {
        HWND box = MessageBoxWindow();
        ASSERT_NE(box, nullptr);
        boxOwner = GetWindow(box, GW_OWNER);
        caption = WindowText(box);
        hasOk = GetDlgItem(box, IDOK) != nullptr;
        hasRetry = GetDlgItem(box, IDRETRY) != nullptr;
        PressButton(box, IDOK);
    });
    EXPECT_EQ(ShowErrorMessage(L"It failed.", L"Contoso Setup", false), IDOK);
    driver.Join();
    EXPECT_EQ(boxOwner, owner);
    EXPECT_EQ(caption, L"Contoso Setup");
    EXPECT_TRUE(hasOk);
    EXPECT_FALSE(hasRetry);
    DestroyWindow(owner);
}

TEST_F(Messages, RetryableErrorsOfferRetryAndCancelAndAnEmptyTitleGivesNoCaption) {
    std::wstring caption;
    bool hasRetry = false, hasCancel = false;
    Driver driver([&] {
        HWND box = MessageBoxWindow();
        ASSERT_NE(box, nullptr);
        caption = WindowText(box);
        hasRetry = GetDlgItem(box, IDRETRY) != nullptr;
        hasCancel = GetDlgItem(box, IDCANCEL) != nullptr;
        PressButton(box, IDRETRY);
    });
    EXPECT_EQ(ShowErrorMessage(L"Try again?", L"", true), IDRETRY);
    driver.Join();
    EXPECT_TRUE(hasRetry);
    EXPECT_TRUE(hasCancel);
    EXPECT_EQ(caption, L"Error");
}
