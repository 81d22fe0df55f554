#include <gtest/gtest.h>

#include "common/Text.h"

using namespace pravel;

TEST(Text, NormalizeFolderPath) {
    EXPECT_EQ(L"C:\\a\\b\\", NormalizeFolderPath(L"C:\\a\\\\b"));
    EXPECT_EQ(L"C:\\a\\b\\", NormalizeFolderPath(L"C:/a/b/"));
    EXPECT_EQ(L"\\\\server\\share\\x\\", NormalizeFolderPath(L"\\\\server\\share\\\\x"));
    EXPECT_EQ(L"", NormalizeFolderPath(L""));
}

TEST(Text, PathPieces) {
    EXPECT_EQ(L"C:\\Setup", FolderOf(L"C:\\Setup\\pravel.exe"));
    EXPECT_EQ(L"pravel.exe", FileNameOf(L"C:\\Setup\\pravel.exe"));
    EXPECT_EQ(L"a.b", StripExtension(L"a.b.exe"));
    EXPECT_EQ(L"noext", StripExtension(L"noext"));
    EXPECT_TRUE(IsAbsolutePath(L"\\\\srv\\x"));
    EXPECT_TRUE(IsAbsolutePath(L"C:x"));
    EXPECT_FALSE(IsAbsolutePath(L"sub\\x"));
}

TEST(Text, Utf16RoundTripKeepsSurrogatesAndDropsOddByte) {
    const uint8_t bytes[] = {0x41, 0x00, 0x3D, 0xD8, 0x00, 0xDE, 0xE9, 0x00, 0x7F};
    const std::wstring text = DecodeUtf16Le(bytes, sizeof(bytes));
    ASSERT_EQ(4u, text.size());
    EXPECT_EQ(0xD83Du, static_cast<uint32_t>(text[1]));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 8), EncodeUtf16Le(text));
}

TEST(Text, NumbersAndTrim) {
    EXPECT_EQ(L"-1073741819", ToDecimal(static_cast<int32_t>(0xC0000005u)));
    EXPECT_EQ(L"0042", ZeroPadded(42, 4));
    EXPECT_EQ(L"12345", ZeroPadded(12345, 4));
    EXPECT_EQ(L"0x80004005", FormatHResult(static_cast<int32_t>(0x80004005u)));
    EXPECT_EQ(L"a b", TrimWhite(L" \t a b \r\n"));
    EXPECT_TRUE(EqualsIgnoreCaseAscii(L"TRUE", L"true"));
    EXPECT_TRUE(StartsWithIgnoreCaseAscii(L"FILE:///x", L"file://"));
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"b", L""}), Split(L"a, b, ", L", "));
}
