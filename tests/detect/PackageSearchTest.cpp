// Search type 13 ("name?architecture?publisher") through the real package
// finder, against the stand-in package manager registered in the prefix.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <memory>
#include <thread>

#include "detect/SearchTestSupport.h"
#include "launch/MsixFinder.h"
#include "support/FakePackageManager.h"
#include "support/Windows10Prefix.h"

using namespace search_test;
using testing_support::FakePackageManager;

namespace {

constexpr int32_t kPackage = pravel::kSearchPackage;

// The search asks for packages on Windows 10 or later only, and this program
// reads the Windows version once: the prefix reports Windows 10 while it runs.
::testing::Environment* const g_windows10 =
    ::testing::AddGlobalTestEnvironment(new testing_support::Windows10Prefix);

class PackageSearch : public ::testing::Test {
  protected:
    std::vector<std::wstring> Values(const std::wstring& searchString) {
        return RunSearch(kPackage, searchString).values;
    }
    FakePackageManager fake_;
};

using Texts = std::vector<std::wstring>;

}  // namespace

TEST_F(PackageSearch, TheNameMatchesOnlyWithTheSameLetterCase) {
    fake_.SetPackages({L"Contoso.Tool|CN=Contoso|9|1.2.3.4"});
    EXPECT_EQ(Texts{L"1.2.3.4"}, Values(L"Contoso.Tool??"));
    const Outcome other = RunSearch(kPackage, L"contoso.tool??");
    EXPECT_FALSE(other.found);
    EXPECT_TRUE(other.values.empty());
    EXPECT_TRUE(Values(L"Contoso.Tool.Extra??").empty());
    EXPECT_EQ(3u, fake_.Counter(L"FindCalls"));  // one query per search
}

TEST_F(PackageSearch, WithoutPublisherAndArchitectureEveryPackageOfThatNameCounts) {
    fake_.SetPackages({L"Fabrikam.Other|CN=Fabrikam|9|9.9.0.0", L"Contoso.Tool|CN=One|0|1.0.0.0",
                       L"Contoso.Tool|CN=Two|9|2.0.0.0"});
    EXPECT_EQ((Texts{L"1.0", L"2.0"}), Values(L"Contoso.Tool"));
    EXPECT_EQ((Texts{L"1.0", L"2.0"}), Values(L"Contoso.Tool??"));
    EXPECT_EQ(Texts{L"2.0"}, Values(L"Contoso.Tool??CN=Two"));  // publisher is the third field
    EXPECT_EQ(Texts{L"2.0"}, Values(L"Contoso.Tool?x64?"));     // architecture the second
    EXPECT_EQ(Texts{L"1.0"}, Values(L"Contoso.Tool?x86?CN=One"));
    EXPECT_TRUE(Values(L"Contoso.Tool?x86?CN=Two").empty());
    EXPECT_TRUE(Values(L"Contoso.Tool??CN=two").empty());
}

TEST_F(PackageSearch, NeutralAndX64DoNotStandInForEachOther) {
    fake_.SetPackages({L"Contoso.Neutral|CN=Contoso|11|1.0.0.0",
                       L"Contoso.Native|CN=Contoso|9|2.0.0.0",
                       L"Contoso.Odd|CN=Contoso|14|3.0.0.0"});
    EXPECT_TRUE(Values(L"Contoso.Neutral?x64?").empty());
    EXPECT_EQ(Texts{L"1.0"}, Values(L"Contoso.Neutral?neutral?"));
    EXPECT_TRUE(Values(L"Contoso.Native?neutral?").empty());
    EXPECT_EQ(Texts{L"2.0"}, Values(L"Contoso.Native?x64?"));
    // An architecture without a text matches only when none is asked for.
    EXPECT_TRUE(Values(L"Contoso.Odd?x86?").empty());
    EXPECT_EQ(Texts{L"3.0"}, Values(L"Contoso.Odd??"));
}

TEST_F(PackageSearch, TheVersionTextIsJudgedByVersionAcceptance) {
    fake_.SetPackages(
        {L"Contoso.Tool|CN=Contoso|9|10.0.0.0", L"Contoso.Beta|CN=Contoso|9|1.0.3.65535"});
    EXPECT_EQ(Texts{L"10.0"}, Values(L"Contoso.Tool??"));
    EXPECT_EQ(Texts{L"1.0.3"}, Values(L"Contoso.Beta??"));
    EXPECT_TRUE(RunSearch(kPackage, L"Contoso.Tool??").found);  // no bounds: present
    Outcome o = RunSearch(kPackage, L"Contoso.Tool??", L"9", L"10.0");
    EXPECT_TRUE(o.found);
    EXPECT_EQ(L"read \"10.0\" (accepted); VerMin=9, VerMax=10.0: found", o.line);
    o = RunSearch(kPackage, L"Contoso.Tool??", L"10.0.0.1");
    EXPECT_FALSE(o.found);
    EXPECT_EQ(L"read \"10.0\" (below VerMin); VerMin=10.0.0.1, VerMax=: not found", o.line);
    EXPECT_EQ(L"nothing read: not found", RunSearch(kPackage, L"Missing.Tool??").line);
    EXPECT_FALSE(RunSearch(kPackage, L"Contoso.Tool??", L"", L"9.9").found);
    EXPECT_FALSE(RunSearch(kPackage, L"Missing.Tool??").found);
}

// Framework packages live side by side in several versions: the search is
// found when any installed one fits, whichever the platform lists first.
TEST_F(PackageSearch, AnyInstalledVersionOfThePackageCanFit) {
    for (const bool newerFirst : {false, true}) {
        const std::wstring older = L"Contoso.Framework|CN=Contoso|9|8.0.1.0";
        const std::wstring newer = L"Contoso.Framework|CN=Contoso|9|9.0.3.0";
        fake_.SetPackages(newerFirst ? Texts{newer, older} : Texts{older, newer});
        const struct {
            const wchar_t* min;
            const wchar_t* max;
            bool found;
        } bounds[] = {{L"9.0", L"9.99", true},
                      {L"8.0", L"8.99", true},
                      {L"8.0", L"", true},
                      {L"", L"8.0", false},
                      {L"9.1", L"", false}};
        for (const auto& b : bounds) {
            EXPECT_EQ(b.found, RunSearch(kPackage, L"Contoso.Framework?x64?", b.min, b.max).found)
                << newerFirst << " " << testing_support::Narrow(b.min) << "-"
                << testing_support::Narrow(b.max);
        }
    }
}

// A package whose identity cannot be read is passed over; the others count.
TEST_F(PackageSearch, AnUnreadableIdentityIsSkipped) {
    fake_.SetPackages({L"Contoso.Tool|CN=Broken|9|5.0.0.0", L"Contoso.Tool|CN=Contoso|9|2.0.0.0",
                       L"Contoso.Tool|CN=Broken|9|6.0.0.0", L"Contoso.Tool|CN=Contoso|0|3.0.0.0"});
    fake_.MakeIdentityUnreadable(L"CN=Broken");
    EXPECT_EQ((Texts{L"2.0", L"3.0"}), Values(L"Contoso.Tool??"));
    EXPECT_TRUE(RunSearch(kPackage, L"Contoso.Tool?x64?", L"2.0").found);
    EXPECT_FALSE(RunSearch(kPackage, L"Contoso.Tool??", L"4.0").found);
}

TEST_F(PackageSearch, FailingPlatformCallsFindNothing) {
    fake_.SetPackages({L"Contoso.Tool|CN=Contoso|9|1.2.3.4"});
    for (const wchar_t* call : {L"ActivateInstance", L"FindPackages", L"get_Name"}) {
        fake_.FailCall(call);
        EXPECT_TRUE(Values(L"Contoso.Tool??").empty()) << testing_support::Narrow(call);
    }
    fake_.FailCall(L"");
    EXPECT_EQ(Texts{L"1.2.3.4"}, Values(L"Contoso.Tool??"));
}

TEST_F(PackageSearch, TheCallerNeedsNoApartmentAndKeepsItsOwn) {
    fake_.SetPackages({L"Contoso.Tool|CN=Contoso|9|1.2.3.4"});
    Texts fromBare;
    Texts fromWindowThread;
    APTTYPE after = APTTYPE_CURRENT;
    std::thread bare([&] { fromBare = pravel::MsixFinder().Find(L"Contoso.Tool", L"", L""); });
    bare.join();
    std::thread window([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        fromWindowThread = pravel::MsixFinder().Find(L"Contoso.Tool", L"CN=Contoso", L"x64");
        APTTYPEQUALIFIER qualifier;
        CoGetApartmentType(&after, &qualifier);
        CoUninitialize();
    });
    window.join();
    EXPECT_EQ(Texts{L"1.2.3.4"}, fromBare);
    EXPECT_EQ(Texts{L"1.2.3.4"}, fromWindowThread);
    EXPECT_TRUE(after == APTTYPE_STA || after == APTTYPE_MAINSTA) << after;
    EXPECT_EQ(static_cast<DWORD>(APTTYPE_MTA), fake_.Counter(L"LastApartment"));
    EXPECT_EQ(0u, fake_.Counter(L"ApartmentRefusals"));
}
