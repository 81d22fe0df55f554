// The operating-system record follows the version the prefix's registry
// reports; the test sets it and puts the original values back.
#include <gtest/gtest.h>
#include <windows.h>

#include "detect/OsNames.h"
#include "detect/OsVersionReader.h"
#include "support/RegistrySnapshot.h"

using namespace pravel;
using testing_support::RegistrySnapshot;

namespace {

const wchar_t* kCurrentVersion = L"Software\\Microsoft\\Windows NT\\CurrentVersion";
const wchar_t* kProductOptions = L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";

}  // namespace

TEST(OsVersionRegistry, DefaultPrefixIsWindows7Sp1) {
    const OsVersionInfo os = ReadOsVersionInfo();
    EXPECT_TRUE(os.is64BitOs);
    EXPECT_EQ(L"Windows 7 SP1 x64", DetailedOsName(os));
    EXPECT_EQ(L"Windows 7 x64", GenericOsName(os));
}

TEST(OsVersionRegistry, Windows10WorkstationNamesFollowTheRegistry) {
    RegistrySnapshot version(kCurrentVersion,
                             {L"CurrentMajorVersionNumber", L"CurrentMinorVersionNumber",
                              L"CurrentBuildNumber", L"ReleaseId", L"CSDVersion"});
    version.SetDword(L"CurrentMajorVersionNumber", 10);
    version.SetDword(L"CurrentMinorVersionNumber", 0);
    version.SetString(L"CurrentBuildNumber", L"19045");
    version.SetString(L"ReleaseId", L"2009");
    version.Delete(L"CSDVersion");
    const OsVersionInfo os = ReadOsVersionInfo();
    EXPECT_EQ(10u, os.major);
    EXPECT_EQ(19045u, os.build);
    EXPECT_EQ(2009, os.releaseId);
    EXPECT_EQ(0, os.servicePack);
    EXPECT_EQ(L"Windows 10 version 22H2 x64", DetailedOsName(os));
    EXPECT_EQ(L"Windows 10 x64", GenericOsName(os));
    EXPECT_TRUE(
        IsOsExcluded(L"", L"Windows 10 x64", os.is64BitOs, DetailedOsName(os), GenericOsName(os)));
    EXPECT_FALSE(IsOsExcluded(L"", L"Windows 10 version 21H2 x64, Windows 8 x64", os.is64BitOs,
                              DetailedOsName(os), GenericOsName(os)));
}

TEST(OsVersionRegistry, Windows11AndServer2022) {
    RegistrySnapshot version(
        kCurrentVersion,
        {L"CurrentMajorVersionNumber", L"CurrentMinorVersionNumber", L"CurrentBuildNumber"});
    RegistrySnapshot options(kProductOptions, {L"ProductType", L"ProductSuite"});
    version.SetDword(L"CurrentMajorVersionNumber", 10);
    version.SetDword(L"CurrentMinorVersionNumber", 0);
    version.SetString(L"CurrentBuildNumber", L"22000");
    OsVersionInfo os = ReadOsVersionInfo();
    EXPECT_EQ(11u, os.major);
    EXPECT_EQ(L"Windows 11 version 21H2 x64", DetailedOsName(os));

    version.SetString(L"CurrentBuildNumber", L"20348");
    options.SetString(L"ProductType", L"ServerNT");
    const std::wstring suites(L"Terminal Server\0Enterprise\0Unknown\0\0", 36);
    options.SetString(L"ProductSuite", suites, REG_MULTI_SZ);
    os = ReadOsVersionInfo();
    EXPECT_TRUE(os.isServer);
    EXPECT_EQ(kProductServer, os.productType);
    EXPECT_EQ(0x0012, os.suiteMask);
    EXPECT_EQ(L"Windows Server 2022 x64", DetailedOsName(os));
    EXPECT_EQ(L"Windows Server x64", GenericOsName(os));

    options.SetString(L"ProductType", L"LanmanNT");
    os = ReadOsVersionInfo();
    EXPECT_EQ(kProductDomainController, os.productType);
}

TEST(OsVersionRegistry, FourCharacterCurrentVersionIsNotUsed) {
    RegistrySnapshot version(kCurrentVersion,
                             {L"CurrentMajorVersionNumber", L"CurrentMinorVersionNumber",
                              L"CurrentVersion", L"CSDVersion"});
    version.Delete(L"CurrentMajorVersionNumber");
    version.Delete(L"CurrentMinorVersionNumber");
    version.SetString(L"CurrentVersion", L"10.0");
    version.SetString(L"CSDVersion", L"Service Pack 3");
    OsVersionInfo os = ReadOsVersionInfo();
    EXPECT_EQ(0u, os.major);
    EXPECT_EQ(3, os.servicePack);
    EXPECT_EQ(L"OsNotIdentified", DetailedOsName(os));
    version.SetString(L"CurrentVersion", L"6.0");
    os = ReadOsVersionInfo();
    EXPECT_EQ(6u, os.major);
    EXPECT_EQ(0u, os.minor);
}
