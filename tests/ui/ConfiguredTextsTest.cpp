// The configured window texts in the real windows: the look-up order through
// the string loader, the refused forms (built-in text, a log line), a
// translated text formats like the built-in one, the dialogs' controls, a
// hostile [Texts] and the configured icon.
#include "ui/ConfiguredTexts.h"

#include "config/IniDocument.h"
#include "diag/Logger.h"
#include "support/WinTestSupport.h"
#include "ui/CredentialsDialog.h"
#include "ui/ErrorReportWindow.h"
#include "ui/LanguageTags.h"
#include "ui/MessageBox.h"
#include "ui/PreparingDialog.h"
#include "ui/TextTemplate.h"
#include "ui/WindowTexts.h"
#include "UiTestSupport.h"

using namespace ui_test;
using pravel::IniDocument;
using pravel::LoadText;

namespace {

class ConfiguredTexts : public WindowTest {
  protected:
    static void SetUpTestSuite() {
        WindowTest::SetUpTestSuite();
        // One log for the suite (the process has one logger).
        static ScratchDir dir(L"configuredtexts");
        logPath_ = dir / L"texts.log";
        pravel::TheLogger().SetLogFile(logPath_);
    }
    void TearDown() override {
        Use(L"", 1033);  // every text built in again
        pravel::logEnabled = false;
        WindowTest::TearDown();
    }
    // Parses `lines` (joined with CR LF) and takes its texts for `language`.
    void Use(const std::wstring& text, LANGID language) {
        document_.Parse(text);
        pravel::UseConfiguredTexts(document_, {pravel::LanguageNameOfId(language)});
    }
    // The log lines written while `body` ran.
    template <typename Body>
    std::wstring Logged(Body body) {
        pravel::logEnabled = true;
        const size_t before = FileExists(logPath_) ? ReadUtf16(logPath_).size() : 0;
        body();
        pravel::logEnabled = false;
        const std::wstring all = FileExists(logPath_) ? ReadUtf16(logPath_) : std::wstring();
        return all.size() > before ? all.substr(before) : std::wstring();
    }

    static std::wstring logPath_;
    IniDocument document_;
};
std::wstring ConfiguredTexts::logPath_;

const wchar_t* const kGerman =
    L"[Texts]\r\n"
    L"ProductName=Contoso\r\n"
    L"Installing=Installing %s (default section)\r\n"
    L"[Texts.3079]\r\n"
    L"Searching=Voraussetzungen werden gesucht (AT)\r\n"
    L"OpeningSite=Webseite von %s wird ge\x00F6"
    L"ffnet (AT)\r\n"
    L"[Texts.1031]\r\n"
    L"SetupCaption=%s-Installation\r\n"
    L"Preparing=Vorbereitung...\r\n"
    L"Downloading=%s wird heruntergeladen\r\n"
    L"OpeningSite=Webseite von %s wird ge\x00F6"
    L"ffnet\r\n"
    L"RestartQuestion=Der Computer muss neu gestartet werden. Jetzt neu starten?\r\n"
    L"RestartTitle=Neustart\r\n"
    L"ConnectTo=Verbindung mit %s\r\n"
    L"CredentialsExplanation=Der Server %s (%s) verlangt einen Benutzernamen und ein "
    L"Kennwort.\r\n"
    L"CredentialsExplanationNoRealm=Der Server %s verlangt ein Kennwort.\r\n"
    L"SkipButton=\x00DC"
    L"ber&springen\r\n"
    L"CancelButton=Abbrechen\r\n"
    L"UserNameLabel=Benutzer&name:\r\n"
    L"PasswordLabel=Kennwort:\r\n"
    L"RememberCheckBox=Anmeldedaten speichern\r\n"
    L"OkButton=OK\r\n";

HWND CredentialsWindow() {
    return WaitForDialog({IDC_CRED_USER, IDC_CRED_PASSWORD, IDC_CRED_EXPLANATION}, 5000);
}

// The whole text of control `id` (ItemText reads at most 2047 characters).
std::wstring FullText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(control, &text[0], static_cast<int>(text.size()))));
    return text;
}

LONG Style(HWND dialog, int id) {
    return GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE);
}

// pravel.ico (16, 24, 32, 48 and 64 pixels) with its 16-pixel image in red
// only: which image a window shows can be told by its colour.
std::string IconWithRedSmallImage() {
    std::string icon = ReadBytes(PathFromEnvironment("PRAVEL_TEST_ICON"));
    const auto offset = static_cast<size_t>(static_cast<uint8_t>(icon[6 + 12])) |
                        static_cast<size_t>(static_cast<uint8_t>(icon[6 + 13])) << 8;
    EXPECT_EQ(icon[6], 16);  // the first image is the 16-pixel one
    for (size_t colour = 1; colour < 16; ++colour)
        icon.replace(offset + 40 + 4 * colour, 4, "\0\0\xFF\0", 4);
    return icon;
}

// The colour (0xRRGGBB) in the middle of an icon's image.
uint32_t IconColour(HICON icon) {
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info)) return 0xFFFFFFFF;
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, info.hbmColor);
    const COLORREF colour = GetPixel(dc, bitmap.bmWidth / 2, bitmap.bmHeight / 2);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return static_cast<uint32_t>(GetRValue(colour)) << 16 | GetGValue(colour) << 8 |
           GetBValue(colour);
}

}  // namespace

TEST_F(ConfiguredTexts, TheStringTableTextsFollowTheLookupOrder) {
    const struct {
        LANGID language;
        UINT id;
        const wchar_t* want;
    } rows[] = {
        {1031, IDS_DOWNLOADING, L"%s wird heruntergeladen"},  // exact
        {1031, IDS_OPENING_SITE,
         L"Webseite von %s wird ge\x00F6"
         L"ffnet"},                                                     // exact first
        {1031, IDS_SEARCHING, L"Voraussetzungen werden gesucht (AT)"},  // primary language
        {1031, IDS_INSTALLING, L"Installing %s (default section)"},     // [Texts]
        {1031, IDS_CRED_EXPLANATION,
         L"Der Server %s (%s) verlangt einen Benutzernamen und ein Kennwort."},
        {3079, IDS_CONNECT_TO, L"Verbindung mit %s"},  // a variant takes the other's keys
        {2055, IDS_SEARCHING, L"Voraussetzungen werden gesucht (AT)"},  // German (Switzerland)
        {2055, IDS_OPENING_SITE,
         L"Webseite von %s wird ge\x00F6"
         L"ffnet (AT)"},
        {1036, IDS_DOWNLOADING, L"Downloading %s"},  // French: built-in
        {1036, IDS_INSTALLING, L"Installing %s (default section)"},
        {1041, IDS_CONFIRMATION, L"Confirmation"},
        {1041, IDS_REBOOT_QUESTION, nullptr},  // built-in
    };
    for (const auto& row : rows) {
        Use(kGerman, row.language);
        Use(L"", 1033);
        const std::wstring builtIn = LoadText(row.id);
        Use(kGerman, row.language);
        EXPECT_EQ(LoadText(row.id), row.want != nullptr ? row.want : builtIn)
            << row.language << " " << row.id;
        std::wstring tried;
        EXPECT_TRUE(pravel::TryLoadText(row.id, tried));
        EXPECT_EQ(tried, LoadText(row.id));
    }
}

TEST_F(ConfiguredTexts, ARefusedTextKeepsTheBuiltInTextAndTheLogSaysWhy) {
    const struct {
        const wchar_t* value;
        const wchar_t* why;
    } rows[] = {
        {L"Lade", L"it must have exactly the \"%s\" of the built-in text"},
        {L"Lade %s und %s", L"it must have exactly the \"%s\" of the built-in text"},
        {L"Lade %d", L"a \"%\" is followed by neither \"s\" nor \"%\""},
        {L"Lade %s zu 100%", L"a \"%\" is followed by neither \"s\" nor \"%\""},
        {L"Lade %s %n", L"a \"%\" is followed by neither \"s\" nor \"%\""},
        {L"Lade\x0007 %s", L"it holds a control character"},
        {L"Lade \xD83D %s", L"it holds a surrogate without its partner"},
        {L"Lade \xDE00 %s", L"it holds a surrogate without its partner"},
    };
    for (const auto& row : rows) {
        const std::wstring log = Logged([&] {
            Use(std::wstring(L"[Texts]\r\nDownloading=Lade %s\r\n[Texts.1031]\r\nDownloading=") +
                    row.value + L"\r\n",
                1031);
        });
        EXPECT_EQ(LoadText(IDS_DOWNLOADING), L"Downloading %s") << Narrow(row.value);
        EXPECT_NE(log.find(std::wstring(L"The text Downloading of [Texts.1031] is refused (") +
                           row.why + L"); the built-in text is used."),
                  std::wstring::npos)
            << Narrow(log);
    }
    const std::wstring log = Logged([&] { Use(L"[Texts]\r\nSetupCaption=Setup\r\n", 1033); });
    EXPECT_NE(log.find(L"The text SetupCaption of [Texts] is refused"), std::wstring::npos);
}

TEST_F(ConfiguredTexts, ATranslatedTextFormatsExactlyLikeTheBuiltInOne) {
    // Names with what a pattern would read as conversions are inserted as
    // they are, in both.
    const wchar_t* const names[] = {L"Runtime 4.8", L"50%s %d %n %%", L"", L"\x00C4rger %1"};
    for (const wchar_t* name : names) {
        Use(L"", 1033);
        const std::wstring builtIn = pravel::FormatTemplate(LoadText(IDS_DOWNLOADING), {name});
        EXPECT_EQ(builtIn, std::wstring(L"Downloading ") + name);
        Use(kGerman, 1031);
        const std::wstring translated = pravel::FormatTemplate(LoadText(IDS_DOWNLOADING), {name});
        EXPECT_EQ(translated, std::wstring(name) + L" wird heruntergeladen");
        const std::wstring explanation =
            pravel::FormatTemplate(LoadText(IDS_CRED_EXPLANATION), {name, L"realm"});
        EXPECT_EQ(explanation, std::wstring(L"Der Server ") + name +
                                   L" (realm) verlangt einen Benutzernamen und ein Kennwort.");
    }
}

TEST_F(ConfiguredTexts, TheDialogsShowTheConfiguredControlTexts) {
    Use(kGerman, 1031);
    pravel::CredentialsDialog dialog(L"proxy.example", L"Firma");
    pravel::CredentialsEntry entry;
    Driver driver([&] {
        HWND window = CredentialsWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(WindowText(window), L"Verbindung mit proxy.example");
        EXPECT_EQ(ItemText(window, IDC_CRED_EXPLANATION),
                  L"Der Server proxy.example (Firma) verlangt einen Benutzernamen und ein "
                  L"Kennwort.");
        // "&" shows as written, in a label and in a button.
        EXPECT_EQ(ItemText(window, IDC_CRED_USER_LABEL), L"Benutzer&name:");
        EXPECT_NE(Style(window, IDC_CRED_USER_LABEL) & SS_NOPREFIX, 0);
        EXPECT_EQ(ItemText(window, IDC_CRED_PASSWORD_LABEL), L"Kennwort:");
        EXPECT_EQ(ItemText(window, IDC_CRED_REMEMBER), L"Anmeldedaten speichern");
        EXPECT_EQ(ItemText(window, IDOK), L"OK");
        EXPECT_EQ(ItemText(window, IDCANCEL), L"Abbrechen");
        // Long texts wrap instead of being cut.
        EXPECT_NE(Style(window, IDC_CRED_USER_LABEL) & SS_EDITCONTROL, 0);
        EXPECT_NE(Style(window, IDCANCEL) & BS_MULTILINE, 0);
        // "Benutzername:" is wider than the label: the label takes room from
        // the field after it, which keeps its right edge.
        const RECT label = ItemRect(window, IDC_CRED_USER_LABEL);
        const RECT field = ItemRect(window, IDC_CRED_USER);
        RECT resource = {57, 41, 184, 14};  // origin and size, mapped separately
        MapDialogRect(window, &resource);
        EXPECT_GT(field.left, resource.left);
        EXPECT_EQ(field.right, resource.left + resource.right);
        EXPECT_LE(label.right, field.left);
        EXPECT_GT(label.right - label.left, DialogUnits(window, 0, 0, 48, 8).right);
        // One column: "Kennwort:" is as wide, its field begins and ends with
        // the other.
        const RECT passwordLabel = ItemRect(window, IDC_CRED_PASSWORD_LABEL);
        const RECT password = ItemRect(window, IDC_CRED_PASSWORD);
        EXPECT_EQ(passwordLabel.right, label.right);
        EXPECT_EQ(password.left, field.left);
        EXPECT_EQ(password.right, field.right);
        PressButton(window, IDCANCEL);
    });
    EXPECT_FALSE(dialog.Ask(nullptr, entry));
    driver.Join();

    pravel::PreparingDialog preparing;
    preparing.SetProductName(L"Contoso");
    preparing.Show(LoadText(IDS_PREPARING), true);
    ASSERT_NE(preparing.Window(), nullptr);
    EXPECT_EQ(WindowText(preparing.Window()), L"Contoso-Installation");
    EXPECT_EQ(ItemText(preparing.Window(), IDC_PREPARING_STATUS), L"Vorbereitung...");
    EXPECT_NE(Style(preparing.Window(), IDC_PREPARING_STATUS) & SS_NOPREFIX, 0);
    EXPECT_EQ(ItemText(preparing.Window(), IDCANCEL),
              L"\x00DC"
              L"ber&&springen");
    preparing.Close();

    // A server that names no realm: no empty "()".
    pravel::CredentialsDialog noRealm(L"ntlm.example", L"");
    Driver second([&] {
        HWND window = CredentialsWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(ItemText(window, IDC_CRED_EXPLANATION),
                  L"Der Server ntlm.example verlangt ein Kennwort.");
        PressButton(window, IDCANCEL);
    });
    EXPECT_FALSE(noRealm.Ask(nullptr, entry));
    second.Join();
}

// An Arabic user: the windows are mirrored, their titles and controls read
// right to left, and the error report takes its texts from the section.
TEST_F(ConfiguredTexts, RightToLeftWindowsAreMirroredAndReadRightToLeft) {
    Use(L"[Texts.ar]\r\nSetupCaption=\x0625\x0639\x062F\x0627\x062F %s\r\n"
        L"ErrorTitle=\x062E\x0637\x0623\r\nCloseButton=\x0625\x063A\x0644\x0627\x0642\r\n",
        1025);
    pravel::PreparingDialog preparing;
    preparing.SetProductName(L"Contoso");
    preparing.Show(L"x", false);
    ASSERT_NE(preparing.Window(), nullptr);
    EXPECT_NE(GetWindowLongW(preparing.Window(), GWL_EXSTYLE) & WS_EX_LAYOUTRTL, 0);
    EXPECT_EQ(WindowText(preparing.Window()),
              L"\x202B\x0625\x0639\x062F\x0627\x062F Contoso\x202C");
    preparing.Close();
    HDC dc = CreateCompatibleDC(nullptr);
    pravel::ApplyReadingOrder(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), 0);
    EXPECT_NE(GetTextAlign(dc) & TA_RTLREADING, 0u);

    HWND report = nullptr;
    Driver driver([&] {
        report = WaitForDialog({500, 501, IDOK}, 5000);
        ASSERT_NE(report, nullptr);
        EXPECT_EQ(WindowText(report), L"\x202B\x062E\x0637\x0623\x202C");
        EXPECT_EQ(ItemText(report, IDOK), L"\x0625\x063A\x0644\x0627\x0642");
        EXPECT_EQ(ItemText(report, 503), L"Details >>");  // not configured: built in
        PressButton(report, IDOK);
    });
    pravel::ShowErrorReport(nullptr, L"m", L"details", L"EXCEPTION_GENERIC", L"x.cpp:1");
    driver.Join();

    Use(L"[Texts.ar]\r\nRightToLeft=false\r\n", 1025);
    SetTextAlign(dc, TA_LEFT);
    pravel::ApplyReadingOrder(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), 0);
    EXPECT_EQ(GetTextAlign(dc) & TA_RTLREADING, 0u);
    EXPECT_EQ(pravel::CaptionText(L"t"), L"t");
    DeleteDC(dc);
}

TEST_F(ConfiguredTexts, AHostileSectionNeverBreaksTheWindows) {
    const std::wstring huge(100000, L'\x6F22');
    const std::wstring hostile =
        L"[Texts]\r\n"
        L"SetupCaption=%s%s%s%s%n%x%p\r\n"
        L"Preparing=" +
        huge +
        L"\r\n"
        L"ConnectTo=%n%n%n%n%s\r\n"
        L"CredentialsExplanation=%s %s " +
        huge +
        L"\r\n"
        L"RestartTitle=\x0001\x0002\x0003\r\n"
        L"RestartQuestion=" +
        huge +
        L" %s\r\n"
        L"CancelButton=" +
        huge +
        L"\r\n"
        L"OkButton=\xD800\r\n"
        L"SkipButton=Skip\x001B[31m\r\n"
        L"UserNameLabel=" +
        huge +
        L"\r\n"
        L"RememberCheckBox=%\r\n";
    const std::wstring log = Logged([&] { Use(hostile, 1033); });
    for (const wchar_t* key : {L"SetupCaption", L"ConnectTo", L"RestartTitle", L"RestartQuestion",
                               L"OkButton", L"SkipButton"}) {
        EXPECT_NE(log.find(std::wstring(L"The text ") + key + L" of [Texts] is refused"),
                  std::wstring::npos)
            << Narrow(key);
    }
    EXPECT_EQ(LoadText(IDS_SETUP_CAPTION), L"%s Setup");
    EXPECT_TRUE(LoadText(IDS_PREPARING) == huge);  // whole
    EXPECT_EQ(LoadText(IDS_CONFIRMATION), L"Confirmation");

    pravel::CredentialsDialog dialog(L"h", L"r");
    pravel::CredentialsEntry entry;
    Driver driver([&] {
        HWND window = CredentialsWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(WindowText(window), L"Connect to h");
        // Whole (compared without printing 100,000 characters).
        EXPECT_TRUE(FullText(window, IDC_CRED_EXPLANATION) == L"h r " + huge);
        EXPECT_TRUE(FullText(window, IDC_CRED_USER_LABEL) == huge);
        EXPECT_TRUE(FullText(window, IDCANCEL) == huge);
        EXPECT_EQ(ItemText(window, IDOK), L"OK");
        EXPECT_EQ(ItemText(window, IDC_CRED_REMEMBER), L"Remember my credentials");
        PressButton(window, IDCANCEL);
    });
    EXPECT_FALSE(dialog.Ask(nullptr, entry));
    driver.Join();

    pravel::PreparingDialog preparing;
    preparing.SetProductName(L"%s%n");
    preparing.Show(LoadText(IDS_PREPARING), true);
    ASSERT_NE(preparing.Window(), nullptr);
    EXPECT_EQ(WindowText(preparing.Window()), L"%s%n Setup");
    EXPECT_TRUE(FullText(preparing.Window(), IDC_PREPARING_STATUS) == huge);
    EXPECT_EQ(ItemText(preparing.Window(), IDCANCEL), L"Skip");
    preparing.Close();
}

TEST_F(ConfiguredTexts, TheIconComesFromTheProgramsFolderOrStaysBuiltIn) {
    ScratchDir dir(L"configuredicon");
    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    SetCurrentDirectoryW(dir.Path().c_str());  // as the run does: the program's folder
    WriteBytes(dir / L"broken.ico", std::string("not an icon at all"));
    std::wstring log = Logged([&] { Use(L"[Texts]\r\nIcon=broken.ico\r\n", 1033); });
    EXPECT_EQ(pravel::ConfiguredIcon(), nullptr);
    EXPECT_NE(log.find(L"The icon broken.ico could not be loaded (error "), std::wstring::npos)
        << Narrow(log);
    log = Logged([&] { Use(L"[Texts]\r\nIcon=missing.ico\r\n", 1033); });
    EXPECT_EQ(pravel::ConfiguredIcon(), nullptr);
    EXPECT_NE(log.find(L"missing.ico could not be loaded"), std::wstring::npos);

    WriteBytes(dir / L"brand.ico", ReadBytes(PathFromEnvironment("PRAVEL_TEST_ICON")));
    Use(L"[Texts]\r\nIcon=brand.ico\r\n", 1033);
    SetCurrentDirectoryW(before);
    ASSERT_NE(pravel::ConfiguredIcon(), nullptr);
    pravel::PreparingDialog preparing;
    preparing.SetTitle(L"T");
    preparing.Show(L"x", false);
    ASSERT_NE(preparing.Window(), nullptr);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(preparing.Window(), WM_GETICON, ICON_BIG, 0)),
              pravel::ConfiguredIcon());
    preparing.Close();
    Use(L"[Texts]\r\nIcon=" + (dir / L"brand.ico") + L"\r\n", 1033);  // a full path
    EXPECT_NE(pravel::ConfiguredIcon(), nullptr);

    // The small icon is the file's own 16 x 16 image, not the big one scaled.
    WriteBytes(dir / L"two.ico", IconWithRedSmallImage());
    Use(L"[Texts]\r\nIcon=" + (dir / L"two.ico") + L"\r\n", 1033);
    pravel::PreparingDialog sized;
    sized.SetTitle(L"T");
    sized.Show(L"x", false);
    ASSERT_NE(sized.Window(), nullptr);
    const auto big = reinterpret_cast<HICON>(SendMessageW(sized.Window(), WM_GETICON, ICON_BIG, 0));
    const auto small =
        reinterpret_cast<HICON>(SendMessageW(sized.Window(), WM_GETICON, ICON_SMALL, 0));
    EXPECT_EQ(IconWidth(small), GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(IconColour(small), 0xFF0000u);
    EXPECT_NE(IconColour(big), 0xFF0000u);
    sized.Close();
    Use(L"", 1033);
    EXPECT_EQ(pravel::ConfiguredIcon(), nullptr);  // taken afresh at every load
}
