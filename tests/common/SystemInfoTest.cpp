#include <gtest/gtest.h>

#include "common/SystemInfo.h"
#include "detect/OsVersionReader.h"
#include "support/WinTestSupport.h"

using namespace testing_support;

TEST(SystemInfo, ProductNameComesFromTheVersionResource) {
    std::wstring name;
    ASSERT_TRUE(pravel::GetProductName(PravelExe(), name));
    EXPECT_EQ(PRAVEL_EXPECTED_PRODUCT_NAME, name);
    // A file without a version resource has no product name.
    ScratchDir dir(L"prodname");
    WriteBytes(dir / L"plain.txt", "text");
    EXPECT_FALSE(pravel::GetProductName(dir / L"plain.txt", name));
}

TEST(SystemInfo, ProgramCarriesIcon128) {
    HMODULE program = LoadLibraryExW(PravelExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, program);
    EXPECT_NE(nullptr, FindResourceW(program, MAKEINTRESOURCEW(128),
                                     MAKEINTRESOURCEW(14)));  // RT_GROUP_ICON
    FreeLibrary(program);
}

TEST(SystemInfo, CommonAppDataFolder) {
    std::wstring folder;
    ASSERT_TRUE(pravel::GetCommonAppDataFolder(folder));
    EXPECT_TRUE(DirectoryExists(folder));
}

TEST(OsVersionInfoRead, SixtyFourBitBuildSeesSixtyFourBitWindows) {
    const pravel::OsVersionInfo& os = pravel::GetOsVersionInfo();
    EXPECT_TRUE(os.is64BitOs);
    EXPECT_GE(os.major, 5u);
    EXPECT_GT(os.build, 0u);
    EXPECT_EQ(&os, &pravel::GetOsVersionInfo());
}
