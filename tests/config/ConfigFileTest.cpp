#include <gtest/gtest.h>

#include "chainer/LaunchContext.h"
#include "config/ConfigFile.h"

using namespace pravel;

TEST(ConfigurationPath, SameFolderSameNameIniExtension) {
    EXPECT_EQ(L"C:\\Setup\\pravel.ini", ConfigurationPathFor(L"C:\\Setup\\pravel.exe"));
    EXPECT_EQ(L"C:\\Setup\\other.ini", ConfigurationPathFor(L"C:\\Setup\\other.exe"));
    EXPECT_EQ(L"C:\\a.b.ini", ConfigurationPathFor(L"C:\\a.b.exe"));
    EXPECT_EQ(L"C:\\dir.x\\noext.ini", ConfigurationPathFor(L"C:\\dir.x\\noext"));
}

TEST(ExtractionFolder, ConfiguredValueIsExpandedAndNormalised) {
    const TextExpander expand = [](const std::wstring& s) {
        return s == L"[TempFolder]x" ? std::wstring(L"C:\\t\\\\x") : s;
    };
    EXPECT_EQ(L"C:\\t\\x\\", ComputeWorkFolder(L"[TempFolder]x", L"{P}", L"C:\\tmp\\", expand));
    EXPECT_EQ(L"C:\\tmp\\{P}\\", ComputeWorkFolder(L"", L"{P}", L"C:\\tmp\\", expand));
    // A network path keeps its leading "\\\\".
    EXPECT_EQ(L"\\\\srv\\share\\x\\",
              ComputeWorkFolder(L"\\\\srv\\share//x", L"{P}", L"C:\\tmp\\", expand));
    EXPECT_EQ(L"C:\\tmp\\", ComputeWorkFolder(L"", L"", L"C:\\tmp", TextExpander()));
}
