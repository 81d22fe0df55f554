// The texts a setup author sets in the configuration instead of the built-in
// ones: the product name of the titles, the string-table texts and the
// texts of the dialogs' controls, from [Texts] and from language sections
// named by a language identifier in decimal ([Texts.1031]) or a language
// name ([Texts.de-DE], [Texts.zh-Hant]). Platform-free.
//
// The language: the first of the user's UI languages (in the user's order)
// that some section serves, by ui/LanguageTags.h: its own section, its
// parents' (zh-HK: zh-TW, zh-Hant), another of the same language and
// script. Each key is then looked up on its own in those sections, best
// first (in the order of the file among equals), then in [Texts], then the
// built-in text; an empty value is no text. A text found there that cannot
// be used is refused, and the built-in text is used for that key (not the
// next section): a text that is formatted must have exactly the "%s" of the
// built-in text (a missing or extra "%s", any other "%" sequence but "%%"
// and a lone "%" are refused), and no text may hold a control character
// (U+0000 to U+001F, U+007F to U+009F) or a surrogate without its partner.
// "%%" stands for "%". A text may be of any length.
//
// The windows are laid out right to left when RightToLeft says so ("true"
// or "false", looked up in the language's sections, or in [Texts] when no
// language section applies), else when the language chosen is read right
// to left.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pravel {

class IniDocument;
class IniSection;

// The keys of [Texts], in the order of kTextKeys.
enum TextKey : uint8_t {
    kTextProductName,
    kTextSetupCaption,
    kTextPreparing,
    kTextSearching,
    kTextDownloading,
    kTextInstalling,
    kTextFailed,
    kTextOpeningSite,
    kTextOpenSiteMessage,
    kTextRestartQuestion,
    kTextRestartTitle,
    kTextConnectTo,
    kTextCredentialsExplanation,
    kTextCredentialsExplanationNoRealm,
    kTextSkipButton,
    kTextCancelButton,
    kTextUserNameLabel,
    kTextPasswordLabel,
    kTextRememberCheckBox,
    kTextOkButton,
    kTextErrorTitle,
    kTextDetailsButton,
    kTextHideDetailsButton,
    kTextCloseButton,
    kTextCopyButton,
    kTextIcon,
    kTextRightToLeft,
    kTextKeyCount
};

// Placeholders of a key: how many "%s" its text has; kTextValue for a value
// that is never a pattern ("%" is then an ordinary character), kTextSwitch
// for "true" or "false" (any case).
constexpr uint8_t kTextValue = 0xFF;
constexpr uint8_t kTextSwitch = 0xFE;

struct TextKeyInfo {
    const char* name;      // the key in [Texts]
    uint16_t stringId;     // string-table entry it replaces; 0 for none
    uint8_t placeholders;  // "%s" in the built-in text, kTextValue or kTextSwitch
};

extern const TextKeyInfo kTextKeys[kTextKeyCount];

// Controls whose text a key replaces (dialog template, control id).
struct ControlText {
    uint16_t dialog;
    uint16_t control;
    TextKey key;
};
extern const ControlText kControlTexts[];
extern const size_t kControlTextCount;

// Why a text is refused.
enum class TextRefusal : uint8_t {
    kNone,
    kPlaceholders,  // another number of "%s" than the built-in text
    kPercent,       // a "%" that is neither "%s" nor "%%"
    kControl,       // a control character
    kSurrogate,     // a surrogate without its partner
    kSwitch,        // RightToLeft neither "true" nor "false"
};

// Checks `text` for a key with `placeholders` (see TextKeyInfo).
TextRefusal CheckText(std::wstring_view text, uint8_t placeholders);
// Why in words: "a \"%\" is followed by neither \"s\" nor \"%\"" and the
// like (empty for kNone).
std::wstring RefusalReason(TextRefusal refusal);
// The key's name.
std::wstring TextKeyName(TextKey key);

// The language of a section name: true for a texts section, `language`
// then empty for "Texts", the language's canonical name for
// "Texts.<LANGID>" (decimal without leading zeros, a language identifier
// Windows knows: "Texts.1031" gives de-DE) and "Texts.<language name>"
// ("Texts.zh-hant" gives zh-Hant).
bool TextsSectionLanguage(std::wstring_view sectionName, std::wstring& language);

// Says whether the system reads language `name` right to left; false when
// the system cannot say (then ui/LanguageTags.h's table decides).
using ReadingLayout = bool (*)(const std::wstring& name, bool& rightToLeft);

class WindowTexts {
  public:
    // Takes every key from the sections of `document` for the UI languages
    // `uiLanguages` (language names, the user's first first; see above).
    // Keys that are refused keep the built-in text and are listed in
    // RefusalOf(). `readingLayout` (may be null) says which languages are
    // read right to left.
    void Load(const IniDocument& document, const std::vector<std::wstring>& uiLanguages,
              ReadingLayout readingLayout = nullptr);

    // The configured text of `key` (with "%%" already "%" where the text is
    // not formatted), or null for the built-in one.
    const std::wstring* Find(TextKey key) const { return set_[key] ? &texts_[key] : nullptr; }
    // The same for string-table entry `id`.
    const std::wstring* FindString(unsigned id) const;
    // Whether the text of `key` comes from a section of the UI language
    // (not from [Texts], not built in).
    bool FromLanguage(TextKey key) const { return fromLanguage_[key]; }

    // The UI language the texts are for (canonical name), empty when no
    // language section applies; the best section of that language ("[Texts.1031]").
    const std::wstring& Language() const { return language_; }
    const std::wstring& Section() const { return section_; }
    // Whether the windows are laid out right to left.
    bool RightToLeft() const { return rightToLeft_; }

    struct Refusal {
        TextRefusal why = TextRefusal::kNone;
        std::wstring section;  // "[Texts]", "[Texts.1031]": where it was
    };
    // The refusal of `key` (why is kNone when it was not refused).
    const Refusal& RefusalOf(TextKey key) const { return refused_[key]; }

    // The log line of `key`'s refusal ("The text Downloading of [Texts.1031]
    // is refused (<why>); the built-in text is used."), empty when it was
    // not refused.
    std::wstring RefusalLine(TextKey key) const;
    // "Window texts for the UI language de-AT from [Texts.1031]." (with ",
    // laid out right to left" before the stop for such windows); empty when
    // no language section applies.
    std::wstring LanguageLine() const;

  private:
    std::wstring texts_[kTextKeyCount];
    bool set_[kTextKeyCount] = {};
    bool fromLanguage_[kTextKeyCount] = {};
    Refusal refused_[kTextKeyCount];
    std::wstring language_;
    std::wstring section_;
    bool rightToLeft_ = false;
};

// The texts of this process (empty until loaded: every text built in).
WindowTexts& TheWindowTexts();

}  // namespace pravel
