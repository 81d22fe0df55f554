#include <gtest/gtest.h>

#include <set>

#include "common/Text.h"
#include "detect/OsNames.h"

using namespace pravel;

namespace {

struct Case {
    uint32_t major, minor, build;
    int32_t servicePack;
    bool isServer, is64;
    const wchar_t* detailed;
    const wchar_t* generic;
};

// W: workstation, S: server; 32/64: Windows bitness.
const Case kCases[] = {
    {11, 0, 22000, 0, false, true, L"Windows 11 version 21H2 x64", L"Windows 11 x64"},
    {11, 0, 22621, 0, false, true, L"Windows 11 version 22H2 x64 (Preview)", L"Windows 11 x64"},
    {11, 0, 22631, 0, false, true, L"Windows 11 x64", L"Windows 11 x64"},
    {11, 0, 26100, 0, true, true, L"Windows Server x64", L"Windows Server x64"},
    {10, 0, 20348, 0, true, true, L"Windows Server 2022 x64", L"Windows Server x64"},
    {10, 0, 20348, 0, false, true, L"Windows 10 version 21H2 x64", L"Windows 10 x64"},
    {10, 0, 19045, 0, false, true, L"Windows 10 version 22H2 x64", L"Windows 10 x64"},
    {10, 0, 19045, 0, false, false, L"Windows 10 version 22H2 x86", L"Windows 10 x86"},
    {10, 0, 19045, 0, true, true, L"Windows 10 version 22H2 x64", L"Windows Server x64"},
    {10, 0, 19044, 0, false, true, L"Windows 10 version 21H2 x64", L"Windows 10 x64"},
    {10, 0, 19044, 0, false, false, L"Windows 10 version 21H2 x86", L"Windows 10 x86"},
    {10, 0, 19043, 0, false, true, L"Windows 10 version 21H1 x64", L"Windows 10 x64"},
    {10, 0, 19043, 0, false, false, L"Windows 10 version 21H1 x86", L"Windows 10 x86"},
    {10, 0, 19042, 0, false, true, L"Windows 10 version 20H2 x64", L"Windows 10 x64"},
    {10, 0, 19042, 0, false, false, L"Windows 10 version 20H2 x86", L"Windows 10 x86"},
    {10, 0, 19041, 0, false, true, L"Windows 10 version 2004 x64", L"Windows 10 x64"},
    {10, 0, 19041, 0, false, false, L"Windows 10 version 2004 x86", L"Windows 10 x86"},
    {10, 0, 18363, 0, false, true, L"Windows 10 version 1909 x64", L"Windows 10 x64"},
    {10, 0, 18363, 0, false, false, L"Windows 10 version 1909 x86", L"Windows 10 x86"},
    {10, 0, 18362, 0, false, true, L"Windows 10 version 1903 x64", L"Windows 10 x64"},
    {10, 0, 18362, 0, false, false, L"Windows 10 version 1903 x86", L"Windows 10 x86"},
    {10, 0, 17763, 0, true, true, L"Windows Server 2019 x64", L"Windows Server x64"},
    {10, 0, 17763, 0, false, true, L"Windows 10 version 1809 x64", L"Windows 10 x64"},
    {10, 0, 17763, 0, true, false, L"Windows 10 version 1809 x86", L"Windows 10 x86"},
    {10, 0, 17134, 0, false, true, L"Windows 10 version 1803 x64", L"Windows 10 x64"},
    {10, 0, 17134, 0, false, false, L"Windows 10 version 1803 x86", L"Windows 10 x86"},
    {10, 0, 16299, 0, false, true, L"Windows 10 version 1709 x64", L"Windows 10 x64"},
    {10, 0, 16299, 0, false, false, L"Windows 10 version 1709 x86", L"Windows 10 x86"},
    {10, 0, 15063, 0, false, true, L"Windows 10 version 1703 x64", L"Windows 10 x64"},
    {10, 0, 15063, 0, false, false, L"Windows 10 version 1703 x86", L"Windows 10 x86"},
    {10, 0, 14393, 0, true, true, L"Windows Server 2016 x64", L"Windows Server x64"},
    {10, 0, 14393, 0, false, true, L"Windows 10 version 1607 x64", L"Windows 10 x64"},
    {10, 0, 14393, 0, false, false, L"Windows 10 version 1607 x86", L"Windows 10 x86"},
    {10, 0, 10586, 0, false, true, L"Windows 10 version 1511 x64", L"Windows 10 x64"},
    {10, 0, 10586, 0, false, false, L"Windows 10 version 1511 x86", L"Windows 10 x86"},
    {10, 0, 10240, 0, false, true, L"Windows 10 version 1507 x64", L"Windows 10 x64"},
    {10, 0, 10240, 0, false, false, L"Windows 10 version 1507 x86", L"Windows 10 x86"},
    {10, 0, 9999, 0, false, true, L"Windows 10 x64", L"Windows 10 x64"},
    {10, 0, 9999, 0, false, false, L"Windows 10 x86", L"Windows 10 x86"},
    {10, 0, 9999, 0, true, true, L"Windows Server x64", L"Windows Server x64"},
    {6, 3, 9600, 0, true, true, L"Windows Server 2012 R2 x64", L"Windows Server 2012 R2 x64"},
    {6, 3, 9600, 0, false, true, L"Windows 8.1 x64", L"Windows 8.1 x64"},
    {6, 3, 9600, 0, false, false, L"Windows 8.1 x86", L"Windows 8.1 x86"},
    {6, 2, 9200, 0, true, true, L"Windows Server 2012 x64", L"Windows Server 2012 x64"},
    {6, 2, 9200, 0, false, true, L"Windows 8 x64", L"Windows 8 x64"},
    {6, 2, 9200, 0, false, false, L"Windows 8 x86", L"Windows 8 x86"},
    {6, 1, 7600, 0, true, true, L"Windows Server 2008 R2 RTM x64", L"Windows Server 2008 R2 x64"},
    {6, 1, 7601, 1, true, true, L"Windows Server 2008 R2 SP1 x64", L"Windows Server 2008 R2 x64"},
    {6, 1, 7601, 2, true, true, L"Windows Server 2008 R2 x64", L"Windows Server 2008 R2 x64"},
    {6, 1, 7601, 2, false, true, L"Windows 7 x64", L"Windows 7 x64"},
    {6, 1, 7601, 2, false, false, L"Windows 7 x86", L"Windows 7 x86"},
    {6, 1, 7601, 1, false, true, L"Windows 7 SP1 x64", L"Windows 7 x64"},
    {6, 1, 7601, 1, false, false, L"Windows 7 SP1 x86", L"Windows 7 x86"},
    {6, 1, 7600, 0, false, true, L"Windows 7 RTM x64", L"Windows 7 x64"},
    {6, 1, 7600, 0, true, false, L"Windows 7 RTM x86", L"Windows 7 x86"},
    {6, 0, 6002, 3, true, true, L"Windows Server 2008 x64", L"Windows Server 2008 x64"},
    {6, 0, 6002, 3, true, false, L"Windows Server 2008 x86", L"Windows Server 2008 x86"},
    {6, 0, 6002, 2, true, true, L"Windows Server 2008 SP2 x64", L"Windows Server 2008 x64"},
    {6, 0, 6002, 2, true, false, L"Windows Server 2008 SP2 x86", L"Windows Server 2008 x86"},
    {6, 0, 6001, 1, true, true, L"Windows Server 2008 RTM x64", L"Windows Server 2008 x64"},
    {6, 0, 6000, 0, true, false, L"Windows Server 2008 RTM x86", L"Windows Server 2008 x86"},
    {6, 0, 6002, 3, false, true, L"Windows Vista x64", L"Windows Vista x64"},
    {6, 0, 6002, 3, false, false, L"Windows Vista x86", L"Windows Vista x86"},
    {6, 0, 6002, 2, false, true, L"Windows Vista SP2 x64", L"Windows Vista x64"},
    {6, 0, 6002, 2, false, false, L"Windows Vista SP2 x86", L"Windows Vista x86"},
    {6, 0, 6001, 1, false, true, L"Windows Vista SP1 x64", L"Windows Vista x64"},
    {6, 0, 6001, 1, false, false, L"Windows Vista SP1 x86", L"Windows Vista x86"},
    {6, 0, 6000, 0, false, true, L"Windows Vista RTM x64", L"Windows Vista x64"},
    {6, 0, 6000, 0, false, false, L"Windows Vista RTM x86", L"Windows Vista x86"},
    {5, 2, 3790, 0, true, true, L"Windows Server 2003 x64", L"Windows Server 2003 x64"},
    {5, 2, 3790, 0, true, false, L"Windows Server 2003 x86", L"Windows Server 2003 x86"},
    {5, 2, 3790, 2, true, true, L"Windows Server 2003 SP2 x64", L"Windows Server 2003 x64"},
    {5, 2, 3790, 2, true, false, L"Windows Server 2003 SP2 x86", L"Windows Server 2003 x86"},
    {5, 2, 3790, 1, true, true, L"Windows Server 2003 SP1 x64", L"Windows Server 2003 x64"},
    {5, 2, 3790, 1, true, false, L"Windows Server 2003 SP1 x86", L"Windows Server 2003 x86"},
    {5, 2, 3790, 0, false, true, L"Windows XP x64", L"Windows XP x64"},
    {5, 2, 3790, 2, false, true, L"Windows XP SP2 x64", L"Windows XP x64"},
    {5, 2, 3790, 1, false, true, L"Windows XP SP1 x64", L"Windows XP x64"},
    {5, 1, 2600, 0, false, false, L"Windows XP x86", L"Windows XP x86"},
    {5, 1, 2600, 3, false, false, L"Windows XP SP3 x86", L"Windows XP x86"},
    {5, 1, 2600, 2, false, false, L"Windows XP SP2 x86", L"Windows XP x86"},
    {5, 1, 2600, 1, false, false, L"Windows XP SP1 x86", L"Windows XP x86"},
    {5, 0, 2195, 4, false, false, L"OsNotIdentified", L"OsNotIdentified"},
    {6, 4, 1, 0, false, true, L"OsNotIdentified", L"OsNotIdentified"},
};

// The whole vocabulary a WinNTVersions list can use.
const wchar_t* kVocabulary[] = {
    L"Windows 11 version 22H2 x64 (Preview)",
    L"Windows 11 version 21H2 x64",
    L"Windows 11 x64",
    L"Windows Server x64",
    L"Windows Server 2022 x64",
    L"Windows 10 version 22H2 x64",
    L"Windows 10 version 22H2 x86",
    L"Windows 10 version 21H2 x64",
    L"Windows 10 version 21H2 x86",
    L"Windows 10 version 21H1 x64",
    L"Windows 10 version 21H1 x86",
    L"Windows 10 version 20H2 x64",
    L"Windows 10 version 20H2 x86",
    L"Windows 10 version 2004 x64",
    L"Windows 10 version 2004 x86",
    L"Windows 10 version 1909 x64",
    L"Windows 10 version 1909 x86",
    L"Windows 10 version 1903 x64",
    L"Windows 10 version 1903 x86",
    L"Windows Server 2019 x64",
    L"Windows 10 version 1809 x64",
    L"Windows 10 version 1809 x86",
    L"Windows 10 version 1803 x64",
    L"Windows 10 version 1803 x86",
    L"Windows 10 version 1709 x64",
    L"Windows 10 version 1709 x86",
    L"Windows 10 version 1703 x64",
    L"Windows 10 version 1703 x86",
    L"Windows Server 2016 x64",
    L"Windows 10 version 1607 x64",
    L"Windows 10 version 1607 x86",
    L"Windows 10 version 1511 x64",
    L"Windows 10 version 1511 x86",
    L"Windows 10 version 1507 x64",
    L"Windows 10 version 1507 x86",
    L"Windows 10 x64",
    L"Windows 10 x86",
    L"Windows Server 2012 R2 x64",
    L"Windows 8.1 x64",
    L"Windows 8.1 x86",
    L"Windows Server 2012 x64",
    L"Windows 8 x64",
    L"Windows 8 x86",
    L"Windows Server 2008 R2 x64",
    L"Windows Server 2008 R2 SP1 x64",
    L"Windows Server 2008 R2 RTM x64",
    L"Windows 7 x64",
    L"Windows 7 x86",
    L"Windows 7 SP1 x64",
    L"Windows 7 SP1 x86",
    L"Windows 7 RTM x64",
    L"Windows 7 RTM x86",
    L"Windows Server 2008 x64",
    L"Windows Server 2008 x86",
    L"Windows Server 2008 SP2 x64",
    L"Windows Server 2008 SP2 x86",
    L"Windows Server 2008 RTM x64",
    L"Windows Server 2008 RTM x86",
    L"Windows Vista x64",
    L"Windows Vista x86",
    L"Windows Vista SP2 x64",
    L"Windows Vista SP2 x86",
    L"Windows Vista SP1 x64",
    L"Windows Vista SP1 x86",
    L"Windows Vista RTM x64",
    L"Windows Vista RTM x86",
    L"Windows Server 2003 x64",
    L"Windows Server 2003 x86",
    L"Windows Server 2003 SP2 x64",
    L"Windows Server 2003 SP2 x86",
    L"Windows Server 2003 SP1 x64",
    L"Windows Server 2003 SP1 x86",
    L"Windows XP x64",
    L"Windows XP SP2 x64",
    L"Windows XP SP1 x64",
    L"Windows XP x86",
    L"Windows XP SP3 x86",
    L"Windows XP SP2 x86",
    L"Windows XP SP1 x86",
    L"OsNotIdentified",
};

OsVersionInfo Record(const Case& c) {
    OsVersionInfo os;
    os.major = c.major;
    os.minor = c.minor;
    os.build = c.build;
    os.servicePack = c.servicePack;
    os.isServer = c.isServer;
    os.productType = c.isServer ? kProductServer : kProductWorkstation;
    os.is64BitOs = c.is64;
    return os;
}

}  // namespace

TEST(OsNames, TableOfRecords) {
    for (const Case& c : kCases) {
        const OsVersionInfo os = Record(c);
        EXPECT_EQ(c.detailed, DetailedOsName(os)) << c.major << "." << c.minor << "." << c.build;
        EXPECT_EQ(c.generic, GenericOsName(os)) << c.major << "." << c.minor << "." << c.build;
    }
}

TEST(OsNames, TheTableReachesEveryNameOfTheVocabulary) {
    std::set<std::wstring> produced;
    for (const Case& c : kCases) {
        produced.insert(DetailedOsName(Record(c)));
        produced.insert(GenericOsName(Record(c)));
    }
    const std::set<std::wstring> vocabulary(std::begin(kVocabulary), std::end(kVocabulary));
    EXPECT_EQ(vocabulary, produced);
}

TEST(OsExclusion, ListsOfNames) {
    const std::wstring detailed = L"Windows 10 version 22H2 x64";
    const std::wstring generic = L"Windows 10 x64";
    EXPECT_TRUE(IsOsExcluded(L"", L"Windows 10 x64", true, detailed, generic));
    EXPECT_TRUE(IsOsExcluded(L"", L"Windows 10 version 22H2 x64", true, detailed, generic));
    EXPECT_FALSE(
        IsOsExcluded(L"", L"Windows 10 version 21H2 x64, Windows 8 x64", true, detailed, generic));
    EXPECT_TRUE(IsOsExcluded(L"", L"Windows 8 x64, Windows 10 x64", true, detailed, generic));
    EXPECT_TRUE(IsOsExcluded(L"", L"Windows 8 x64, Windows 10 x64, ", true, detailed, generic));
    EXPECT_FALSE(IsOsExcluded(L"", L"Windows 8 x64,Windows 10 x64", true, detailed, generic));
    EXPECT_FALSE(IsOsExcluded(L"", L"windows 10 x64", true, detailed, generic));
    EXPECT_FALSE(IsOsExcluded(L"", L"", true, detailed, generic));
    // The list of the other bitness does not count.
    EXPECT_FALSE(IsOsExcluded(L"Windows 10 x64", L"", true, detailed, generic));
    EXPECT_TRUE(IsOsExcluded(L"Windows 10 x86", L"", false, L"Windows 10 version 22H2 x86",
                             L"Windows 10 x86"));
}

TEST(OsExclusion, GroupTextsExcludeTheirBitnessOnly) {
    EXPECT_TRUE(IsOsExcluded(L"", WideFromAscii(kAll64BitSystems), true, L"Windows 11 x64",
                             L"Windows 11 x64"));
    EXPECT_TRUE(IsOsExcluded(WideFromAscii(kAll32BitSystems), L"", false, L"Windows 7 SP1 x86",
                             L"Windows 7 x86"));
    // The 64-bit group text in the 32-bit list is just an unknown name there.
    EXPECT_FALSE(IsOsExcluded(WideFromAscii(kAll64BitSystems), L"", false, L"Windows 7 SP1 x86",
                              L"Windows 7 x86"));
    // Only the exact text is the group: another letter case, a part of it or
    // more than it is not.
    const std::wstring group = WideFromAscii(kAll64BitSystems);
    for (const std::wstring& near : {ToLowerAscii(group), group.substr(0, group.size() - 1),
                                     group + L" ", std::wstring(group.c_str(), group.size() + 1)}) {
        EXPECT_FALSE(IsOsExcluded(L"", near, true, L"Windows 11 x64", L"Windows 11 x64"));
    }
}

TEST(LanguageList, EntriesEndWithSemicolons) {
    EXPECT_TRUE(IsLanguageListAccepting(L"", 1033));
    EXPECT_TRUE(IsLanguageListAccepting(L"1031;1033;", 1033));
    EXPECT_FALSE(IsLanguageListAccepting(L"1031;", 1033));
    EXPECT_FALSE(IsLanguageListAccepting(L"1033", 1033));       // no ";": nothing examined
    EXPECT_FALSE(IsLanguageListAccepting(L"1031;1033", 1033));  // text after the last ";"
    EXPECT_TRUE(IsLanguageListAccepting(L" 1033;", 1033));
    EXPECT_TRUE(IsLanguageListAccepting(L"66569;", 1033));  // compared as 16-bit numbers
}
