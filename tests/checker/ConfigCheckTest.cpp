#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <vector>

#include "checker/ConfigCheck.h"
#include "checker/DocumentIndex.h"
#include "checker/Explain.h"
#include "checker/KeyNames.h"
#include "checker/LoadedSet.h"
#include "checker/RunEnd.h"
#include "checker/Utf8.h"

using namespace pravel;

namespace {

// The bytes of a UTF-16LE file with byte-order mark holding `lines`.
std::vector<uint8_t> File(std::initializer_list<const wchar_t*> lines) {
    std::vector<uint8_t> bytes = {0xFF, 0xFE};
    for (const wchar_t* line : lines) {
        for (const wchar_t* c = line;; ++c) {
            const wchar_t unit = *c == 0 ? L'\r' : *c;
            bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
            bytes.push_back(static_cast<uint8_t>((unit >> 8) & 0xFF));
            if (*c == 0) {
                bytes.push_back('\n');
                bytes.push_back(0);
                break;
            }
        }
    }
    return bytes;
}

CheckReport Check(std::initializer_list<const wchar_t*> lines) {
    const std::vector<uint8_t> bytes = File(lines);
    return CheckConfiguration(bytes.data(), bytes.size());
}

// The bytes allocated while `work` runs, counted by AddressSanitizer's
// allocation hook in the native build; 0 where nothing counts them.
#if defined(__SANITIZE_ADDRESS__)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
std::atomic<bool> g_counting{false};
std::atomic<size_t> g_allocated{0};
void CountAllocation(const volatile void*, size_t size) {
    if (g_counting) g_allocated += size;
}
void IgnoreFree(const volatile void*) {}
template <typename Work>
size_t BytesAllocatedBy(Work work) {
    static const bool installed =
        __sanitizer_install_malloc_and_free_hooks(CountAllocation, IgnoreFree) != 0;
    g_allocated = 0;
    g_counting = installed;
    work();
    g_counting = false;
    return g_allocated;
}
#else
template <typename Work>
size_t BytesAllocatedBy(Work work) {
    work();
    return 0;
}
#endif

}  // namespace

TEST(ConfigCheck, ClosestNamePrefersCaseThenSmallEdits) {
    const std::vector<std::wstring> keys = {L"SetupFile", L"SearchType1", L"Url", L"Options"};
    EXPECT_EQ(L"SetupFile", ClosestName(L"SETUPFILE", keys));
    EXPECT_EQ(L"SearchType1", ClosestName(L"SaerchType1", keys));  // swapped neighbours
    EXPECT_EQ(L"SearchType1", ClosestName(L"SeachTyp1", keys));    // two deletions
    EXPECT_EQ(L"Url", ClosestName(L"Uri", keys));
    EXPECT_EQ(L"", ClosestName(L"Ur", keys.empty() ? keys : std::vector<std::wstring>{L"Options"}));
    EXPECT_EQ(L"", ClosestName(L"Colour", keys));
    EXPECT_EQ(L"", ClosestName(L"Usr1", keys));  // short words allow one edit only
}

// A hostile key: candidates of other lengths are never compared, and equally
// long ones (the listed names a ParentPrereq is compared with) keep three
// rows of the table, not all of it (128 MB for these 4000 characters).
TEST(ConfigCheck, ClosestNameOfAHugeKeyStaysSmall) {
    const std::wstring huge(4000, L'k');
    std::wstring result = L"x";
    EXPECT_LT(BytesAllocatedBy([&] { result = ClosestName(huge, PrerequisiteKeys()); }), 4096u);
    EXPECT_EQ(L"", result);

    std::wstring two = huge, swapped = huge, three = huge;
    two[0] = two[3999] = L'a';            // two substitutions
    swapped[10] = L'a';                   // a swap of neighbours
    std::swap(swapped[10], swapped[11]);  // and one substitution
    swapped[3000] = L'b';
    three[1] = three[2000] = three[3998] = L'c';  // three edits
    const std::vector<std::wstring> candidates = {three, huge + L"kkkk", swapped, two};
    EXPECT_LT(BytesAllocatedBy([&] { result = ClosestName(huge + L"K", candidates); }), 1u << 20);
    EXPECT_EQ(L"", result) << "every candidate is three edits away";
    EXPECT_EQ(swapped, ClosestName(std::wstring(huge).replace(10, 2, L"ak"), candidates));
    EXPECT_EQ(two, ClosestName(huge, {three, two}));
}

TEST(ConfigCheck, LoadsWhatPravelLoadsAndCountsSeverities) {
    const CheckReport report =
        Check({L"[GeneralOptions]", L"Options=q", L"[PREREQUISITES]", L"App1=One", L"App2=Two",
               L"[App1]", L"SetupFile=C:\\a.exe", L"Colour=blue", L"[App2]", L"Options=m"});
    EXPECT_EQ(1u, report.set.Count());
    EXPECT_EQ(2u, report.listed);
    EXPECT_EQ(1, report.Errors());
    EXPECT_EQ(1, report.Warnings());
    EXPECT_EQ(2, CheckExitCode(report));
    // Ordered by line: the unknown key (line 8) before the section without location (9).
    ASSERT_EQ(2u, report.findings.size());
    EXPECT_EQ(8, report.findings[0].line);
    EXPECT_EQ(9, report.findings[1].line);
    EXPECT_EQ(L"x.ini:9: error: " + report.findings[1].text,
              FormatFinding(L"x.ini", report.findings[1]));
    EXPECT_EQ(L"x.ini: 1 error, 1 warning; 1 of 2 prerequisites loaded",
              FormatSummary(L"x.ini", report));
}

TEST(ConfigCheck, CleanFileAndEmptyFile) {
    const CheckReport clean =
        Check({L"[GeneralOptions]", L"Options=b", L"[PREREQUISITES]", L"App1=One", L"[App1]",
               L"SetupFile=\\\\server\\share\\a.exe"});
    EXPECT_TRUE(clean.findings.empty());
    EXPECT_EQ(0, CheckExitCode(clean));
    EXPECT_EQ(L"f: no findings; 1 of 1 prerequisite loaded", FormatSummary(L"f", clean));

    // An empty file is an empty configuration: nothing is lost, nothing is done.
    const CheckReport empty = CheckConfiguration(nullptr, 0);
    // Warnings: no Options, no [PREREQUISITES].
    EXPECT_EQ(0, empty.Errors());
    EXPECT_EQ(2, empty.Warnings());
    EXPECT_EQ(1, CheckExitCode(empty));
}

TEST(ConfigCheck, InstallerArgumentsFollowTheFirstUiLetter) {
    Prerequisite p;
    p.commandLine = L"/full";
    p.basicUiCommandLine = L"/passive";
    p.noUiCommandLine = L"/quiet";
    struct Case {
        const wchar_t* options;
        const wchar_t* silent;
        const wchar_t* basic;
        const wchar_t* neither;
    };
    const Case cases[] = {
        {L"", L"/full", L"/full", L"/full"},
        {L"b", L"/full /passive", L"/full /passive", L"/full /passive"},
        {L"q", L"/full /quiet", L"/full /quiet", L"/full /quiet"},
        {L"n", L"/full /quiet", L"/full /passive", L"/full"},
        {L"j", L"/full", L"/full", L"/full"},
        {L"nb", L"/full /passive", L"/full /passive", L"/full /passive"},  // b is looked for first
        {L"jn", L"/full", L"/full", L"/full"},
    };
    for (const Case& c : cases) {
        p.options = c.options;
        EXPECT_EQ(c.silent, InstallerArguments(p, 0)) << c.options;
        EXPECT_EQ(c.basic, InstallerArguments(p, 1)) << c.options;
        EXPECT_EQ(c.neither, InstallerArguments(p, 2)) << c.options;
    }
}

TEST(ConfigCheck, SearchesInWords) {
    PrerequisiteSearch s;
    s.type = 2;
    s.searchString = L"HKLM\\S\\V";
    s.verMin = L"1.2";
    EXPECT_EQ(
        L"the registry value \"HKLM\\S\\V\" holds a version of at least 1.2; a pre-release "
        L"version (a \"-\" or \"+\" between a digit and a letter, such as 8.0.0-rc.2 or "
        L"10.0.0-preview.7) does not count, since no bound names a pre-release",
        DescribeSearch(s));
    // 1.2.3-4 is an ordinary version; 8.0.0-rc.1 names a pre-release.
    s.verMax = L"1.2.3-4";
    EXPECT_TRUE(EndsWith(DescribeSearch(s), L"since no bound names a pre-release"));
    s.verMax = L"8.0.0-rc.1";
    EXPECT_TRUE(EndsWith(DescribeSearch(s), L"8.0.0-rc.2 count too)"));
    s.verMax.clear();
    s.type = 9;
    s.refContent = L"Sabc";
    EXPECT_EQ(L"the registry value \"HKLM\\S\\V\" starts with \"abc\"", DescribeSearch(s));
    s.type = 0;
    s.searchString = L"app.dll?2";
    s.verMin.clear();
    EXPECT_EQ(
        L"the file \"app.dll\" at the root of a fixed drive (or up to 2 folder levels below) "
        L"has a version (any version)",
        DescribeSearch(s));
    s.type = 77;
    EXPECT_EQ(L"search type 77 (unknown): always counts as found", DescribeSearch(s));
}

TEST(ConfigCheck, Utf8BothWays) {
    const std::wstring text = {L'a', 0x00FC, 0x20AC, 0xD83D, 0xDE00, 0xDC00};
    const std::string bytes = Utf8FromUtf16(text);
    EXPECT_EQ(std::string("a\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD"), bytes);
    EXPECT_EQ(text.substr(0, 5) + std::wstring(1, 0xFFFD), Utf16FromUtf8(bytes));
    EXPECT_EQ(std::wstring(1, 0xFFFD) + L"x", Utf16FromUtf8("\xC3x"));
}

// Forms a strict decoder refuses are invalid like any stray byte: each of
// their bytes becomes U+FFFD (an overlong "/" does not turn into a slash).
TEST(ConfigCheck, Utf8RefusesOverlongSurrogateAndOutOfRangeForms) {
    const std::wstring two(2, 0xFFFD), three(3, 0xFFFD), four(4, 0xFFFD);
    EXPECT_EQ(L"a" + two + L"b", Utf16FromUtf8("a\xC0\xAF"
                                               "b"));  // overlong "/"
    EXPECT_EQ(two, Utf16FromUtf8("\xC1\xBF"));
    EXPECT_EQ(three, Utf16FromUtf8("\xE0\x80\xAF"));
    EXPECT_EQ(three, Utf16FromUtf8("\xE0\x9F\xBF"));
    EXPECT_EQ(four, Utf16FromUtf8("\xF0\x80\x80\xAF"));
    EXPECT_EQ(four, Utf16FromUtf8("\xF0\x8F\xBF\xBF"));
    EXPECT_EQ(three, Utf16FromUtf8("\xED\xA0\x80"));     // U+D800
    EXPECT_EQ(three, Utf16FromUtf8("\xED\xBF\xBF"));     // U+DFFF
    EXPECT_EQ(four, Utf16FromUtf8("\xF4\x90\x80\x80"));  // U+110000
    EXPECT_EQ(four, Utf16FromUtf8("\xF5\x80\x80\x80"));
    EXPECT_EQ(four, Utf16FromUtf8("\xF7\xBF\xBF\xBF"));
    // The smallest and largest values of each length stay valid.
    EXPECT_EQ(std::wstring(1, 0x80), Utf16FromUtf8("\xC2\x80"));
    EXPECT_EQ(std::wstring(1, 0x800), Utf16FromUtf8("\xE0\xA0\x80"));
    EXPECT_EQ(std::wstring(1, 0xD7FF), Utf16FromUtf8("\xED\x9F\xBF"));
    EXPECT_EQ(std::wstring(1, 0xE000), Utf16FromUtf8("\xEE\x80\x80"));
    EXPECT_EQ((std::wstring{0xD800, 0xDC00}), Utf16FromUtf8("\xF0\x90\x80\x80"));
    EXPECT_EQ((std::wstring{0xDBFF, 0xDFFF}), Utf16FromUtf8("\xF4\x8F\xBF\xBF"));
}

namespace {

// A configuration of random sections and lines from pools that reach every
// rule of the loader: repeated sections and keys, gaps in the list, missing
// locations, locations in every order, and blocks of searches (more than
// one small document of the indexed loader holds) with now and then a
// search string left out.
std::wstring RandomConfiguration(std::mt19937& random) {
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    const std::vector<std::wstring> sections = {L"GeneralOptions", L"PREREQUISITES",  L"App1",
                                                L"App2",           L"App3",           L"App1",
                                                L"App2",           L"PREREQ_CHAINER", L"Other"};
    const std::vector<std::wstring> values = {L"",        L"a b",          L"1024kb", L"  7",
                                              L"mxin",    L"C:\\x\\y.exe", L"true",   L"1033;1031",
                                              L"prereqs", L"G12",          L"-3",     L"x=y"};
    std::vector<std::wstring> keys = {L"Key", L"SetupFile", L"Url", L"OpenSite"};
    for (const auto* list : {&GeneralKeys(), &PrerequisiteKeys(), &ChainerKeys()}) {
        keys.insert(keys.end(), list->begin(), list->end());
    }
    auto value = [&] { return values[pick(values.size())]; };
    // Most files begin with a loadable prerequisite, so that what follows
    // decides how much of it and of the rest is loaded.
    std::wstring text = pick(4) != 0 ? L"[PREREQUISITES]\r\nApp1=A\r\nApp2=B\r\n[App1]\r\n"
                                       L"SetupFile=a.exe\r\n"
                                     : L"";
    const size_t count = 1 + pick(7);
    for (size_t i = 0; i < count; ++i) {
        const std::wstring name = sections[pick(sections.size())];
        text += L"[" + name + L"]\r\n";
        const size_t lines = pick(8);
        for (size_t j = 0; j < lines; ++j) {
            const size_t kind = pick(8);
            if (name == L"PREREQUISITES" && kind < 6) {
                text += L"App" + ToDecimal(1 + pick(4)) + L"=" + value() + L"\r\n";
            } else if (kind < 2 && StartsWith(name, L"App")) {
                // A block of searches 1..n; one search string may be missing.
                const int n = 1 + static_cast<int>(pick(20));
                const int without = pick(4) == 0 ? 1 + static_cast<int>(pick(n)) : 0;
                for (int k = 1; k <= n; ++k) {
                    const std::wstring number = ToDecimal(k);
                    text += L"SearchType" + number + L"=" + ToDecimal(pick(16)) + L"\r\n";
                    if (k != without) text += L"SearchString" + number + L"=S" + number + L"\r\n";
                    for (const wchar_t* base :
                         {L"VerMin", L"VerMax", L"RefContent", L"SearchCmdLine"}) {
                        if (pick(3) == 0) text += base + number + L"=" + value() + L"\r\n";
                    }
                }
            } else if (kind == 1) {
                text +=
                    L"SearchType" + ToDecimal(1 + pick(12)) + L"=" + ToDecimal(pick(16)) + L"\r\n";
            } else if (kind < 4 && StartsWith(name, L"App")) {
                text += std::wstring(pick(2) ? L"SetupFile" : L"Url") + L" = " + value() + L"\r\n";
            } else {
                text += keys[pick(keys.size())] + L" = " + value() + L"\r\n";
            }
        }
    }
    return text;
}

}  // namespace

// The checker's linear loader gives exactly what pravel's own loader gives.
TEST(ConfigCheck, IndexedLoadEqualsPravelsLoader) {
    std::mt19937 random(20261224);
    int loaded = 0, withSearches = 0;
    for (int i = 0; i < 600; ++i) {
        IniDocument document;
        document.Parse(RandomConfiguration(random));
        PrerequisiteSet expected;
        expected.Load(document, TextExpander());
        const DocumentIndex index(document);
        PrerequisiteSet actual;
        LoadPrerequisites(index, actual);
        ASSERT_EQ(checker_test::DescribeLoaded(expected), checker_test::DescribeLoaded(actual))
            << "configuration " << i;
        loaded += expected.Count() > 0 ? 1 : 0;
        for (const Prerequisite& p : expected.Items()) withSearches += p.searches.size() > 8;
    }
    // The pools reach loaded prerequisites with more searches than one small
    // document of the indexed loader holds.
    EXPECT_GT(loaded, 300);       // 450 with this seed
    EXPECT_GT(withSearches, 40);  // 67
}

// Long lists are read several prerequisites to a small document: one with
// many searches between them, and one without a location that ends the
// list in the middle of such a document.
TEST(ConfigCheck, IndexedLoadOfALongList) {
    for (int stop : {37, 17, 40}) {
        std::wstring text = L"[GeneralOptions]\r\nOptions=q\r\n[PREREQUISITES]\r\n";
        for (int n = 1; n <= 40; ++n)
            text += L"App" + ToDecimal(n) + L"=P" + ToDecimal(n) + L"\r\n";
        for (int n = 1; n <= 40; ++n) {
            text += L"[App" + ToDecimal(n) + L"]\r\n";
            if (n != stop) text += L"SetupFile=C:\\s" + ToDecimal(n) + L".exe\r\n";
            const int searches = n == 20 ? 12 : n % 3;
            for (int k = 1; k <= searches; ++k) {
                text += L"SearchType" + ToDecimal(k) + L"=5\r\nSearchString" + ToDecimal(k) +
                        L"=HKCU\\K" + ToDecimal(n * 100 + k) + L"\r\n";
            }
        }
        IniDocument document;
        document.Parse(text);
        PrerequisiteSet expected;
        expected.Load(document, TextExpander());
        const DocumentIndex index(document);
        PrerequisiteSet actual;
        LoadPrerequisites(index, actual);
        EXPECT_EQ(static_cast<size_t>(stop == 40 ? 39 : stop - 1), expected.Count());
        EXPECT_EQ(checker_test::DescribeLoaded(expected), checker_test::DescribeLoaded(actual))
            << "stop at " << stop;
    }
}

TEST(ConfigCheck, IndexAnswersTheFirstSectionAndKey) {
    IniDocument document;
    document.Parse(L"[A]\r\nk=1\r\nk=2\r\n[B]\r\nk=3\r\n[A]\r\nk=4\r\nj=5\r\n");
    const DocumentIndex index(document);
    const IniSection* a = index.Section(L"A");
    ASSERT_EQ(&document.Sections()[0], a);
    EXPECT_EQ(L"1", index.Key(*a, L"k")->value);
    EXPECT_EQ(nullptr, index.Key(*a, L"j"));  // only in the second [A]
    EXPECT_EQ(L"4", index.Key(document.Sections()[2], L"k")->value);
    EXPECT_EQ(nullptr, index.Section(L"a"));  // case-sensitive
    const IniSection foreign(L"A");
    EXPECT_EQ(nullptr, index.Key(foreign, L"k"));
}

// Lone LF and CR end a line in an editor, not in pravel: findings name the
// editor's line.
TEST(ConfigCheck, FindingsNameTheEditorsLine) {
    std::vector<uint8_t> bytes = {0xFF, 0xFE};
    for (wchar_t c : std::wstring(L"[GeneralOptions]\r\nOptions=q\nColour=red\r\n[PREREQUISITES]"
                                  L"\r\nApp1=A\r\n[App1]\r\nSetupFile=C:\\a.exe\rShade=1\r\n"
                                  L"Hue=2\r\n")) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(0);
    }
    const CheckReport report = CheckConfiguration(bytes.data(), bytes.size());
    std::vector<int> lines;
    for (const Finding& f : report.findings) lines.push_back(f.line);
    // Line 2 ends with LF alone (error); "Hue" is on the editor's line 9.
    ASSERT_FALSE(report.findings.empty());
    EXPECT_EQ(2, report.findings[0].line);
    EXPECT_EQ(Severity::kError, report.findings[0].severity);
    EXPECT_EQ(9, report.findings.back().line) << Utf8FromUtf16(report.findings.back().text);
    EXPECT_EQ(1, report.EditorLine(1));
    EXPECT_EQ(4, report.EditorLine(3));  // pravel's line 3 is [PREREQUISITES]
    EXPECT_EQ(9, report.EditorLine(7));
}

TEST(ConfigCheck, NotesDoNotCountAsFindings) {
    const CheckReport report = Check({L"[GeneralOptions]", L"Options=q", L"[PREREQ_CHAINER]",
                                      L"LogFile=C:\\Windows\\Temp\\setup.log", L"[PREREQUISITES]",
                                      L"App1=One", L"[App1]", L"SetupFile=C:\\a.exe"});
    ASSERT_EQ(1u, report.findings.size());
    EXPECT_EQ(Severity::kNote, report.findings[0].severity);
    EXPECT_EQ(0, CheckExitCode(report));
    EXPECT_EQ(L"f: no findings (1 note); 1 of 1 prerequisite loaded", FormatSummary(L"f", report));
    EXPECT_EQ(L"f:3: note: " + report.findings[0].text, FormatFinding(L"f", report.findings[0]));
}

TEST(ConfigCheck, LogFilePlaces) {
    struct Case {
        const wchar_t* logFile;
        LogPlace place;
    };
    const Case cases[] = {
        {L"", LogPlace::kNone},
        {L"C:\\ProgramData\\setup.log", LogPlace::kAsWritten},
        {L"c:\\windows\\temp\\setup.log", LogPlace::kAsWritten},
        {L"C:\\setup.log", LogPlace::kAsWritten},
        {L"C:\\ProgramData\\Contoso\\setup.log", LogPlace::kFolderMayLack},
        {L"\\\\server\\logs\\setup.log", LogPlace::kFolderMayLack},
        {L"setup.log", LogPlace::kRelative},
        {L"logs\\setup.log", LogPlace::kRelative},
        {L"%TEMP%\\setup.log", LogPlace::kNeverExpanded},
        {L"C:\\Users\\%USERNAME%\\setup.log", LogPlace::kNeverExpanded},
        {L"[SETUPEXEDIR]setup.log", LogPlace::kNeverExpanded},
        {L"C:\\100%\\setup.log", LogPlace::kFolderMayLack},  // one sign is no reference
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.place, ClassifyLogFile(c.logFile).place) << Utf8FromUtf16(c.logFile);
    }
    EXPECT_EQ(L"C:\\ProgramData\\Contoso", ClassifyLogFile(cases[4].logFile).folder);
    EXPECT_EQ(L"%USERNAME%", ClassifyLogFile(cases[9].logFile).reference);
    EXPECT_EQ(L"setup", ProgramNameFor(L"setup.ini"));
}

TEST(ConfigCheck, ControlCharactersAreShown) {
    EXPECT_EQ(L"a<LF>b<CR><TAB><U+0001>c", VisibleText(std::wstring(L"a\nb\r\t\x01"
                                                                    L"c")));
    EXPECT_EQ(L"C:\\x \u00FC", VisibleText(L"C:\\x \u00FC"));
    EXPECT_EQ(L"a<U+200B>b<U+FEFF><U+202E>\x05D0", VisibleText(L"a\u200Bb\uFEFF\u202E\u05D0"));
}

// An Icon that is a real .ico (one 16x16 image) has no finding; the others
// are in the corpus (tests/checker/corpus/texts.ini.utf8).
TEST(ConfigCheck, AnIconFileWithItsImagesIsAccepted) {
    std::vector<uint8_t> icon = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0};
    const std::vector<uint8_t> image = {40, 0, 0, 0, 22, 0, 0, 0};  // size, then offset 22
    icon.insert(icon.end(), image.begin(), image.end());
    icon.resize(22 + 40);
    const std::vector<uint8_t> bytes = File({L"[Texts]", L"Icon=brand.ico"});
    std::wstring asked;
    const CheckReport report =
        CheckConfiguration(bytes.data(), bytes.size(), L"pravel.ini",
                           [&](const std::wstring& path, std::vector<uint8_t>& content) {
                               asked = path;
                               content = icon;
                               return FileLook::kRead;
                           });
    EXPECT_EQ(asked, L"brand.ico");
    auto iconFindings = [](const CheckReport& checked) {
        std::wstring texts;
        for (const Finding& f : checked.findings) {
            if (f.text.find(L"Icon") != std::wstring::npos) texts += f.text;
        }
        return texts;
    };
    EXPECT_EQ(iconFindings(report), L"");
    icon.resize(40);  // the image ends beyond the file
    const CheckReport cut = CheckConfiguration(bytes.data(), bytes.size(), L"pravel.ini",
                                               [&](const std::wstring&, std::vector<uint8_t>& c) {
                                                   c = icon;
                                                   return FileLook::kRead;
                                               });
    EXPECT_NE(iconFindings(cut).find(L"is no icon file"), std::wstring::npos);
}
