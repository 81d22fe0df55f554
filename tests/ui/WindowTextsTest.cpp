#include "ui/WindowTexts.h"

#include <gtest/gtest.h>

#include "chainer/IniDocument.h"
#include "ui/ResourceIds.h"
#include "ui/TextTemplate.h"

using pravel::CheckText;
using pravel::IniDocument;
using pravel::TextRefusal;
using pravel::WindowTexts;

namespace {

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
        texts.Load(document, row.language);
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
    texts.Load(Document(L"[Texts]\r\nDownloading=Lade %s\r\nRestartTitle=Neustart\r\n"), 1031);
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
               1031);
    EXPECT_EQ(texts.Find(pravel::kTextDownloading), nullptr);  // not [Texts]'s either
    EXPECT_EQ(texts.RefusalOf(pravel::kTextDownloading).why, TextRefusal::kPercent);
    EXPECT_EQ(texts.RefusalOf(pravel::kTextDownloading).language, 1031);
    EXPECT_EQ(texts.RefusalOf(pravel::kTextInstalling).why, TextRefusal::kPlaceholders);
    EXPECT_EQ(texts.RefusalOf(pravel::kTextPreparing).why, TextRefusal::kNone);
    ASSERT_NE(texts.Find(pravel::kTextPreparing), nullptr);
    EXPECT_EQ(texts.RefusalLine(pravel::kTextDownloading),
              L"The text Downloading of [Texts.1031] is refused (a \"%\" is followed by neither "
              L"\"s\" nor \"%\"); the built-in text is used.");
    EXPECT_EQ(texts.RefusalLine(pravel::kTextPreparing), L"");
    EXPECT_EQ(texts.LanguageLine(3079),
              L"Window texts for the UI language 3079 from [Texts.1031].");
    texts.Load(Document(L"[Texts]\r\nOkButton=%\r\n"), 1031);
    EXPECT_EQ(texts.RefusalLine(pravel::kTextOkButton),
              L"The text OkButton of [Texts] is refused (a \"%\" is followed by neither \"s\" nor "
              L"\"%\"); the built-in text is used.");
    EXPECT_EQ(texts.LanguageLine(1031), L"");
}

TEST(WindowTexts, PercentPercentIsOnePercentInTextsShownAsTheyAre) {
    WindowTexts texts;
    texts.Load(Document(L"[Texts]\r\nPreparing=100%%\r\nDownloading=100%% %s\r\n"
                        L"ProductName=50%% Tools %d\r\n"),
               1033);
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
               1031);
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
        int32_t want;
    } rows[] = {
        {L"Texts", 0},        {L"Texts.1031", 1031}, {L"Texts.65535", 65535}, {L"Texts.1024", -1},
        {L"Texts.0", -1},     {L"Texts.01031", -1},  {L"Texts.65536", -1},    {L"Texts.999999", -1},
        {L"Texts.", -1},      {L"Texts.10x1", -1},   {L"Texts.-1031", -1},    {L"Texts 1031", -1},
        {L"texts.1031", -1},  {L"Texts1031", -1},    {L"TextsX", -1},         {L"Text", -1},
        {L"Texts.0x407", -1}, {L"Texts.1031 ", -1},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(pravel::TextsSectionLanguage(row.name), row.want) << row.name;
    }
}

TEST(WindowTexts, RightToLeftWhenTheTextsComeFromSuchALanguage) {
    const struct {
        const wchar_t* ini;
        uint16_t language;
        bool rtl;
    } rows[] = {
        {L"[Texts.1025]\r\nPreparing=\x062C\x0627\x0631\r\n", 1025, true},        // Arabic
        {L"[Texts.1025]\r\nPreparing=\x062C\x0627\x0631\r\n", 14337, true},       // Arabic (U.A.E.)
        {L"[Texts.1037]\r\nPreparing=\x05DE\x05DB\x05D9\x05DF\r\n", 1037, true},  // Hebrew
        {L"[Texts.1025]\r\nPreparing=x\r\n", 1031, false},
        {L"[Texts]\r\nPreparing=x\r\n", 1025, false},  // an Arabic user, English texts
        {L"[Texts.1031]\r\nPreparing=x\r\n", 1031, false},
    };
    for (const auto& row : rows) {
        WindowTexts texts;
        texts.Load(Document(row.ini), row.language);
        EXPECT_EQ(texts.RightToLeft(), row.rtl) << row.language;
    }
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
