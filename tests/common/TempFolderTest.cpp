#include <gtest/gtest.h>

#include "common/TempFolder.h"
#include "support/WinTestSupport.h"

using namespace testing_support;

TEST(TempFolder, OrdinaryUserGetsGetTempPath) {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    EXPECT_EQ(std::wstring(temp), pravel::ComputeTempFolder(false));
    EXPECT_FALSE(pravel::IsLocalSystemAccount());
}

TEST(TempFolder, LocalSystemGetsTheSystemTemporaryFolder) {
    const bool hasTempPath2 =
        GetProcAddress(GetModuleHandleW(L"kernel32"), "GetTempPath2W") != nullptr;
    const std::wstring folder = pravel::ComputeTempFolder(true);
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(L'\\', folder.back());
    if (!hasTempPath2) {
        wchar_t windows[MAX_PATH];
        GetWindowsDirectoryW(windows, MAX_PATH);
        EXPECT_EQ(std::wstring(windows) + L"\\SystemTemp\\", folder);
        EXPECT_TRUE(DirectoryExists(folder));
    }
}
