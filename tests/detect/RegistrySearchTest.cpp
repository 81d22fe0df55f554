// Registry searches against keys the tests create in the Wine registry.
#include "common/Text.h"
#include "detect/SearchTestSupport.h"
#include "support/WinTestSupport.h"

using namespace pravel;
using namespace search_test;
using testing_support::kSuite64Bit;

namespace {

const std::wstring kUserKey = L"Software\\PravelTests\\Registry";
const std::wstring kUser = L"HKCU\\" + kUserKey;

class RegistrySearch : public ::testing::Test {
  protected:
    void SetUp() override {
        key_.SetString(L"Version", L"4.8.03761");
        key_.SetString(L"Path", L"%SystemRoot%\\x", REG_EXPAND_SZ);
        key_.SetMulti(L"Multi", std::wstring(L"1.0\0second\0\0", 13));
        key_.SetDword(L"Release", 528040);
        key_.SetBinary(L"Blob", std::string("\x31\x00\x2E\x00\x32\x00", 6));
        key_.SetString(L"", L"default 7.0");
        for (int i = 0; i < 40; ++i) key_.AddSubkey(L"v" + std::to_wstring(i) + L".0");
    }
    TestKey key_{HKEY_CURRENT_USER, kUserKey};
};

}  // namespace

TEST_F(RegistrySearch, ValueDataIsCollectedAsText) {
    Outcome o = RunSearch(kSearchRegistryValue, kUser + L"\\Version", L"4.8");
    EXPECT_TRUE(o.found);
    EXPECT_EQ(std::vector<std::wstring>{L"4.8.03761"}, o.values);
    EXPECT_FALSE(RunSearch(kSearchRegistryValue, kUser + L"\\Version", L"4.9").found);
    EXPECT_EQ(std::vector<std::wstring>{L"%SystemRoot%\\x"},
              RunSearch(kSearchRegistryValue, kUser + L"\\Path").values);
    EXPECT_EQ(std::vector<std::wstring>{L"1.0"},
              RunSearch(kSearchRegistryValue, kUser + L"\\Multi").values);
    // Binary data is read as text as well (here UTF-16 "1.2").
    EXPECT_TRUE(RunSearch(kSearchRegistryValue, kUser + L"\\Blob", L"1.2", L"1.2").found);
    EXPECT_TRUE(RunSearch(kSearchRegistryValue, kUser + L"\\", L"7").found);  // default value
}

TEST_F(RegistrySearch, MissingKeysAndValuesAreNotFound) {
    EXPECT_FALSE(RunSearch(kSearchRegistryValue, kUser + L"\\Nope").found);
    EXPECT_FALSE(RunSearch(kSearchRegistryValue, L"HKCU\\Software\\PravelTests\\Missing\\V").found);
    EXPECT_FALSE(RunSearch(kSearchRegistryValue, L"NoBackslash").found);
    EXPECT_FALSE(RunSearch(kSearchSubkeyNames, L"HKCU\\Software\\PravelTests\\Missing").found);
    EXPECT_TRUE(
        RunSearch(kSearchSubkeyNames, L"HKCU\\Software\\PravelTests\\Missing").values.empty());
}

TEST_F(RegistrySearch, SubkeyAndValueNames) {
    Outcome o = RunSearch(kSearchSubkeyNames, kUser, L"39", L"39");
    EXPECT_TRUE(o.found);
    EXPECT_EQ(40u, o.values.size());
    EXPECT_FALSE(RunSearch(kSearchSubkeyNames, kUser, L"40").found);
    o = RunSearch(kSearchValueNames, kUser);
    EXPECT_TRUE(o.found);  // no bounds: names without digits are enough
    EXPECT_EQ(6u, o.values.size());
    EXPECT_FALSE(RunSearch(kSearchValueNames, kUser, L"1.0").found);  // no name holds a version
}

TEST(RegistryManyNames, HundredsOfValuesAndSubkeys) {
    TestKey many(HKEY_CURRENT_USER, L"Software\\PravelTests\\Many");
    for (int i = 0; i < 300; ++i) {
        many.SetString(L"component-" + std::to_wstring(i), L"x");
        many.AddSubkey(L"build " + std::to_wstring(1000 + i));
    }
    many.SetString(L"9.1.2", L"x");
    Outcome o = RunSearch(kSearchValueNames, L"HKCU\\Software\\PravelTests\\Many", L"9.1", L"9.2");
    EXPECT_TRUE(o.found);
    EXPECT_EQ(301u, o.values.size());
    o = RunSearch(kSearchSubkeyNames, L"HKCU\\Software\\PravelTests\\Many", L"1299", L"1299");
    EXPECT_TRUE(o.found);
    EXPECT_EQ(300u, o.values.size());
    EXPECT_FALSE(
        RunSearch(kSearchSubkeyNames, L"HKCU\\Software\\PravelTests\\Many", L"1300").found);
}

TEST_F(RegistrySearch, KeyAndValuePresence) {
    EXPECT_TRUE(RunSearch(kSearchKeyExists, kUser).found);
    EXPECT_FALSE(RunSearch(kSearchKeyMissing, kUser).found);
    EXPECT_TRUE(RunSearch(kSearchKeyMissing, kUser + L"\\NoSuchKey").found);
    EXPECT_TRUE(RunSearch(kSearchValueExists, kUser + L"\\Release").found);
    EXPECT_FALSE(RunSearch(kSearchValueExists, kUser + L"\\Absent").found);
    EXPECT_TRUE(RunSearch(kSearchValueMissing, kUser + L"\\Absent").found);
    EXPECT_FALSE(RunSearch(kSearchValueMissing, kUser + L"\\Release").found);
    EXPECT_TRUE(RunSearch(kSearchValueMissing, L"NoBackslash").found);
    EXPECT_FALSE(RunSearch(kSearchKeyExists, L"HKCU").found);
}

TEST_F(RegistrySearch, ValueComparisons) {
    Outcome o = RunSearch(kSearchValueCompare, kUser + L"\\Release", L"", L"", L"G528039");
    EXPECT_TRUE(o.found);
    EXPECT_EQ(L"528040", o.value);
    EXPECT_FALSE(RunSearch(kSearchValueCompare, kUser + L"\\Release", L"", L"", L"L528040").found);
    EXPECT_TRUE(RunSearch(kSearchValueCompare, kUser + L"\\Version", L"", L"", L"S4.8").found);
    EXPECT_TRUE(
        RunSearch(kSearchValueCompare, kUser + L"\\Path", L"", L"", L"M%SystemRoot%\\x").found);
    o = RunSearch(kSearchValueCompare, kUser + L"\\Multi", L"", L"", L"Csecond");
    EXPECT_TRUE(o.found);
    EXPECT_EQ(std::wstring(L"1.0\0second", 10), o.value);
    // Binary data cannot be compared.
    EXPECT_FALSE(RunSearch(kSearchValueCompare, kUser + L"\\Blob", L"", L"", L"D").found);
    EXPECT_FALSE(RunSearch(kSearchValueCompare, kUser + L"\\Absent", L"", L"", L"Dx").found);
}

// The log line of each registry search: what it read from the registry
// (data as text, a DWORD in decimal, names) and what decided it.
namespace {

struct RegistryLineCase {
    int32_t type;
    const wchar_t* path;    // after "HKCU\Software\PravelTests\Registry" when it starts with "\",
                            // else the SearchString, "<key>" being that key and "<dir>"
                            // the folder of the versioned fixture DLL (also in `line`)
    const wchar_t* bounds;  // "VerMin|VerMax|RefContent"
    const wchar_t* line;    // after "Search 1 (<SearchString>): "
};

class RegistryLine : public RegistrySearch,
                     public ::testing::WithParamInterface<RegistryLineCase> {};

}  // namespace

TEST_P(RegistryLine, SaysWhatWasReadAndWhatDecided) {
    TestKey names(HKEY_CURRENT_USER, kUserKey + L"\\Names");
    names.AddSubkey(L"1.5");
    names.AddSubkey(L"beta");
    names.SetString(L"9.1.2", L"x");
    // String data with junk after its NUL, as some installers write it.
    const std::wstring dir =
        FolderOf(testing_support::PathFromEnvironment("FIXTURE_VERSIONED_DLL"));
    TestKey junk(HKEY_CURRENT_USER, kUserKey + L"\\Junk");
    junk.SetString(L"Dir", dir + std::wstring(L"\0junk", 5));
    junk.SetString(L"Expand", std::wstring(L"%SystemRoot%\0junk", 17), REG_EXPAND_SZ);
    auto fill = [&](std::wstring text) {
        for (const auto& [name, value] : {std::pair{L"<key>", kUser}, std::pair{L"<dir>", dir}}) {
            for (size_t at; (at = text.find(name)) != std::wstring::npos;)
                text.replace(at, wcslen(name), value);
        }
        return text;
    };
    const RegistryLineCase& c = GetParam();
    const std::vector<std::wstring> bounds = Split(fill(c.bounds), L"|");
    const std::wstring path = c.path[0] == L'\\' ? kUser + c.path : fill(c.path);
    const Outcome o = RunSearch(c.type, path, bounds.at(0), bounds.at(1), bounds.at(2));
    EXPECT_EQ(fill(c.line), o.line);
}

INSTANTIATE_TEST_SUITE_P(
    EveryRegistryKind, RegistryLine,
    ::testing::Values(
        RegistryLineCase{kSearchRegistryValue, L"\\Version", L"|4.7|",
                         L"read \"4.8.03761\" (above VerMax); VerMin=, VerMax=4.7: not found"},
        RegistryLineCase{kSearchRegistryValue, L"\\Multi", L"||",
                         L"read \"1.0\"; no VerMin or VerMax: any value counts: found"},
        RegistryLineCase{kSearchRegistryValue, L"\\Nope", L"||", L"nothing read: not found"},
        RegistryLineCase{kSearchSubkeyNames, L"\\Names", L"2||",
                         L"read \"1.5\" (below VerMin), \"beta\" (no version); VerMin=2, "
                         L"VerMax=: not found"},
        RegistryLineCase{kSearchValueNames, L"\\Names", L"9.1|9.2|",
                         L"read \"9.1.2\" (accepted); VerMin=9.1, VerMax=9.2: found"},
        RegistryLineCase{kSearchKeyMissing, L"\\Missing", L"||", L"the key did not open: found"},
        RegistryLineCase{kSearchValueMissing, L"\\Release", L"||", L"the value exists: not found"},
        // A DWORD is compared as its decimal text; binary data is not read.
        RegistryLineCase{
            kSearchValueCompare, L"\\Release", L"||G528039",
            L"read \"528040\"; RefContent G528039 (greater, digits only) holds: found"},
        RegistryLineCase{kSearchValueCompare, L"\\Blob", L"||D", L"nothing read: not found"},
        // String data ends at its first NUL in every reader, as in Windows.
        RegistryLineCase{kSearchRegistryValue, L"\\Junk\\Dir", L"||",
                         L"read \"<dir>\"; no VerMin or VerMax: any value counts: found"},
        RegistryLineCase{kSearchValueCompare, L"\\Junk\\Dir", L"||E<dir>",
                         L"read \"<dir>\"; RefContent E<dir> (ends with) holds: found"},
        RegistryLineCase{kSearchValueCompare, L"\\Junk\\Expand", L"||M%SystemRoot%",
                         L"read \"%SystemRoot%\"; RefContent M%SystemRoot% (equals) holds: found"},
        RegistryLineCase{kSearchFile, L"!<key>\\Junk\\Dir!\\absent.dll", L"||",
                         L"nothing read: not found"},
        // A wildcard reads the file it matched and names it.
        RegistryLineCase{kSearchFile, L"!<key>\\Junk\\Dir!\\fixture_v*.dll", L"1.0||",
                         L"read \"1.2.3.4\" from <dir>\\fixture_versioned.dll (accepted); "
                         L"VerMin=1.0, VerMax=: found"},
        RegistryLineCase{kSearchFile, L"<dir>\\fixture_v*.dll", L"1.2.3.5||",
                         L"read \"1.2.3.4\" from <dir>\\fixture_versioned.dll (below VerMin); "
                         L"VerMin=1.2.3.5, VerMax=: not found"}));

TEST_F(RegistrySearch, LongValuesAreReadWhole) {
    const std::wstring longText(5000, L'7');
    key_.SetString(L"Long", longText);
    EXPECT_EQ(longText,
              RunSearch(kSearchValueCompare, kUser + L"\\Long", L"", L"", L"M" + longText).value);
    EXPECT_EQ(std::vector<std::wstring>{longText},
              RunSearch(kSearchRegistryValue, kUser + L"\\Long").values);
}

// String data of an odd size or without its terminating NUL: whole
// characters (size / 2) up to the first NUL, never beyond the data.
TEST_F(RegistrySearch, OddSizedAndUnterminatedStringsAreReadWithinTheirData) {
    key_.SetBinary(L"Odd",
                   std::string("1\0.\0"
                               "2",
                               5),
                   REG_SZ);
    key_.SetBinary(L"OddExpand",
                   std::string("3\0.\0"
                               "4\0"
                               "5",
                               7),
                   REG_EXPAND_SZ);
    key_.SetBinary(L"Unterminated",
                   std::string("6\0.\0"
                               "7\0",
                               6),
                   REG_SZ);
    key_.SetBinary(L"Embedded",
                   std::string("8\0\0\0"
                               "9\0",
                               6),
                   REG_EXPAND_SZ);
    using Values = std::vector<std::wstring>;
    EXPECT_EQ(Values{L"1."}, RunSearch(kSearchRegistryValue, kUser + L"\\Odd").values);
    EXPECT_EQ(Values{L"3.4"}, RunSearch(kSearchRegistryValue, kUser + L"\\OddExpand").values);
    EXPECT_EQ(Values{L"6.7"}, RunSearch(kSearchRegistryValue, kUser + L"\\Unterminated").values);
    EXPECT_EQ(Values{L"8"}, RunSearch(kSearchRegistryValue, kUser + L"\\Embedded").values);
    // The comparison reads the same whole characters.
    EXPECT_EQ(L"1.", RunSearch(kSearchValueCompare, kUser + L"\\Odd", L"", L"", L"S1").value);
    EXPECT_EQ(L"3.4",
              RunSearch(kSearchValueCompare, kUser + L"\\OddExpand", L"", L"", L"S3").value);
}

TEST(RegistryRoots, LocalMachineAndUsersAndMisspelledRoots) {
    TestKey machine(HKEY_LOCAL_MACHINE, L"Software\\PravelTests\\Machine");
    machine.SetString(L"Version", L"3.1");
    EXPECT_TRUE(
        RunSearch(kSearchRegistryValue, L"HKLM\\Software\\PravelTests\\Machine\\Version", L"3")
            .found);
    EXPECT_TRUE(RunSearch(kSearchRegistryValue,
                          L"HKEY_LOCAL_MACHINE\\Software\\PravelTests\\Machine\\Version", L"3")
                    .found);
    EXPECT_TRUE(RunSearch(kSearchKeyExists, L"hklm\\Software\\PravelTests\\Machine").found);
    // HKU, HKEY_USERS and a misspelled root all select HKEY_USERS.
    EXPECT_TRUE(RunSearch(kSearchKeyExists, L"HKU\\.DEFAULT").found);
    EXPECT_TRUE(RunSearch(kSearchKeyExists, L"HKEY_USERS\\.DEFAULT").found);
    EXPECT_TRUE(RunSearch(kSearchKeyExists, L"HKLN\\.DEFAULT").found);
    EXPECT_FALSE(RunSearch(kSearchKeyExists, L"HKLN\\Software\\PravelTests\\Machine").found);
    EXPECT_TRUE(RunSearch(kSearchKeyExists, L"HKCR\\CLSID").found);
}

// A 32-bit program on 64-bit Windows reads HKLM\Software through the 32-bit
// view (Wow6432Node); Options "x" asks for the 64-bit view in both bitnesses.
TEST(RegistryViews, MachineSoftwareIsReadThroughTheProcessViewUnless64IsChosen) {
    const std::wstring path = L"Software\\PravelTests\\Views";
    TestKey native(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY);
    native.SetString(L"Version", L"6.4");
    native.AddSubkey(L"only64");
    TestKey wow(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY);
    wow.SetString(L"Version", L"3.2");
    const std::wstring value = L"HKLM\\" + path + L"\\Version";
    const std::vector<std::wstring> own{kSuite64Bit ? L"6.4" : L"3.2"};
    EXPECT_EQ(own, RunSearch(kSearchRegistryValue, value).values);
    EXPECT_EQ(std::vector<std::wstring>{L"6.4"},
              RunSearch(kSearchRegistryValue, value, L"", L"", L"", true).values);
    const std::wstring only64 = L"HKLM\\" + path + L"\\only64";
    EXPECT_EQ(kSuite64Bit, RunSearch(kSearchKeyExists, only64).found);
    EXPECT_TRUE(RunSearch(kSearchKeyExists, only64, L"", L"", L"", true).found);
}
