#include <gtest/gtest.h>

#include "detect/OsVersionInfo.h"
#include "detect/SystemInfo.h"
#include "support/WinTestSupport.h"

using namespace testing_support;

TEST(SystemInfo, ProductNameComesFromTheVersionResource) {
    std::wstring name;
    ASSERT_TRUE(pravel::GetProductName(PravelExe(), name));
    EXPECT_EQ(L"Quillon", name);
    // A file without a version resource has no product name.
    ScratchDir dir(L"prodname");
    WriteBytes(dir / L"plain.txt", "text");
    EXPECT_FALSE(pravel::GetProductName(dir / L"plain.txt", name));
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
