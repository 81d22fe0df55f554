#include "ui/WindowTexts.h"

#include <gtest/gtest.h>

#include "common/Text.h"
#include "config/IniDocument.h"
#include "ui/LanguageTags.h"
#include "ui/ResourceIds.h"
#include "ui/TextTemplate.h"

using pravel::CheckText;
using pravel::IniDocument;
using pravel::TextRefusal;
using pravel::WindowTexts;

namespace {

// The UI language of LANGID `id`, as a list of one.
std::vector<std::wstring> Ui(uint16_t id) {
    return {pravel::LanguageNameOfId(id)};
}

IniDocument Document(const std::wstring& lines) {
    IniDocument document;
    document.Parse(lines);
    return document;
}

// One of each level, every key only where the row says.
const wchar_t* const kLevels =
    L"[Texts]\r\n"
    L"Preparing=default\r\n"
    L"Searching=default\r\n"
    L"Installing=default %s\r\n"
    L"OkButton=default\r\n"
    L"[Texts.3079]\r\n"  // German (Austria)
    L"Preparing=primary\r\n"
    L"Searching=primary\r\n"
    L"[Texts.2055]\r\n"  // German (Switzerland): a later section of the same primary language
    L"Preparing=second primary\r\n"
    L"SkipButton=second primary\r\n"
    L"[Texts.1031]\r\n"  // German (Germany)
    L"Preparing=exact\r\n"
    L"Searching=\r\n"  // empty: no text, the next section's
    L"OkButton=\r\n"
    L"[Texts.1036]\r\n"  // French
    L"Preparing=other language\r\n"
    L"Downloading=other %s\r\n";

}  // namespace

TEST(WindowTexts, EachKeyComesFromTheExactThenThePrimaryThenTheDefaultSectionThenBuiltIn) {
    const IniDocument document = Document(kLevels);
    const struct {
        uint16_t language;
        pravel::TextKey key;
        const wchar_t* want;  // null: built-in
    } rows[] = {
        {1031, pravel::kTextPreparing, L"exact"},
        {1031, pravel::kTextSearching, L"primary"},  // the first section of the primary language
        {1031, pravel::kTextSkipButton, L"second primary"},  // not in the first: looked up on
        {1031, pravel::kTextInstalling, L"default %s"},
        {1031, pravel::kTextOkButton, L"default"},
        {1031, pravel::kTextDownloading, nullptr},  // only French has it
        {1031, pravel::kTextCancelButton, nullptr},
        {3079, pravel::kTextPreparing, L"primary"},
        {2055, pravel::kTextPreparing, L"second primary"},
        {1036, pravel::kTextPreparing, L"other language"},
        {1036, pravel::kTextDownloading, L"other %s"},
        {3084, pravel::kTextPreparing, L"other language"},  // French (Canada)
        {1033, pravel::kTextPreparing, L"default"},
        {1033, pravel::kTextSkipButton, nullptr},
        {1041, pravel::kTextInstalling, L"default %s"},
    };
    for (const auto& row : rows) {
        WindowTexts texts;
        texts.Load(document, Ui(row.language));
        const std::wstring* found = texts.Find(row.key);
        if (row.want == nullptr) {
            EXPECT_EQ(found, nullptr) << row.language << " " << pravel::kTextKeys[row.key].name;
        } else {
            ASSERT_NE(found, nullptr) << row.language << " " << pravel::kTextKeys[row.key].name;
            EXPECT_EQ(*found, row.want) << row.language;
        }
    }
}

TEST(WindowTexts, StringTableEntriesAreFoundByTheirIds) {
    WindowTexts texts;
    texts.Load(Document(L"[Texts]\r\nDownloading=Lade %s\r\nRestartTitle=Neustart\r\n"), Ui(1031));
    ASSERT_NE(texts.FindString(IDS_DOWNLOADING), nullptr);
    EXPECT_EQ(*texts.FindString(IDS_DOWNLOADING), L"Lade %s");
    ASSERT_NE(texts.FindString(IDS_CONFIRMATION), nullptr);
    EXPECT_EQ(*texts.FindString(IDS_CONFIRMATION), L"Neustart");
    EXPECT_EQ(texts.FindString(IDS_INSTALLING), nullptr);
    EXPECT_EQ(texts.FindString(0), nullptr);  // ProductName has no string id
    // Every key's string id is the one of its built-in text, and none twice.
    for (int a = 0; a < pravel::kTextKeyCount; ++a) {
        for (int b = a + 1; b < pravel::kTextKeyCount; ++b) {
            EXPECT_STRNE(pravel::kTextKeys[a].name, pravel::kTextKeys[b].name);
            if (pravel::kTextKeys[a].stringId != 0) {
                EXPECT_NE(pravel::kTextKeys[a].stringId, pravel::kTextKeys[b].stringId);
            }
        }
    }
}

TEST(WindowTexts, EveryRefusedFormIsRefused) {
    const struct {
        const wchar_t* text;
        uint8_t placeholders;
        TextRefusal want;
    } rows[] = {
        {L"Lade %s", 1, TextRefusal::kNone},
        {L"100%% von %s", 1, TextRefusal::kNone},
        {L"%s%s", 2, TextRefusal::kNone},
        {L"Lade", 1, TextRefusal::kPlaceholders},        // missing
        {L"Lade %s %s", 1, TextRefusal::kPlaceholders},  // extra
        {L"Bitte warten %s", 0, TextRefusal::kPlaceholders},
        {L"Lade %d", 1, TextRefusal::kPercent},
        {L"Lade %s %d", 1, TextRefusal::kPercent},
        {L"Lade %ls", 1, TextRefusal::kPercent},
        {L"Lade %S", 1, TextRefusal::kPercent},
        {L"%n%s", 1, TextRefusal::kPercent},
        {L"Lade %s %", 1, TextRefusal::kPercent},  // a lone "%" at the end
        {L"50 % %s", 1, TextRefusal::kPercent},
        {L"%1 %s", 1, TextRefusal::kPercent},
        {L"Zeile\nzwei %s", 1, TextRefusal::kControl},
        {L"Tab\t", 0, TextRefusal::kControl},
        {L"nul\x0001", 0, TextRefusal::kControl},
        {L"c1\x0085", 0, TextRefusal::kControl},
        {L"del\x007F", 0, TextRefusal::kControl},
        {L"hoch \xD800 %s", 1, TextRefusal::kSurrogate},
        {L"tief \xDC00", 0, TextRefusal::kSurrogate},
        {L"am Ende \xD83D", 0, TextRefusal::kSurrogate},
        {L"verkehrt \xDE00\xD83D", 0, TextRefusal::kSurrogate},
        {L"paar \xD83D\xDE00", 0, TextRefusal::kNone},
        {L"50% off %d", pravel::kTextValue, TextRefusal::kNone},  // a value, not a pattern
        {L"value\r", pravel::kTextValue, TextRefusal::kControl},
    };
    for (const auto& row : rows) {
        std::wstring text(row.text);
        if (std::wstring(row.text) == L"nul\x0001") text[3] = L'\0';
        EXPECT_EQ(CheckText(text, row.placeholders), row.want) << testing::PrintToString(text);
        if (row.want != TextRefusal::kNone) {
            EXPECT_NE(pravel::RefusalReason(row.want), L"");
        }
    }
    EXPECT_EQ(pravel::RefusalReason(TextRefusal::kNone), L"");
    EXPECT_EQ(pravel::RefusalReason(TextRefusal::kPercent),
              L"a \"%\" is followed by neither \"s\" nor \"%\"");
}

TEST(WindowTexts, ARefusedTextKeepsTheBuiltInTextAndSaysWhereAndWhy) {
    WindowTexts texts;
    texts.Load(Document(L"[Texts]\r\nDownloading=Lade %s\r\n"
                        L"[Texts.1031]\r\nDownloading=Lade %d\r\nInstalling=Installiere\r\n"
                        L"Preparing=OK\r\n"),
               Ui(1031));
    EXPECT_EQ(texts.Find(pravel::kTextDownloading), nullptr);  // not [Texts]'s either
    EXPECT_EQ(texts.RefusalOf(pravel::kTextDownloading).why, TextRefusal::kPercent);
    EXPECT_EQ(texts.RefusalOf(pravel::kTextDownloading).section, L"[Texts.1031]");
    EXPECT_EQ(texts.RefusalOf(pravel::kTextInstalling).why, TextRefusal::kPlaceholders);
    EXPECT_EQ(texts.RefusalOf(pravel::kTextPreparing).why, TextRefusal::kNone);
    ASSERT_NE(texts.Find(pravel::kTextPreparing), nullptr);
    EXPECT_EQ(texts.RefusalLine(pravel::kTextDownloading),
              L"The text Downloading of [Texts.1031] is refused (a \"%\" is followed by neither "
              L"\"s\" nor \"%\"); the built-in text is used.");
    EXPECT_EQ(texts.RefusalLine(pravel::kTextPreparing), L"");
    texts.Load(Document(L"[Texts.1031]\r\nPreparing=OK\r\n"), Ui(3079));
    EXPECT_EQ(texts.LanguageLine(), L"Window texts for the UI language de-AT from [Texts.1031].");
    texts.Load(Document(L"[Texts]\r\nOkButton=%\r\n"), Ui(1031));
    EXPECT_EQ(texts.RefusalLine(pravel::kTextOkButton),
              L"The text OkButton of [Texts] is refused (a \"%\" is followed by neither \"s\" nor "
              L"\"%\"); the built-in text is used.");
    EXPECT_EQ(texts.LanguageLine(), L"");
}

TEST(WindowTexts, PercentPercentIsOnePercentInTextsShownAsTheyAre) {
    WindowTexts texts;
    texts.Load(Document(L"[Texts]\r\nPreparing=100%%\r\nDownloading=100%% %s\r\n"
                        L"ProductName=50%% Tools %d\r\n"),
               Ui(1033));
    EXPECT_EQ(*texts.Find(pravel::kTextPreparing), L"100%");
    EXPECT_EQ(*texts.Find(pravel::kTextDownloading), L"100%% %s");  // formatted later
    EXPECT_EQ(pravel::FormatTemplate(*texts.Find(pravel::kTextDownloading), {L"X"}), L"100% X");
    EXPECT_EQ(*texts.Find(pravel::kTextProductName), L"50%% Tools %d");  // a value
}

TEST(WindowTexts, HostileTextsNeverBreakTheLoad) {
    std::wstring huge(100000, L'\x6F22');
    huge += L"%s";
    WindowTexts texts;
    texts.Load(Document(L"[Texts]\r\nDownloading=" + huge + L"\r\nInstalling=%s%s%s%n%p%x\r\n" +
                        L"Preparing=\xD800\xD800\r\nSearching=" + std::wstring(100000, L'%') +
                        L"\r\n[Texts.1031]\r\nOpeningSite=\r\n"),
               Ui(1031));
    ASSERT_NE(texts.Find(pravel::kTextDownloading), nullptr);
    EXPECT_EQ(texts.Find(pravel::kTextDownloading)->size(), huge.size());  // whole
    EXPECT_EQ(texts.Find(pravel::kTextInstalling), nullptr);
    EXPECT_EQ(texts.Find(pravel::kTextPreparing), nullptr);
    EXPECT_EQ(texts.Find(pravel::kTextOpeningSite), nullptr);  // empty: built-in
    // 50,000 "%%": no "%s" where the built-in has none; shown as 50,000 "%".
    ASSERT_NE(texts.Find(pravel::kTextSearching), nullptr);
    EXPECT_EQ(*texts.Find(pravel::kTextSearching), std::wstring(50000, L'%'));
}

TEST(WindowTexts, SectionNamesAndTheirLanguages) {
    const struct {
        const wchar_t* name;
        const wchar_t* want;  // null: not a texts section
    } rows[] = {
        {L"Texts", L""},
        {L"Texts.1031", L"de-DE"},
        {L"Texts.4", L"zh-Hans"},
        {L"Texts.31748", L"zh-Hant"},
        {L"Texts.10266", L"sr-Cyrl-RS"},
        {L"Texts.1050", L"hr-HR"},
        {L"Texts.1034", L"es-ES"},
        {L"Texts.de-de", L"de-DE"},
        {L"Texts.ZH-hant-tw", L"zh-TW"},
        {L"Texts.sr-latn-rs", L"sr-Latn-RS"},
        {L"Texts.ca-ES-valencia", L"ca-ES-valencia"},
        {L"Texts.es-419", L"es-419"},
        {L"Texts.xyz", L"xyz"},  // a name Windows does not know (pravel-check says so)
        {L"Texts.65535", nullptr},
        {L"Texts.1024", nullptr},
        {L"Texts.0", nullptr},
        {L"Texts.01031", nullptr},
        {L"Texts.65536", nullptr},
        {L"Texts.999999", nullptr},
        {L"Texts.", nullptr},
        {L"Texts.10x1", nullptr},
        {L"Texts.-1031", nullptr},
        {L"Texts 1031", nullptr},
        {L"texts.1031", nullptr},
        {L"Texts1031", nullptr},
        {L"TextsX", nullptr},
        {L"Text", nullptr},
        {L"Texts.0x407", nullptr},
        {L"Texts.1031 ", nullptr},
        {L"Texts.de_DE", nullptr},
        {L"Texts.de-", nullptr},
        {L"Texts.d", nullptr},
        {L"Texts.de-DE-x", nullptr},
        {L"Texts.de-DE\x200B", nullptr},
    };
    for (const auto& row : rows) {
        std::wstring language = L"unset";
        EXPECT_EQ(pravel::TextsSectionLanguage(row.name, language), row.want != nullptr)
            << testing::PrintToString(std::wstring(row.name));
        if (row.want != nullptr) {
            EXPECT_EQ(language, row.want);
        }
    }
}

// The language of the texts: the first of the user's UI languages that a
// section serves (its own, a parent, another of the same language and
// script), whatever the order of the sections in the file.
TEST(WindowTexts, TheFirstUiLanguageThatASectionServesChoosesIt) {
    const struct {
        const wchar_t* sections;  // [Texts.<each>], whose Preparing names it
        std::vector<std::wstring> languages;
        const wchar_t* want;  // the Preparing shown: "Texts" for [Texts]
    } rows[] = {
        {L"2052 1028", {L"zh-TW"}, L"1028"},
        {L"2052 1028", {L"zh-HK"}, L"1028"},
        {L"2052 zh-Hant", {L"zh-HK"}, L"zh-Hant"},
        {L"zh-TW zh-HK", {L"zh-MO"}, L"zh-HK"},
        {L"zh-Hant-TW 3076", {L"zh-TW"}, L"zh-Hant-TW"},
        {L"1028 2052", {L"zh-SG"}, L"2052"},
        {L"1028 4", {L"zh-SG"}, L"4"},
        {L"1028", {L"zh-SG"}, L"Texts"},
        {L"2052 4", {L"zh-TW"}, L"Texts"},
        {L"10266 1050", {L"hr-HR"}, L"1050"},
        {L"10266 sr-Latn-RS", {L"hr-HR"}, L"Texts"},
        {L"sr-Cyrl-RS sr-Latn-ME", {L"sr-Latn-RS"}, L"sr-Latn-ME"},
        {L"sr sr-Latn-RS 31770", {L"sr-Cyrl-RS"}, L"Texts"},
        {L"hr-HR bs-Cyrl-BA", {L"bs-Latn-BA"}, L"Texts"},
        {L"1031 de", {L"de-AT"}, L"de"},
        {L"2055 1031", {L"de-DE"}, L"1031"},
        {L"1036 1031", {L"de-DE", L"fr-FR"}, L"1031"},
        {L"1031", {L"fr-FR", L"de-DE"}, L"1031"},
        {L"fr-FR 1033", {L"fr-CA", L"en-US"}, L"fr-FR"},
        {L"fr-FR 1033", {L"de-DE", L"en-GB"}, L"1033"},
        {L"DE-de", {L"de-de"}, L"DE-de"},
        {L"1031", {}, L"Texts"},
        {L"1031", {L"", L"not a name", L"de-DE"}, L"1031"},
    };
    for (const auto& row : rows) {
        std::wstring ini = L"[Texts]\r\nPreparing=Texts\r\n";
        for (const std::wstring& name : pravel::Split(row.sections, L" ")) {
            ini += L"[Texts." + name + L"]\r\nPreparing=" + name + L"\r\n";
        }
        WindowTexts texts;
        texts.Load(Document(ini), row.languages);
        ASSERT_NE(texts.Find(pravel::kTextPreparing), nullptr);
        EXPECT_EQ(*texts.Find(pravel::kTextPreparing), row.want)
            << testing::PrintToString(std::wstring(row.sections)) << " for "
            << testing::PrintToString(row.languages);
    }
}

TEST(WindowTexts, RightToLeftByTheKeyElseByTheReadingOfTheLanguage) {
    const struct {
        const wchar_t* ini;
        const wchar_t* language;
        bool rtl;
    } rows[] = {
        {L"[Texts.1025]\r\nPreparing=\x062C\x0627\x0631\r\n", L"ar-SA", true},
        {L"[Texts.1025]\r\nPreparing=\x062C\x0627\x0631\r\n", L"ar-AE", true},
        {L"[Texts.he]\r\nPreparing=\x05DE\x05DB\x05D9\x05DF\r\n", L"he-IL", true},
        {L"[Texts.ps-AF]\r\nPreparing=x\r\n", L"ps-AF", true},            // Pashto
        {L"[Texts.pa-Arab-PK]\r\nPreparing=x\r\n", L"pa-Arab-PK", true},  // by its script
        {L"[Texts.1025]\r\nPreparing=x\r\n", L"de-DE", false},
        {L"[Texts]\r\nPreparing=x\r\n", L"ar-SA", false},  // an Arabic user, English texts
        {L"[Texts.1025]\r\nRightToLeft=false\r\n", L"ar-SA", false},
        {L"[Texts]\r\nRightToLeft=TRUE\r\n", L"de-DE", true},  // [Texts] alone
        {L"[Texts]\r\nRightToLeft=true\r\n[Texts.de]\r\nPreparing=x\r\n", L"de-DE", false},
        {L"[Texts.1031]\r\nRightToLeft=yes\r\n", L"de-DE", false},  // refused
    };
    for (const auto& row : rows) {
        WindowTexts texts;
        texts.Load(Document(row.ini), {row.language});
        EXPECT_EQ(texts.RightToLeft(), row.rtl) << testing::PrintToString(std::wstring(row.ini));
    }
    // The system's reading layout where it has one.
    WindowTexts texts;
    texts.Load(Document(L"[Texts.1025]\r\nPreparing=x\r\n"), {L"ar-SA"},
               [](const std::wstring&, bool& rtl) { return !(rtl = false); });
    EXPECT_FALSE(texts.RightToLeft());
    EXPECT_EQ(texts.RefusalLine(pravel::kTextRightToLeft), L"");
}

TEST(WindowTexts, ControlRowsNameKeysOfTheirOwn) {
    for (size_t i = 0; i < pravel::kControlTextCount; ++i) {
        const auto& row = pravel::kControlTexts[i];
        EXPECT_LT(row.key, pravel::kTextKeyCount);
        EXPECT_EQ(pravel::kTextKeys[row.key].stringId, 0) << i;  // not a string-table text
        EXPECT_EQ(pravel::kTextKeys[row.key].placeholders, 0) << i;
    }
    EXPECT_EQ(pravel::TextKeyName(pravel::kTextCancelButton), L"CancelButton");
    EXPECT_EQ(pravel::TextKeyName(pravel::kTextIcon), L"Icon");
}
