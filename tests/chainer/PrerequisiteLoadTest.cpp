#include <gtest/gtest.h>

#include "chainer/PrerequisiteSet.h"
#include "common/HResultError.h"
#include "common/Text.h"
#include "config/ConfigFile.h"
#include "config/IniDocument.h"

using namespace pravel;

namespace {

PrerequisiteSet Load(const std::wstring& text, const TextExpander& expand = TextExpander()) {
    IniDocument doc;
    doc.Parse(text);
    PrerequisiteSet set;
    set.Load(doc, expand);
    return set;
}

std::wstring Lines(std::initializer_list<const wchar_t*> lines) {
    std::wstring text;
    for (const wchar_t* line : lines) text += std::wstring(line) + L"\r\n";
    return text;
}

}  // namespace

TEST(PrerequisiteLoad, ReadsEveryField) {
    const PrerequisiteSet set = Load(Lines({L"[PREREQUISITES]",
                                            L"App1=Runtime 4.8",
                                            L"[App1]",
                                            L"VerMin=1.0",
                                            L"VerMax=2.0",
                                            L"Url=http://h/r.exe",
                                            L"CommandLine=/full",
                                            L"BasicUiCommandLine=/passive",
                                            L"NoUiCommandLine=/q",
                                            L"Options=mrx",
                                            L"MD5=ABC",
                                            L"ExactSize=  1024kb",
                                            L"Folder=sub?r.exe",
                                            L"RetValPropName=RUNTIME_RC",
                                            L"InstallCond=c",
                                            L"ParentPrereq=Base",
                                            L"Operator=1",
                                            L"WinNTVersions=Windows XP x86",
                                            L"WinNT64Versions=Windows 7 x64",
                                            L"LanguageList=1033;1031",
                                            L"SearchType1=2",
                                            L"SearchString1=HKLM\\Software\\X\\Version",
                                            L"VerMin1=4.8",
                                            L"VerMax1=5",
                                            L"RefContent1=M1",
                                            L"SearchCmdLine1=/check",
                                            L"SearchType2=5",
                                            L"SearchString2=HKCU\\Software\\Y"}));
    ASSERT_EQ(1u, set.Count());
    const Prerequisite& p = set.Items()[0];
    EXPECT_EQ(L"Runtime 4.8", p.name);
    EXPECT_EQ(L"1.0", p.verMin);
    EXPECT_EQ(L"2.0", p.verMax);
    EXPECT_EQ(L"http://h/r.exe", p.location);
    EXPECT_EQ(kLocationUrl, p.locationKind);
    EXPECT_EQ(L"/full", p.commandLine);
    EXPECT_EQ(L"/passive", p.basicUiCommandLine);
    EXPECT_EQ(L"/q", p.noUiCommandLine);
    EXPECT_EQ(L"mrx", p.options);
    EXPECT_EQ(L"ABC", p.md5);
    EXPECT_EQ(1024, p.exactSize);
    EXPECT_EQ(L"sub?r.exe", p.folder);
    EXPECT_EQ(L"RUNTIME_RC", p.retValPropName);
    EXPECT_EQ(L"c", p.installCond);
    EXPECT_EQ(L"Base", p.parentPrereq);
    EXPECT_EQ(1, p.op);
    EXPECT_EQ(L"Windows XP x86", p.winNTVersions);
    EXPECT_EQ(L"Windows 7 x64", p.winNT64Versions);
    EXPECT_EQ(L"1033;1031;", p.languageList);
    ASSERT_EQ(2u, p.searches.size());
    EXPECT_EQ(2, p.searches[0].type);
    EXPECT_EQ(L"HKLM\\Software\\X\\Version", p.searches[0].searchString);
    EXPECT_EQ(L"4.8", p.searches[0].verMin);
    EXPECT_EQ(L"5", p.searches[0].verMax);
    EXPECT_EQ(L"M1", p.searches[0].refContent);
    EXPECT_EQ(L"/check", p.searches[0].searchCmdLine);
    EXPECT_EQ(5, p.searches[1].type);
    EXPECT_EQ(L"", p.searches[1].verMin);
    EXPECT_EQ(kStateUndefined, p.state);
    EXPECT_EQ(kStateUndefined, p.firstState);
    EXPECT_EQ(0, p.skipSearch);
    EXPECT_EQ(0, p.selected);
}

TEST(PrerequisiteLoad, LocationPriorityIsSetupFileThenOpenSiteThenUrl) {
    const PrerequisiteSet set = Load(Lines(
        {L"[PREREQUISITES]", L"App1=a", L"App2=b", L"App3=c", L"[App1]", L"Url=u", L"OpenSite=o",
         L"SetupFile=s", L"[App2]", L"Url=u", L"OpenSite=o", L"[App3]", L"Url="}));
    ASSERT_EQ(3u, set.Count());
    EXPECT_EQ(kLocationSetupFile, set.Items()[0].locationKind);
    EXPECT_EQ(L"s", set.Items()[0].location);
    EXPECT_EQ(kLocationOpenSite, set.Items()[1].locationKind);
    EXPECT_EQ(kLocationUrl, set.Items()[2].locationKind);  // present, even if empty
}

TEST(PrerequisiteLoad, ListStopsAtTheFirstGap) {
    const PrerequisiteSet set =
        Load(Lines({L"[PREREQUISITES]", L"App1=a", L"App2=b", L"App4=d", L"[App1]", L"SetupFile=1",
                    L"[App2]", L"SetupFile=2", L"[App4]", L"SetupFile=4"}));
    EXPECT_EQ(2u, set.Count());
}

TEST(PrerequisiteLoad, MissingSectionEndsTheList) {
    const PrerequisiteSet set = Load(Lines({L"[PREREQUISITES]", L"App1=a", L"App2=b", L"App3=c",
                                            L"[App1]", L"SetupFile=1", L"[App3]", L"SetupFile=3"}));
    EXPECT_EQ(1u, set.Count());
}

TEST(PrerequisiteLoad, PrerequisiteWithoutLocationEndsTheList) {
    const PrerequisiteSet set =
        Load(Lines({L"[PREREQUISITES]", L"App1=a", L"App2=b", L"App3=c", L"[App1]", L"SetupFile=1",
                    L"[App2]", L"setupfile=2", L"[App3]", L"SetupFile=3"}));
    EXPECT_EQ(1u, set.Count());
}

TEST(PrerequisiteLoad, SearchWithTypeButNoStringEndsTheList) {
    const PrerequisiteSet set = Load(Lines(
        {L"[PREREQUISITES]", L"App1=a", L"App2=b", L"[App1]", L"SetupFile=1", L"SearchType1=5",
         L"SearchString1=HKLM\\X", L"SearchType2=5", L"[App2]", L"SetupFile=2"}));
    EXPECT_EQ(0u, set.Count());
}

TEST(PrerequisiteLoad, SearchListEndsAtTheFirstMissingType) {
    const PrerequisiteSet set =
        Load(Lines({L"[PREREQUISITES]", L"App1=a", L"[App1]", L"SetupFile=1", L"SearchType1=5",
                    L"SearchString1=A", L"SearchType3=5", L"SearchString3=C"}));
    ASSERT_EQ(1u, set.Count());
    EXPECT_EQ(1u, set.Items()[0].searches.size());
}

TEST(PrerequisiteLoad, DuplicateSectionsAndKeysUseTheFirst) {
    const PrerequisiteSet set =
        Load(Lines({L"[PREREQUISITES]", L"App1=first name", L"App1=second name", L"[App1]",
                    L"SetupFile=one", L"SetupFile=two", L"[App1]", L"SetupFile=three"}));
    ASSERT_EQ(1u, set.Count());
    EXPECT_EQ(L"first name", set.Items()[0].name);
    EXPECT_EQ(L"one", set.Items()[0].location);
}

TEST(PrerequisiteLoad, LanguageListGetsItsFinalSemicolonOnce) {
    const PrerequisiteSet set =
        Load(Lines({L"[PREREQUISITES]", L"App1=a", L"App2=b", L"App3=c", L"[App1]", L"SetupFile=1",
                    L"LanguageList=1033;1031", L"[App2]", L"SetupFile=2", L"LanguageList=1033;",
                    L"[App3]", L"SetupFile=3"}));
    EXPECT_EQ(L"1033;1031;", set.Items()[0].languageList);
    EXPECT_EQ(L"1033;", set.Items()[1].languageList);
    EXPECT_EQ(L"", set.Items()[2].languageList);
}

TEST(PrerequisiteLoad, SkipSearchFollowsOptionI) {
    const PrerequisiteSet set =
        Load(Lines({L"[PREREQUISITES]", L"App1=a", L"App2=b", L"[App1]", L"SetupFile=1",
                    L"Options=mi", L"[App2]", L"SetupFile=2", L"Options=I"}));
    EXPECT_EQ(1, set.Items()[0].skipSearch);
    EXPECT_EQ(0, set.Items()[1].skipSearch);
}

TEST(PrerequisiteLoad, IntegersFollowTheRule) {
    const PrerequisiteSet set =
        Load(Lines({L"[PREREQUISITES]", L"App1=a", L"[App1]", L"SetupFile=1", L"ExactSize=abc",
                    L"Operator= -1x", L"SearchType1=  9z", L"SearchString1=s"}));
    EXPECT_EQ(0, set.Items()[0].exactSize);
    EXPECT_EQ(-1, set.Items()[0].op);
    EXPECT_EQ(9, set.Items()[0].searches[0].type);
}

TEST(PrerequisiteLoad, OnlyDownloadAndSiteLocationsAreExpanded) {
    const TextExpander upper = [](const std::wstring& s) { return L"<" + s + L">"; };
    const PrerequisiteSet set =
        Load(Lines({L"[PREREQUISITES]", L"App1=a", L"App2=b", L"App3=c", L"[App1]",
                    L"SetupFile=[X]", L"[App2]", L"Url=[X]", L"[App3]", L"OpenSite=[X]"}),
             upper);
    EXPECT_EQ(L"[X]", set.Items()[0].location);
    EXPECT_EQ(L"<[X]>", set.Items()[1].location);
    EXPECT_EQ(L"<[X]>", set.Items()[2].location);
}

TEST(PrerequisiteLoad, GeneralOptions) {
    const PrerequisiteSet set =
        Load(Lines({L"[GeneralOptions]", L"Options=qb", L"ExtractionFolder=C:/x//y",
                    L"KeepFiles=prereqs", L"PackJars=TRUE", L"AllPlatforms=yes", L"ExtUIStub=1",
                    L"DefaultProdCode={P}", L"DownloadFolder=[TempFolder]dl", L"AppxPkId=id"}));
    const GeneralOptions& o = set.Options();
    EXPECT_EQ(L"qb", o.options);
    EXPECT_EQ(L"C:\\x\\y\\", o.extractionFolder);
    EXPECT_EQ(kKeepPrereqs, o.keepFiles);
    EXPECT_TRUE(o.packJars);
    EXPECT_FALSE(o.allPlatforms);
    EXPECT_TRUE(o.extUiStub);
    EXPECT_EQ(L"{P}", o.defaultProdCode);
    EXPECT_EQ(L"[TempFolder]dl", o.downloadFolder);
    EXPECT_EQ(L"id", o.appxPkId);
    EXPECT_EQ(0u, set.Count());
}

TEST(PrerequisiteLoad, KeepFilesValuesAreExact) {
    const wchar_t* values[] = {L"complete", L"minimum", L"prereqs", L"Complete", L"x"};
    const int32_t expected[] = {kKeepComplete, kKeepMinimum, kKeepPrereqs, kKeepNone, kKeepNone};
    for (int i = 0; i < 5; ++i) {
        const PrerequisiteSet set =
            Load(L"[GeneralOptions]\r\nKeepFiles=" + std::wstring(values[i]) + L"\r\n");
        EXPECT_EQ(expected[i], set.Options().keepFiles) << i;
    }
}

TEST(PrerequisiteLoad, ChainerSettings) {
    IniDocument doc;
    doc.Parse(L"[PREREQ_CHAINER]\r\nLogFile=C:\\x.log\r\nCleanupFolders=C:\\t\r\n");
    ChainerSettings settings;
    settings.cleanupScript = L"kept";
    ASSERT_TRUE(doc.ReadChainerSettings(settings));
    EXPECT_EQ(L"C:\\x.log", settings.logFile);
    EXPECT_EQ(L"C:\\t", settings.cleanupFolders);
    EXPECT_EQ(L"kept", settings.cleanupScript);
    IniDocument empty;
    empty.Parse(L"[Other]\r\n");
    EXPECT_FALSE(empty.ReadChainerSettings(settings));
}

TEST(PrerequisiteLoad, AtChecksBounds) {
    PrerequisiteSet set = Load(L"");
    EXPECT_THROW(set.At(0), HResultError);
    try {
        set.At(3);
    } catch (const HResultError& e) {
        EXPECT_EQ(static_cast<int32_t>(0x8000000Bu), e.Code());
    }
}

TEST(ConfigurationBytes, ByteOrderMarkIsSkippedWhateverItIs) {
    // UTF-16LE with BOM.
    const std::string withBom("\xFF\xFE[\0S\0]\0", 8);
    EXPECT_EQ(L"[S]", ConfigurationText(reinterpret_cast<const uint8_t*>(withBom.data()), 8));
    // Without a BOM the first character is lost.
    const std::string noBom("[\0S\0]\0", 6);
    EXPECT_EQ(L"S]", ConfigurationText(reinterpret_cast<const uint8_t*>(noBom.data()), 6));
    // A file of 0 or 1 byte is an empty configuration; an odd last byte is dropped.
    EXPECT_EQ(L"", ConfigurationText(nullptr, 0));
    EXPECT_EQ(L"", ConfigurationText(reinterpret_cast<const uint8_t*>("x"), 1));
    EXPECT_EQ(L"[", ConfigurationText(reinterpret_cast<const uint8_t*>(withBom.data()), 5));
}

TEST(ConfigurationBytes, Utf8FileDoesNotParseIntoSections) {
    const std::string utf8 = "\xEF\xBB\xBF[PREREQUISITES]\r\nApp1=a\r\n";
    IniDocument doc;
    doc.Parse(ConfigurationText(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size()));
    EXPECT_EQ(nullptr, doc.FindSection(L"PREREQUISITES"));
}

TEST(PrerequisiteLoad, Sha256IsReadAsWritten) {
    const std::wstring digest = L"E3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
    const PrerequisiteSet set =
        Load(Lines({L"[PREREQUISITES]", L"App1=A", L"App2=B", L"[App1]", L"Url=http://h/a.exe",
                    (L"SHA256=" + digest).c_str(), L"[App2]", L"SetupFile=b.exe"}));
    ASSERT_EQ(2u, set.Count());
    EXPECT_EQ(digest, set.Items()[0].sha256);
    EXPECT_EQ(L"", set.Items()[1].sha256);
}
