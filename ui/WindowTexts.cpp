#include "ui/WindowTexts.h"

#include "chainer/IniDocument.h"
#include "common/Text.h"
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
    {"OpeningSite", IDS_OPENING_SITE, 1},
    {"RestartQuestion", IDS_REBOOT_QUESTION, 0},
    {"RestartTitle", IDS_CONFIRMATION, 0},
    {"ConnectTo", IDS_CONNECT_TO, 1},
    {"CredentialsExplanation", IDS_CRED_EXPLANATION, 2},
    {"SkipButton", 0, 0},
    {"CancelButton", 0, 0},
    {"UserNameLabel", 0, 0},
    {"PasswordLabel", 0, 0},
    {"RememberCheckBox", 0, 0},
    {"OkButton", 0, 0},
    {"Icon", 0, kTextValue},
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

}  // namespace

TextRefusal CheckText(std::wstring_view text, uint8_t placeholders) {
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

int32_t TextsSectionLanguage(std::wstring_view name) {
    constexpr std::wstring_view kTexts = L"Texts";
    if (!StartsWith(name, kTexts)) return -1;
    if (name.size() == kTexts.size()) return 0;
    if (name[kTexts.size()] != L'.') return -1;
    const std::wstring_view digits = name.substr(kTexts.size() + 1);
    if (digits.empty() || digits.size() > 5 || digits[0] == L'0') return -1;
    int32_t value = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9') return -1;
        value = value * 10 + (c - L'0');
    }
    if (value > 0xFFFF || (value & 0x3FF) == 0) return -1;
    return value;
}

bool IsRightToLeftLanguage(uint16_t language) {
    const unsigned primary = language & 0x3FFu;
    return primary == 0x01 || primary == 0x0D || primary == 0x20 || primary == 0x29;
}

void WindowTexts::Load(const IniDocument& document, uint16_t language) {
    // Every key's pair in the earliest section asked: 0 the language's own,
    // 1 another of its primary language, 2 [Texts]; the first in the file
    // among sections asked at the same time, and the first of a repeated key.
    const IniPair* chosen[kTextKeyCount] = {};
    uint8_t rankOf[kTextKeyCount] = {};
    uint16_t from[kTextKeyCount] = {};
    for (const IniSection& section : document.Sections()) {
        const int32_t n = TextsSectionLanguage(section.Name());
        const uint8_t rank = n == 0                                ? 2
                             : n == language                       ? 0
                             : ((n & 0x3FF) == (language & 0x3FF)) ? 1
                                                                   : 3;
        if (n < 0 || rank == 3) continue;
        for (const IniPair& pair : section.Pairs()) {
            for (uint8_t k = 0; k < kTextKeyCount; ++k) {
                if (!NameIs(kTextKeys[k].name, pair.key)) continue;
                if (chosen[k] == nullptr || rank < rankOf[k]) {
                    chosen[k] = &pair;
                    rankOf[k] = rank;
                    from[k] = static_cast<uint16_t>(n);
                }
                break;
            }
        }
    }
    language_ = 0;
    for (uint8_t k = 0; k < kTextKeyCount; ++k) {
        set_[k] = false;
        texts_[k].clear();
        refused_[k] = Refusal{TextRefusal::kNone, from[k]};
        if (chosen[k] == nullptr) continue;
        const std::wstring& value = chosen[k]->value;
        const uint8_t placeholders = kTextKeys[k].placeholders;
        refused_[k].why = CheckText(value, placeholders);
        if (refused_[k].why != TextRefusal::kNone || value.empty()) continue;
        // A text that is shown as it is: "%%" is "%".
        texts_[k] = placeholders == 0 ? FormatTemplate(value, {}) : value;
        set_[k] = true;
        if (from[k] != 0) language_ = from[k];
    }
}

namespace {

std::wstring SectionName(uint16_t language) {
    return language == 0 ? std::wstring(L"[Texts]")
                         : Concat({"[Texts.", DecimalPiece(language), "]"});
}

}  // namespace

std::wstring WindowTexts::RefusalLine(TextKey key) const {
    const Refusal& refusal = refused_[key];
    if (refusal.why == TextRefusal::kNone) return std::wstring();
    return Concat({"The text ", AsciiPiece(kTextKeys[key].name), " of ",
                   SectionName(refusal.language), " is refused (",
                   AsciiPiece(ReasonText(refusal.why)), "); the built-in text is used."});
}

std::wstring WindowTexts::LanguageLine(uint16_t uiLanguage) const {
    if (language_ == 0) return std::wstring();
    return Concat({"Window texts for the UI language ", DecimalPiece(uiLanguage), " from ",
                   SectionName(language_), "."});
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
