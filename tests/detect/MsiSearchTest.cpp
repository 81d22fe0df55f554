// Windows Installer searches against a package installed into the test
// prefix with msiexec.
#include "detect/SearchTestSupport.h"
#include "support/WinTestSupport.h"

using namespace pravel;
using namespace search_test;
using namespace testing_support;

namespace {

const wchar_t* kProduct = L"{B0E1A2C3-D4E5-4F60-8172-93A4B5C6D7E8}";
const wchar_t* kUpgrade = L"{C1D2E3F4-A5B6-4C7D-8E9F-0A1B2C3D4E5F}";
const wchar_t* kComponent = L"{D2E3F4A5-B6C7-4D8E-9F0A-1B2C3D4E5F60}";
const wchar_t* kUnknown = L"{00000000-1111-2222-3333-444444444444}";

DWORD Msiexec(const std::wstring& arguments) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const RunResult run = Run(std::wstring(system) + L"\\msiexec.exe", arguments, 120000);
    return run.finished ? run.exitCode : 0xFFFFFFFF;
}

class MsiSearch : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const std::wstring package = PathFromEnvironment("DETECTION_FIXTURE_MSI");
        ASSERT_EQ(0u, Msiexec(L"/i \"" + package + L"\" /qn"));
    }
    static void TearDownTestSuite() { Msiexec(std::wstring(L"/x ") + kProduct + L" /qn"); }
};

}  // namespace

TEST_F(MsiSearch, ProductVersion) {
    Outcome o = RunSearch(kSearchMsiProduct, kProduct, L"2.5", L"2.5.7");
    EXPECT_TRUE(o.found);
    EXPECT_EQ(std::vector<std::wstring>{L"2.5.7"}, o.values);
    EXPECT_EQ(L"read \"2.5.7\" (accepted); VerMin=2.5, VerMax=2.5.7: found", o.line);
    o = RunSearch(kSearchMsiProduct, kProduct, L"2.6");
    EXPECT_FALSE(o.found);
    EXPECT_EQ(L"read \"2.5.7\" (below VerMin); VerMin=2.6, VerMax=: not found", o.line);
    o = RunSearch(kSearchMsiProduct, kUnknown);
    EXPECT_FALSE(o.found);
    EXPECT_EQ(L"nothing read: not found", o.line);
    EXPECT_FALSE(RunSearch(kSearchMsiProduct, L"not a guid").found);
}

TEST_F(MsiSearch, RelatedProductsOfAnUpgradeCode) {
    Outcome o = RunSearch(kSearchMsiUpgradeCode, kUpgrade, L"2.0");
    EXPECT_TRUE(o.found);
    EXPECT_EQ(std::vector<std::wstring>{L"2.5.7"}, o.values);
    EXPECT_EQ(L"read \"2.5.7\" (accepted); VerMin=2.0, VerMax=: found", o.line);
    EXPECT_EQ(L"read \"2.5.7\" (above VerMax); VerMin=, VerMax=2.5.6: not found",
              RunSearch(kSearchMsiUpgradeCode, kUpgrade, L"", L"2.5.6").line);
    EXPECT_FALSE(RunSearch(kSearchMsiUpgradeCode, kUnknown).found);
}

TEST_F(MsiSearch, ComponentInstalledLocally) {
    Outcome o = RunSearch(kSearchMsiComponent, kComponent);
    EXPECT_TRUE(o.found);
    EXPECT_EQ(L"the component is installed: found", o.line);
    o = RunSearch(kSearchMsiComponent, kUnknown);
    EXPECT_FALSE(o.found);
    EXPECT_EQ(L"the component is not installed: not found", o.line);
}
