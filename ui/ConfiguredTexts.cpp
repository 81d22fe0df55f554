#include "ui/ConfiguredTexts.h"

#include "common/Text.h"
#include "diag/Logger.h"
#include "ui/DialogWindow.h"
#include "ui/WindowTexts.h"

namespace pravel {

namespace {

// Loaded once, in the size Windows chooses, and kept while the process runs:
// every window shows it (Windows scales it for the small icon).
HICON configuredIcon = nullptr;

// A label wider than its text takes up to half of the field after it (the
// next control), which moves right by as much; what still does not fit
// wraps.
void WidenLabel(HWND dialog, HWND label, const std::wstring& text) {
    HWND field = ::GetWindow(label, GW_HWNDNEXT);
    HDC dc = ::GetDC(label);
    if (field == nullptr || dc == nullptr) return;
    HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE size = {};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(label, dc);
    const RECT l = ControlRect(dialog, ::GetDlgCtrlID(label));
    const RECT f = ControlRect(dialog, ::GetDlgCtrlID(field));
    LONG grow = size.cx + 2 - (l.right - l.left);
    if (grow > (f.right - f.left) / 2) grow = (f.right - f.left) / 2;
    if (grow <= 0) return;
    ::SetWindowPos(label, nullptr, 0, 0, l.right - l.left + grow, l.bottom - l.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(field, nullptr, f.left + grow, f.top, f.right - f.left - grow, f.bottom - f.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

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
    configuredIcon = nullptr;
    const std::wstring* icon = texts.Find(kTextIcon);
    if (icon == nullptr) return;
    // A relative path is taken from the current folder, the program's.
    configuredIcon = static_cast<HICON>(
        ::LoadImageW(nullptr, icon->c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE));
    if (configuredIcon == nullptr) {
        Log({"The icon ", *icon, " could not be loaded (error ", DecimalPiece(::GetLastError()),
             "); the built-in icon is kept."});
    }
}

HICON ConfiguredIcon() {
    return configuredIcon;
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
        if (label) WidenLabel(dialog, control, *text);
    }
}

}  // namespace pravel
