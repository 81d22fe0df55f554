#include "ui/WindowTexts.h"

#include "common/Text.h"
#include "config/IniDocument.h"
#include "ui/LanguageTags.h"
#include "ui/ResourceIds.h"
#include "ui/TextTemplate.h"

namespace pravel {

const TextKeyInfo kTextKeys[kTextKeyCount] = {
    {"ProductName", 0, kTextValue},
    {"SetupCaption", IDS_SETUP_CAPTION, 1},
    {"Preparing", IDS_PREPARING, 0},
    {"Searching", IDS_SEARCHING, 0},
    {"Downloading", IDS_DOWNLOADING, 1},
    {"Installing", IDS_INSTALLING, 1},
    {"Failed", IDS_FAILED, 1},
    {"OpeningSite", IDS_OPENING_SITE, 1},
    {"OpenSiteMessage", IDS_OPEN_SITE_MESSAGE, 1},
    {"RestartQuestion", IDS_REBOOT_QUESTION, 0},
    {"RestartTitle", IDS_CONFIRMATION, 0},
    {"ConnectTo", IDS_CONNECT_TO, 1},
    {"CredentialsExplanation", IDS_CRED_EXPLANATION, 2},
    {"CredentialsExplanationNoRealm", IDS_CRED_EXPLANATION_NO_REALM, 1},
    {"SkipButton", 0, 0},
    {"CancelButton", 0, 0},
    {"UserNameLabel", 0, 0},
    {"PasswordLabel", 0, 0},
    {"RememberCheckBox", 0, 0},
    {"OkButton", 0, 0},
    {"ErrorTitle", IDS_ERROR_TITLE, 0},
    {"DetailsButton", IDS_DETAILS_SHOW, 0},
    {"HideDetailsButton", IDS_DETAILS_HIDE, 0},
    {"CloseButton", IDS_CLOSE, 0},
    {"CopyButton", IDS_COPY, 0},
    {"Icon", 0, kTextValue},
    {"RightToLeft", 0, kTextSwitch},
};

// IDOK is 1 and IDCANCEL 2 in every dialog.
const ControlText kControlTexts[] = {
    {IDD_PREPARING, 2, kTextSkipButton},
    {IDD_PROGRESS, 2, kTextCancelButton},
    {IDD_CREDENTIALS, IDC_CRED_USER_LABEL, kTextUserNameLabel},
    {IDD_CREDENTIALS, IDC_CRED_PASSWORD_LABEL, kTextPasswordLabel},
    {IDD_CREDENTIALS, IDC_CRED_REMEMBER, kTextRememberCheckBox},
    {IDD_CREDENTIALS, 1, kTextOkButton},
    {IDD_CREDENTIALS, 2, kTextCancelButton},
};
const size_t kControlTextCount = sizeof(kControlTexts) / sizeof(kControlTexts[0]);

namespace {

bool NameIs(const char* name, std::wstring_view text) {
    size_t i = 0;
    for (; name[i] != 0; ++i) {
        if (i >= text.size() || text[i] != static_cast<wchar_t>(name[i])) return false;
    }
    return i == text.size();
}

bool IsControl(uint32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

bool IsSwitch(std::wstring_view text) {
    return EqualsIgnoreCaseAscii(text, "true") || EqualsIgnoreCaseAscii(text, "false");
}

}  // namespace

TextRefusal CheckText(std::wstring_view text, uint8_t placeholders) {
    if (placeholders == kTextSwitch) {
        return IsSwitch(text) ? TextRefusal::kNone : TextRefusal::kSwitch;
    }
    unsigned found = 0;
    TextRefusal refusal = TextRefusal::kNone;
    for (size_t i = 0; i < text.size(); ++i) {
        const uint32_t c = static_cast<uint32_t>(text[i]) & 0xFFFF;
        if (IsControl(c)) return TextRefusal::kControl;
        if (c >= 0xD800 && c <= 0xDBFF) {  // needs a low surrogate next
            if (i + 1 >= text.size()) return TextRefusal::kSurrogate;
            const uint32_t next = static_cast<uint32_t>(text[i + 1]) & 0xFFFF;
            if (next < 0xDC00 || next > 0xDFFF) return TextRefusal::kSurrogate;
            ++i;
            continue;
        }
        if (c >= 0xDC00 && c <= 0xDFFF) return TextRefusal::kSurrogate;
        if (c != L'%' || placeholders == kTextValue) continue;
        const wchar_t next = i + 1 < text.size() ? text[i + 1] : L'\0';
        if (next == L's') {
            ++found;
        } else if (next != L'%') {
            refusal = TextRefusal::kPercent;
        }
        ++i;
    }
    if (refusal != TextRefusal::kNone) return refusal;
    if (placeholders != kTextValue && found != placeholders) return TextRefusal::kPlaceholders;
    return TextRefusal::kNone;
}

namespace {

const char* ReasonText(TextRefusal refusal) {
    static const char* const kReasons[] = {
        "",
        "it must have exactly the \"%s\" of the built-in text",
        "a \"%\" is followed by neither \"s\" nor \"%\"",
        "it holds a control character",
        "it holds a surrogate without its partner",
        "it must be \"true\" or \"false\"",
    };
    return kReasons[static_cast<int>(refusal)];
}

}  // namespace

std::wstring RefusalReason(TextRefusal refusal) {
    return WideFromAscii(ReasonText(refusal));
}

std::wstring TextKeyName(TextKey key) {
    return WideFromAscii(kTextKeys[key].name);
}

bool TextsSectionLanguage(std::wstring_view name, std::wstring& language) {
    constexpr std::wstring_view kTexts = L"Texts";
    language.clear();
    if (!StartsWith(name, kTexts)) return false;
    if (name.size() == kTexts.size()) return true;
    if (name[kTexts.size()] != L'.') return false;
    const std::wstring_view rest = name.substr(kTexts.size() + 1);
    if (rest.empty() || rest[0] < L'0' || rest[0] > L'9') {
        language = CanonicalLanguageName(rest);
        return !language.empty();
    }
    if (rest.size() > 5 || rest[0] == L'0') return false;
    uint32_t value = 0;
    for (wchar_t c : rest) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + static_cast<uint32_t>(c - L'0');
    }
    if (value > 0xFFFF) return false;
    language = LanguageNameOfId(static_cast<uint16_t>(value));
    return !language.empty();
}

namespace {

// A texts section and how well it serves the chosen UI language: 0 its own,
// then its parents', then one of the same language; kNotServing: none.
struct Candidate {
    const IniSection* section;
    std::wstring language;  // empty for [Texts]
    size_t rank;
};
constexpr size_t kNotServing = static_cast<size_t>(-1);
constexpr size_t kDefaultRank = static_cast<size_t>(-2);  // [Texts]

// Ranks `candidates` for UI language `wanted`; false when none serves it.
bool RankFor(const std::wstring& wanted, std::vector<Candidate>& candidates) {
    const std::vector<std::wstring> chain = LanguageChain(wanted);
    bool serving = false;
    for (Candidate& c : candidates) {
        c.rank = kNotServing;
        if (c.language.empty()) continue;
        for (size_t i = 0; i < chain.size() && c.rank == kNotServing; ++i) {
            if (chain[i] == c.language) c.rank = i;
        }
        if (c.rank == kNotServing && SameLanguage(wanted, c.language)) c.rank = chain.size();
        serving = serving || c.rank != kNotServing;
    }
    return serving;
}

}  // namespace

void WindowTexts::Load(const IniDocument& document, const std::vector<std::wstring>& uiLanguages,
                       ReadingLayout readingLayout) {
    std::vector<Candidate> candidates;
    for (const IniSection& section : document.Sections()) {
        std::wstring language;
        if (TextsSectionLanguage(section.Name(), language)) {
            candidates.push_back(Candidate{&section, language, kNotServing});
        }
    }
    language_.clear();
    section_.clear();
    for (const std::wstring& wanted : uiLanguages) {
        const std::wstring name = CanonicalLanguageName(wanted);
        if (!name.empty() && RankFor(name, candidates)) {
            language_ = name;
            break;
        }
    }
    size_t best = kNotServing;
    for (Candidate& c : candidates) {
        if (c.language.empty()) {
            c.rank = kDefaultRank;
        } else if (c.rank < best) {
            best = c.rank;
            section_ = L"[" + c.section->Name() + L"]";
        }
    }
    // Every key's best pair that has a value: the first in the file among
    // sections that serve as well, and the first of a repeated key.
    const IniPair* chosen[kTextKeyCount] = {};
    const IniSection* from[kTextKeyCount] = {};
    size_t rankOf[kTextKeyCount] = {};
    for (const Candidate& c : candidates) {
        if (c.rank == kNotServing) continue;
        for (const IniPair& pair : c.section->Pairs()) {
            if (pair.value.empty()) continue;  // no text: the next section's
            for (uint8_t k = 0; k < kTextKeyCount; ++k) {
                if (!NameIs(kTextKeys[k].name, pair.key)) continue;
                // RightToLeft of [Texts] is for texts of [Texts] alone.
                const bool applies =
                    !(k == kTextRightToLeft && c.rank == kDefaultRank && !language_.empty());
                if (applies && (chosen[k] == nullptr || c.rank < rankOf[k])) {
                    chosen[k] = &pair;
                    rankOf[k] = c.rank;
                    from[k] = c.section;
                }
                break;
            }
        }
    }
    for (uint8_t k = 0; k < kTextKeyCount; ++k) {
        set_[k] = false;
        fromLanguage_[k] = false;
        texts_[k].clear();
        refused_[k] = Refusal{};
        if (chosen[k] == nullptr) continue;
        const std::wstring& value = chosen[k]->value;
        const uint8_t placeholders = kTextKeys[k].placeholders;
        refused_[k].why = CheckText(value, placeholders);
        if (refused_[k].why != TextRefusal::kNone) {
            refused_[k].section = L"[" + from[k]->Name() + L"]";
            continue;
        }
        // A text that is shown as it is: "%%" is "%".
        texts_[k] = placeholders == 0 ? FormatTemplate(value, {}) : value;
        set_[k] = true;
        fromLanguage_[k] = rankOf[k] != kDefaultRank;
    }
    rightToLeft_ = false;
    if (set_[kTextRightToLeft]) {
        rightToLeft_ = EqualsIgnoreCaseAscii(texts_[kTextRightToLeft], "true");
    } else if (!language_.empty() &&
               (readingLayout == nullptr || !readingLayout(language_, rightToLeft_))) {
        rightToLeft_ = IsRightToLeftName(language_);
    }
}

std::wstring WindowTexts::RefusalLine(TextKey key) const {
    const Refusal& refusal = refused_[key];
    if (refusal.why == TextRefusal::kNone) return std::wstring();
    return Concat({"The text ", AsciiPiece(kTextKeys[key].name), " of ", refusal.section,
                   " is refused (", AsciiPiece(ReasonText(refusal.why)),
                   "); the built-in text is used."});
}

std::wstring WindowTexts::LanguageLine() const {
    if (language_.empty()) return std::wstring();
    return Concat({"Window texts for the UI language ", language_, " from ", section_,
                   rightToLeft_ ? TextPiece(", laid out right to left.") : TextPiece(".")});
}

const std::wstring* WindowTexts::FindString(unsigned id) const {
    for (uint8_t k = 0; k < kTextKeyCount; ++k) {
        if (kTextKeys[k].stringId == id && id != 0) return Find(static_cast<TextKey>(k));
    }
    return nullptr;
}

namespace {
WindowTexts theWindowTexts;
}  // namespace

WindowTexts& TheWindowTexts() {
    return theWindowTexts;
}

}  // namespace pravel
