// The window texts of [Texts] and [Texts.<language>]: the language a
// section serves, the keys and values pravel refuses, and the Icon file.
#include <algorithm>
#include <string>
#include <vector>

#include "checker/ConfigChecker.h"
#include "checker/KeyNames.h"
#include "common/Text.h"
#include "ui/LanguageTags.h"
#include "ui/WindowTexts.h"

namespace pravel {

void ConfigChecker::CheckTextsSection(const IniSection& section, const std::wstring& language) {
    const std::wstring name = L"[" + section.Name() + L"]";
    if (!IsKnownLanguageName(language)) {
        const std::wstring close = ClosestName(language, KnownLanguageNames());
        Warning(section.Line(),
                name + L" names the language " + language +
                    L", which Windows does not know: no user has it" +
                    (close.empty() ? std::wstring() : L"; did you mean [Texts." + close + L"]?"));
    } else if (ScriptIsOpen(language)) {
        Warning(section.Line(),
                name + L" serves only a user whose language is exactly " + language + L": " +
                    LanguageName(language) +
                    L" is written in Latin and in Cyrillic, and pravel never shows one for the "
                    L"other; name the script ([Texts." +
                    language.substr(0, 2) + L"-Latn], [Texts." + language.substr(0, 2) +
                    L"-Cyrl])");
    }
}

void ConfigChecker::CheckIcon(const IniPair& pair) {
    const std::wstring& path = pair.value;
    if (IsNetworkPath(path)) {
        Warning(pair.line, L"Icon " + Quoted(path) +
                               L" lies on a network share: pravel loads it when it starts, and "
                               L"where the share is slow or out of reach (no network yet, an "
                               L"account without access) it keeps its own icon; ship the icon "
                               L"beside pravel.exe");
        return;
    }
    // A missing file is a finding of the shipped files (checker/ShippedFiles.h).
    std::vector<uint8_t> bytes;
    if (!readFile_ || readFile_(path, bytes) != FileLook::kRead) return;
    // An .ico file: reserved 0, type 1, at least one image, every image
    // inside the file.
    auto word = [&](size_t at) {
        return at + 1 < bytes.size() ? bytes[at] | bytes[at + 1] << 8 : -1;
    };
    auto dword = [&](size_t at) {
        return at + 3 < bytes.size()
                   ? static_cast<uint64_t>(word(at)) | static_cast<uint64_t>(word(at + 2)) << 16
                   : ~uint64_t(0);
    };
    const int count = word(4);
    bool icon = word(0) == 0 && word(2) == 1 && count > 0 &&
                6 + 16 * static_cast<size_t>(count) <= bytes.size();
    for (int i = 0; icon && i < count; ++i) {
        const size_t entry = 6 + 16 * static_cast<size_t>(i);
        icon = dword(entry + 8) > 0 && dword(entry + 8) + dword(entry + 12) <= bytes.size();
    }
    if (!icon) {
        Error(pair.line, L"Icon " + Quoted(path) +
                             L" is no icon file (.ico with at least one image): pravel shows "
                             L"its own icon instead");
    }
}

void ConfigChecker::CheckTextKey(const IniSection& section, const IniPair& pair) {
    const std::vector<std::wstring>& keys = TextKeys();
    const auto at = std::find(keys.begin(), keys.end(), pair.key);
    if (at == keys.end()) {
        const std::wstring close = ClosestName(pair.key, keys);
        Error(pair.line, L"pravel never reads the key " + Quoted(pair.key) + L" in [" +
                             section.Name() + L"]" +
                             (close.empty() ? std::wstring()
                                            : L"; did you mean " + Quoted(close) + L"?" +
                                                  (EqualsIgnoreCaseAscii(close, pair.key)
                                                       ? L" (key names are case-sensitive)"
                                                       : L"")));
        return;
    }
    const size_t index = static_cast<size_t>(at - keys.begin());
    const std::wstring builtIn = Quoted(BuiltInText(index));
    if (pair.value.empty()) {
        Warning(pair.line, pair.key + L" is empty: pravel takes " +
                               (section.Name() == L"Texts"
                                    ? L"the built-in text " + builtIn
                                    : L"the next section's text, from [Texts], or the built-in "
                                      L"text " +
                                          builtIn));
        return;
    }
    const uint8_t placeholders = kTextKeys[index].placeholders;
    const TextRefusal why = CheckText(pair.value, placeholders);
    if (why == TextRefusal::kNone) {
        if (index == kTextIcon) CheckIcon(pair);
        std::wstring invisible;
        for (wchar_t c : pair.value) {
            const bool marked = c == 0x200C || c == 0x200D || c == 0x200E || c == 0x200F ||
                                c == 0x061C;  // joiners and direction marks have a purpose
            if (IsInvisibleCharacter(c) && !marked && invisible.find(c) == std::wstring::npos) {
                invisible += c;
            }
        }
        if (!invisible.empty()) {
            Warning(pair.line, pair.key + L" holds invisible characters (" + invisible +
                                   L"): a viewer shows nothing there; remove them unless you "
                                   L"mean them");
        }
        return;
    }
    std::wstring reason = RefusalReason(why);
    if (why == TextRefusal::kPlaceholders) {
        size_t found = 0;
        for (size_t i = 0; i + 1 < pair.value.size(); ++i) {
            if (pair.value[i] != L'%') continue;
            if (pair.value[i + 1] == L's') ++found;
            ++i;
        }
        reason = L"it has " + ToDecimal(static_cast<int64_t>(found)) +
                 L" \"%s\" where the built-in text has " + ToDecimal(placeholders);
    }
    Error(pair.line, pair.key + L" is refused (" + reason + L"): pravel " +
                         (index == kTextRightToLeft
                              ? std::wstring(L"lays out the windows by the reading of the language")
                              : L"shows the built-in text " + builtIn) +
                         L" instead");
}

}  // namespace pravel
