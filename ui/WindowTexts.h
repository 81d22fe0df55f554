// The texts a setup author sets in the configuration instead of the built-in
// ones: the product name of the titles, the string-table texts and the
// texts of the dialogs' controls, from [Texts] and from [Texts.<LANGID>]
// sections (LANGID in decimal, 1031 for German). Platform-free.
//
// Each key is looked up on its own, in this order: the section of the
// user's UI language exactly, then the [Texts.<n>] sections of the same
// primary language (in the order of the file), then [Texts], then the
// built-in text. A text found there that cannot be used is refused, and
// the built-in text is used for that key (not the next section): a text that is formatted must have
// exactly the "%s" of the built-in text (a missing or extra "%s", any other
// "%" sequence but "%%" and a lone "%" are refused), and no text may hold a
// control character (U+0000 to U+001F, U+007F to U+009F) or a surrogate
// without its partner. "%%" stands for "%". A text may be of any length.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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
    kTextOpeningSite,
    kTextRestartQuestion,
    kTextRestartTitle,
    kTextConnectTo,
    kTextCredentialsExplanation,
    kTextSkipButton,
    kTextCancelButton,
    kTextUserNameLabel,
    kTextPasswordLabel,
    kTextRememberCheckBox,
    kTextOkButton,
    kTextIcon,
    kTextKeyCount
};

// Placeholders of a key: how many "%s" its text has; kTextValue for a value
// that is never a pattern ("%" is then an ordinary character).
constexpr uint8_t kTextValue = 0xFF;

struct TextKeyInfo {
    const char* name;      // the key in [Texts]
    uint16_t stringId;     // string-table entry it replaces; 0 for none
    uint8_t placeholders;  // "%s" in the built-in text, or kTextValue
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
};

// Checks `text` for a key with `placeholders` (see TextKeyInfo).
TextRefusal CheckText(std::wstring_view text, uint8_t placeholders);
// Why in words: "a \"%\" is followed by neither \"s\" nor \"%\"" and the
// like (empty for kNone).
std::wstring RefusalReason(TextRefusal refusal);
// The key's name.
std::wstring TextKeyName(TextKey key);

// The language of a section name: "Texts" gives 0, "Texts.1031" 1031; -1
// when the name is not a texts section or its number is not a language
// identifier (decimal without leading zeros, 1 to 65535, primary language
// not 0).
int32_t TextsSectionLanguage(std::wstring_view sectionName);
// Arabic, Hebrew, Persian and Urdu.
bool IsRightToLeftLanguage(uint16_t language);

class WindowTexts {
  public:
    // Takes every key from the sections of `document` for UI language
    // `language` (see above). Keys that are refused keep the built-in text
    // and are listed in Refused().
    void Load(const IniDocument& document, uint16_t language);

    // The configured text of `key` (with "%%" already "%" where the text is
    // not formatted), or null for the built-in one.
    const std::wstring* Find(TextKey key) const { return set_[key] ? &texts_[key] : nullptr; }
    // The same for string-table entry `id`.
    const std::wstring* FindString(unsigned id) const;

    // The language section any text came from (exact or same primary
    // language), 0 when none; whether its language is written right to left.
    uint16_t Language() const { return language_; }
    bool RightToLeft() const { return language_ != 0 && IsRightToLeftLanguage(language_); }

    struct Refusal {
        TextRefusal why;
        uint16_t language;  // of the section it was in: 0 for [Texts]
    };
    // The refusal of `key` (why is kNone when it was not refused).
    const Refusal& RefusalOf(TextKey key) const { return refused_[key]; }

    // The log line of `key`'s refusal ("The text Downloading of [Texts.1031]
    // is refused (<why>); the built-in text is used."), empty when it was
    // not refused.
    std::wstring RefusalLine(TextKey key) const;
    // "Window texts for the UI language 1031 from [Texts.1031].", empty when
    // no language section gave a text.
    std::wstring LanguageLine(uint16_t uiLanguage) const;

  private:
    std::wstring texts_[kTextKeyCount];
    bool set_[kTextKeyCount] = {};
    Refusal refused_[kTextKeyCount] = {};
    uint16_t language_ = 0;
};

// The texts of this process (empty until loaded: every text built in).
WindowTexts& TheWindowTexts();

}  // namespace pravel
