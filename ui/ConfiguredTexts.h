// The configured window texts applied to this process (the Windows side of
// ui/WindowTexts.h): taken for the user's UI languages, refusals logged,
// windows mirrored and read right to left for such a language, the
// configured icon, and the texts of each dialog's controls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace pravel {

class IniDocument;

// Loads TheWindowTexts() from `document` for the user's UI languages and
// logs each refused text and the language section taken. The languages: the
// thread's and the user's preferred UI languages in their order, then the
// system's (GetThreadPreferredUILanguages); where the system has no such
// list (before Windows Vista), the one of GetUserDefaultUILanguage. When
// the windows read right to left (RightToLeft, else the language's reading
// layout: LOCALE_IREADINGLAYOUT, or a table where the system cannot say),
// every window created afterwards is laid out right to left. `Icon`,
// relative to the current folder (the run makes it the program's folder
// first) unless it is a full path, is loaded for the windows; a missing or
// broken file keeps the built-in icon (logged).
void UseConfiguredTexts(const IniDocument& document);

// The same with explicit UI languages (names; the tests' seam).
void UseConfiguredTexts(const IniDocument& document, const std::vector<std::wstring>& languages);

// The user's UI languages as above (names, best first; may be empty).
std::vector<std::wstring> PreferredUiLanguages();

// The configured icon; null when none (or it could not be loaded). The
// small one is the file's image for the small icon's size (16 x 16 pixels at
// 100 %), not the big one scaled down.
HICON ConfiguredIcon();
HICON ConfiguredSmallIcon();

// Sets the configured texts of the controls of dialog `templateId` in
// `dialog`, as written: no "&" is taken for a mnemonic. A text wider than
// its control wraps: a button or check box breaks it into lines within its
// height; a label breaks between words (it is two lines high; the
// credentials dialog first widens its label column, ui/CredentialsDialog.h),
// and a word too long for a line between two characters, never inside one.
void ApplyControlTexts(HWND dialog, int templateId);

// `caption` as a window title: in windows that read right to left embedded
// in right-to-left marks (U+202B ... U+202C), so the title bar reads it
// right to left whatever its own reading order; unchanged otherwise.
std::wstring CaptionText(const std::wstring& caption);

// A dialog procedure's hook for the colour messages its controls send
// before they paint their text (WM_CTLCOLORSTATIC, WM_CTLCOLORBTN): in
// windows that read right to left the control's device context gets
// TA_RTLREADING, so labels, buttons and check boxes put full stops, colons
// and brackets where a right-to-left reader expects them (a mirrored window
// alone flips the layout, not the reading order of text everywhere). Edit
// boxes, read-only ones too, keep their text in the order written.
void ApplyReadingOrder(UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace pravel
