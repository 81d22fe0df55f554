// The configured window texts applied to this process (the Windows side of
// ui/WindowTexts.h): taken for the user's UI language, refusals logged,
// windows mirrored for a right-to-left language, the configured icon, and
// the texts of each dialog's controls.
#pragma once

#include <windows.h>

#include <string>

namespace pravel {

class IniDocument;

// Loads TheWindowTexts() from `document` for GetUserDefaultUILanguage() and
// logs each refused text and the language section taken. When the texts
// come from an Arabic, Hebrew, Persian or Urdu section, every window created
// afterwards is laid out right to left. `Icon`, relative to the current
// folder (the run makes it the program's folder first) unless it is a full
// path, is loaded for the windows; a missing or broken file keeps the
// built-in icon (logged).
void UseConfiguredTexts(const IniDocument& document);

// The same with an explicit UI language (the tests' seam).
void UseConfiguredTexts(const IniDocument& document, LANGID language);

// The configured icon; null when none (or it could not be loaded). The
// small one is the file's image for the small icon's size (16 x 16 pixels at
// 100 %), not the big one scaled down.
HICON ConfiguredIcon();
HICON ConfiguredSmallIcon();

// Sets the configured texts of the controls of dialog `templateId` in
// `dialog`. A text wider than its control wraps: a button or check box
// breaks it into lines within its height; a label breaks between words (it
// is two lines high; the credentials dialog first widens its label column,
// ui/CredentialsDialog.h), and a word too long for a line between two
// characters, never inside one.
void ApplyControlTexts(HWND dialog, int templateId);

}  // namespace pravel
