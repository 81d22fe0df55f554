#include "ui/ConfiguredTexts.h"

#include "common/SystemLibrary.h"
#include "common/Text.h"
#include "diag/Logger.h"
#include "ui/DialogWindow.h"
#include "ui/LanguageTags.h"
#include "ui/WindowTexts.h"

namespace pravel {

namespace {

// Loaded once, in the sizes of the big and the small icon, and kept while
// the process runs: every window shows them.
HICON configuredIcon = nullptr;
HICON configuredSmallIcon = nullptr;

// The system's reading layout of language `name` (Windows 7 and later):
// LOCALE_IREADINGLAYOUT 1 is right to left.
bool LocaleReadingLayout(const std::wstring& name, bool& rightToLeft) {
    static const auto getInfo =
        SystemFunction<decltype(&::GetLocaleInfoEx)>(L"kernel32.dll", "GetLocaleInfoEx");
    DWORD layout = 0;
    if (getInfo == nullptr ||
        getInfo(name.c_str(), LOCALE_IREADINGLAYOUT | LOCALE_RETURN_NUMBER,
                reinterpret_cast<wchar_t*>(&layout), sizeof(layout) / sizeof(wchar_t)) == 0) {
        return false;
    }
    rightToLeft = layout == 1;
    return true;
}

}  // namespace

std::vector<std::wstring> PreferredUiLanguages() {
    static const auto getLanguages = SystemFunction<decltype(&::GetThreadPreferredUILanguages)>(
        L"kernel32.dll", "GetThreadPreferredUILanguages");
    constexpr DWORD kFlags = MUI_LANGUAGE_NAME | MUI_MERGE_USER_FALLBACK;
    std::vector<std::wstring> names;
    ULONG count = 0;
    ULONG size = 0;
    if (getLanguages != nullptr && getLanguages(kFlags, &count, nullptr, &size) && size > 0) {
        std::wstring list(size, L'\0');
        if (getLanguages(kFlags, &count, &list[0], &size)) {
            // Names ended by a null each, the list by a second one.
            for (size_t at = 0; at < list.size() && list[at] != L'\0';) {
                const size_t end = list.find(L'\0', at);
                names.push_back(list.substr(at, end - at));
                at = end + 1;
            }
        }
    }
    if (names.empty()) {
        const std::wstring name = LanguageNameOfId(::GetUserDefaultUILanguage());
        if (!name.empty()) names.push_back(name);
    }
    return names;
}

void UseConfiguredTexts(const IniDocument& document) {
    UseConfiguredTexts(document, PreferredUiLanguages());
}

void UseConfiguredTexts(const IniDocument& document, const std::vector<std::wstring>& languages) {
    WindowTexts& texts = TheWindowTexts();
    texts.Load(document, languages, LocaleReadingLayout);
    for (uint8_t k = 0; k < kTextKeyCount; ++k) {
        const std::wstring line = texts.RefusalLine(static_cast<TextKey>(k));
        if (!line.empty()) Log(line);
    }
    const std::wstring line = texts.LanguageLine();
    if (!line.empty()) Log(line);
    ::SetProcessDefaultLayout(texts.RightToLeft() ? LAYOUT_RTL : 0);
    if (configuredIcon != nullptr) ::DestroyIcon(configuredIcon);
    if (configuredSmallIcon != nullptr) ::DestroyIcon(configuredSmallIcon);
    configuredIcon = nullptr;
    configuredSmallIcon = nullptr;
    const std::wstring* icon = texts.Find(kTextIcon);
    if (icon == nullptr) return;
    // A relative path is taken from the current folder, the program's.
    configuredIcon = static_cast<HICON>(
        ::LoadImageW(nullptr, icon->c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE));
    if (configuredIcon != nullptr) {
        configuredSmallIcon = static_cast<HICON>(
            ::LoadImageW(nullptr, icon->c_str(), IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                         ::GetSystemMetrics(SM_CYSMICON), LR_LOADFROMFILE));
    }
    if (configuredIcon == nullptr) {
        Log({"The icon ", *icon, " could not be loaded (error ", DecimalPiece(::GetLastError()),
             "); the built-in icon is kept."});
    }
}

HICON ConfiguredIcon() {
    return configuredIcon;
}

HICON ConfiguredSmallIcon() {
    return configuredSmallIcon;
}

void ApplyControlTexts(HWND dialog, int templateId) {
    const WindowTexts& texts = TheWindowTexts();
    for (size_t i = 0; i < kControlTextCount; ++i) {
        const ControlText& row = kControlTexts[i];
        const std::wstring* text = texts.Find(row.key);
        HWND control = ::GetDlgItem(dialog, row.control);
        if (row.dialog != templateId || text == nullptr || control == nullptr) continue;
        // Static texts break a word too long for their line between two
        // characters and show "&" as it is; buttons break their text into
        // lines, and show "&" as it is when it is doubled.
        const bool label = row.key == kTextUserNameLabel || row.key == kTextPasswordLabel;
        ::SetWindowLongW(control, GWL_STYLE,
                         ::GetWindowLongW(control, GWL_STYLE) |
                             (label ? SS_EDITCONTROL | SS_NOPREFIX : BS_MULTILINE));
        std::wstring shown;
        for (wchar_t c : *text) {
            shown += c;
            if (c == L'&' && !label) shown += L'&';
        }
        ::SetWindowTextW(control, shown.c_str());
    }
}

std::wstring CaptionText(const std::wstring& caption) {
    if (!TheWindowTexts().RightToLeft()) return caption;
    return L"\x202B" + caption + L"\x202C";
}

void ApplyReadingOrder(UINT message, WPARAM wParam, LPARAM lParam) {
    if ((message != WM_CTLCOLORSTATIC && message != WM_CTLCOLORBTN) ||
        !TheWindowTexts().RightToLeft()) {
        return;
    }
    // A read-only edit box asks as a label does.
    wchar_t kind[8] = {};
    ::GetClassNameW(reinterpret_cast<HWND>(lParam), kind, 8);
    if (EqualsIgnoreCaseAscii(kind, "Edit")) return;
    HDC dc = reinterpret_cast<HDC>(wParam);
    ::SetTextAlign(dc, ::GetTextAlign(dc) | TA_RTLREADING);
}

}  // namespace pravel
