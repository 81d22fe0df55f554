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
#include "support/RegistrySnapshot.h"

using namespace search_test;
using testing_support::FakePackageManager;

namespace {

constexpr int32_t kPackage = pravel::kSearchPackage;

// The search asks for packages on Windows 10 or later only, and this program
// reads the Windows version once: the prefix reports Windows 10 while it runs.
class Windows10 : public ::testing::Environment {
  public:
    void SetUp() override {
        version_ = std::make_unique<testing_support::RegistrySnapshot>(
            L"Software\\Microsoft\\Windows NT\\CurrentVersion",
            std::initializer_list<const wchar_t*>{L"CurrentMajorVersionNumber",
                                                  L"CurrentMinorVersionNumber",
                                                  L"CurrentBuildNumber", L"CSDVersion"});
        version_->SetDword(L"CurrentMajorVersionNumber", 10);
        version_->SetDword(L"CurrentMinorVersionNumber", 0);
        version_->SetString(L"CurrentBuildNumber", L"19045");
        version_->Delete(L"CSDVersion");
    }
    void TearDown() override { version_.reset(); }

  private:
    std::unique_ptr<testing_support::RegistrySnapshot> version_;
};
::testing::Environment* const g_windows10 = ::testing::AddGlobalTestEnvironment(new Windows10);

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

TEST_F(PackageSearch, WithoutPublisherAndArchitectureTheFirstOfThatNameCounts) {
    fake_.SetPackages({L"Fabrikam.Other|CN=Fabrikam|9|9.9.0.0", L"Contoso.Tool|CN=One|0|1.0.0.0",
                       L"Contoso.Tool|CN=Two|9|2.0.0.0"});
    EXPECT_EQ(Texts{L"1.0"}, Values(L"Contoso.Tool"));
    EXPECT_EQ(Texts{L"1.0"}, Values(L"Contoso.Tool??"));
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
    EXPECT_TRUE(RunSearch(kPackage, L"Contoso.Tool??", L"9", L"10.0").found);
    EXPECT_FALSE(RunSearch(kPackage, L"Contoso.Tool??", L"10.0.0.1").found);
    EXPECT_FALSE(RunSearch(kPackage, L"Contoso.Tool??", L"", L"9.9").found);
    EXPECT_FALSE(RunSearch(kPackage, L"Missing.Tool??").found);
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
    std::wstring fromBare;
    std::wstring fromWindowThread;
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
    EXPECT_EQ(L"1.2.3.4", fromBare);
    EXPECT_EQ(L"1.2.3.4", fromWindowThread);
    EXPECT_TRUE(after == APTTYPE_STA || after == APTTYPE_MAINSTA) << after;
    EXPECT_EQ(static_cast<DWORD>(APTTYPE_MTA), fake_.Counter(L"LastApartment"));
    EXPECT_EQ(0u, fake_.Counter(L"ApartmentRefusals"));
}
