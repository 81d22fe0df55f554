#include "ui/ConfiguredTexts.h"

#include "common/Text.h"
#include "diag/Logger.h"
#include "ui/DialogWindow.h"
#include "ui/WindowTexts.h"

namespace pravel {

namespace {

// Loaded once, in the sizes of the big and the small icon, and kept while
// the process runs: every window shows them.
HICON configuredIcon = nullptr;
HICON configuredSmallIcon = nullptr;

}  // namespace

void UseConfiguredTexts(const IniDocument& document) {
    UseConfiguredTexts(document, ::GetUserDefaultUILanguage());
}

void UseConfiguredTexts(const IniDocument& document, LANGID language) {
    WindowTexts& texts = TheWindowTexts();
    texts.Load(document, language);
    for (uint8_t k = 0; k < kTextKeyCount; ++k) {
        const std::wstring line = texts.RefusalLine(static_cast<TextKey>(k));
        if (!line.empty()) Log(line);
    }
    const std::wstring line = texts.LanguageLine(language);
    if (!line.empty()) Log(line);
    if (texts.RightToLeft()) ::SetProcessDefaultLayout(LAYOUT_RTL);
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
        // characters; buttons break their text into lines.
        const bool label = row.key == kTextUserNameLabel || row.key == kTextPasswordLabel;
        ::SetWindowLongW(
            control, GWL_STYLE,
            ::GetWindowLongW(control, GWL_STYLE) | (label ? SS_EDITCONTROL : BS_MULTILINE));
        ::SetWindowTextW(control, text->c_str());
    }
}

}  // namespace pravel
