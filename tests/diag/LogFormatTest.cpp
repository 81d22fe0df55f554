#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Bitness.h"
#include "common/Text.h"
#include "diag/LogFormat.h"

using namespace pravel;

TEST(LogFormat, TimestampIsZeroPaddedWithHyphens) {
    EXPECT_EQ(L"2026-01-02 03-04-05", FormatLogTimestamp({2026, 1, 2, 3, 4, 5}));
    EXPECT_EQ(L"0999-12-31 23-59-59", FormatLogTimestamp({999, 12, 31, 23, 59, 59}));
}

TEST(LogFormat, OsLine) {
    OsVersionInfo os;
    os.major = 10;
    os.build = 19045;
    os.is64BitOs = true;
    EXPECT_EQ(L"OS Version: 10.0.19045 SP0 (workstation) [x64]\r\n", FormatOsLine(os));
    os.major = 6;
    os.minor = 1;
    os.build = 7601;
    os.servicePack = 1;
    os.productType = kProductDomainController;
    os.is64BitOs = false;
    EXPECT_EQ(L"OS Version: 6.1.7601 SP1 (server) [x86]\r\n", FormatOsLine(os));
}

TEST(LogFormat, HeaderBlock) {
    OsVersionInfo os;
    const std::wstring header = FormatLogHeader(os, L"Some CPU");
    const std::wstring banner =
        std::wstring(L"\r\n<< Quillon (") + kBuildArchitecture + L") Log >>\r\n";
    // The version line follows the banner: the project's version, the same
    // text as in the version resources.
    EXPECT_EQ(banner + L"Program version: " PRAVEL_EXPECTED_VERSION
                       L"\r\nOS Version: 0.0.0 SP0 (workstation) [x86]\r\nCPU: Some CPU\r\n\r\n",
              header);
}

// Log lines are built from pieces in one step (Concat): the same text as
// joining the strings, numbers included.
TEST(LogFormat, LinePiecesJoinLikeTheirStrings) {
    const std::wstring path(L"C:\\a\0b", 6);  // an embedded null is kept
    EXPECT_EQ(std::wstring(L"Download of C:\\a\0b: 0x80004005 after 0 of 18446744073709551615", 62),
              Concat({L"Download of ", path, L": ", HResultPiece(static_cast<int32_t>(0x80004005)),
                      L" after ", DecimalPiece(0), L" of ", DecimalPiece(UINT64_MAX)}));
    // Narrow literals (stored as bytes) give the same characters as wide ones.
    EXPECT_EQ(std::wstring(L"Download of C:\\a\0b: 0x80004005 after 0 of ~\x7f\t", 45),
              Concat({"Download of ", path, ": ", HResultPiece(static_cast<int32_t>(0x80004005)),
                      " after ", DecimalPiece(0), " of ", "~\x7f\t", ""}));
    EXPECT_EQ(FormatHResult(0), Concat({HResultPiece(0)}));
    EXPECT_EQ(ToDecimalUnsigned(4294967296u), Concat({DecimalPiece(4294967296u)}));
    EXPECT_EQ(L"", Concat({}));
    std::wstring line = L"x=";
    AppendPieces(line, {std::wstring_view(L"12", 1), L";"});
    EXPECT_EQ(L"x=1;", line);
}

// Table entries kept as narrow ASCII texts: widened and compared with wide
// texts, they behave as the same entries kept wide would, for every pair of
// a set with prefixes, case variants, an embedded null and non-ASCII text.
TEST(LogFormat, NarrowTableTextsActLikeWideOnes) {
    const char* narrow[] = {"",
                            "a",
                            "A",
                            "ab",
                            "aB",
                            "abc",
                            "ProgramFiles",
                            "programfiles",
                            "ProgramFilesFolder",
                            "~\x7f\t",
                            "HKLM",
                            "hklm"};
    std::vector<std::wstring> texts;
    for (const char* n : narrow) texts.push_back(WideFromAscii(n));
    texts.push_back(std::wstring(L"ab\0", 3));
    texts.push_back(L"\u00e1b");
    texts.push_back(L"\u0130");  // folds only outside ASCII: not "i"
    texts.push_back(L"i");
    for (const char* n : narrow) {
        std::wstring wide;
        for (const char* c = n; *c != '\0'; ++c) wide += static_cast<wchar_t>(*c);
        EXPECT_EQ(wide, WideFromAscii(n));
        EXPECT_EQ(Concat({L"<", wide, L">"}), Concat({"<", AsciiPiece(n), ">"}));
        for (const std::wstring& text : texts) {
            EXPECT_EQ(text == wide, EqualsAscii(text, n)) << n;
            EXPECT_EQ(EqualsIgnoreCaseAscii(text, std::wstring_view(wide)),
                      EqualsIgnoreCaseAscii(text, n))
                << n;
        }
    }
}
