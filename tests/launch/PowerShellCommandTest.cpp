#include <gtest/gtest.h>

#include "launch/PowerShellCommand.h"

using namespace pravel;

TEST(CleanupPathList, KeepsTheFirstOfPathsThatDifferOnlyInCase) {
    CleanupPathList list;
    EXPECT_TRUE(list.Add(L"C:\\Temp\\X"));
    EXPECT_FALSE(list.Add(L"c:\\temp\\x"));
    EXPECT_TRUE(list.Add(L"C:\\Temp\\Y"));
    EXPECT_FALSE(list.Add(L""));
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\Temp\\X", L"C:\\Temp\\Y"}), list.Paths());
    list.Filter([](const std::wstring& p) { return p.back() == L'Y'; });
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\Temp\\Y"}), list.Paths());
}

TEST(PowerShellQuoting, SingleQuotesInsidePathsAreDoubled) {
    EXPECT_EQ(L"'C:\\a'", SingleQuoted(L"C:\\a"));
    EXPECT_EQ(L"'C:\\O''Brien\\x'''", SingleQuoted(L"C:\\O'Brien\\x'"));
    EXPECT_EQ(L"'C:\\a','C:\\b c','C:\\it''s'", PathsArgument({L"C:\\a", L"C:\\b c", L"C:\\it's"}));
    EXPECT_EQ(L"", PathsArgument({}));
    // $ and ` are literal inside single quotes: nothing else needs escaping.
    EXPECT_EQ(L"'C:\\$env\\`x'", SingleQuoted(L"C:\\$env\\`x"));
}

TEST(PowerShellArguments, TheWholeInvocation) {
    EXPECT_EQ(
        L"-NoProfile -NonInteractive -NoLogo -ExecutionPolicy RemoteSigned -Command "
        L"\"C:\\Temp\\QL_1A2B.ps1 -paths 'C:\\s\\clean.ps1','C:\\s\\p.exe' -retry_count 10\"",
        PowerShellArguments(L"C:\\Temp\\QL_1A2B.ps1", {L"C:\\s\\clean.ps1", L"C:\\s\\p.exe"}, 10));
    EXPECT_EQ(
        L"-NoProfile -NonInteractive -NoLogo -ExecutionPolicy RemoteSigned -Command "
        L"\"C:\\T\\QL_1.ps1 -paths 'a' -retry_count -3\"",
        PowerShellArguments(L"C:\\T\\QL_1.ps1", {L"a"}, -3));
}

TEST(PowerShellArguments, AScriptPathPowerShellWouldSplitIsCalledQuoted) {
    EXPECT_EQ(L"C:\\Temp\\QL_1.ps1", ScriptInvocation(L"C:\\Temp\\QL_1.ps1"));
    EXPECT_EQ(L"& 'C:\\Users\\Jo Smith\\Temp\\QL_1.ps1'",
              ScriptInvocation(L"C:\\Users\\Jo Smith\\Temp\\QL_1.ps1"));
    EXPECT_EQ(L"& 'C:\\O''Neil\\QL_1.ps1'", ScriptInvocation(L"C:\\O'Neil\\QL_1.ps1"));
    EXPECT_EQ(L"& 'C:\\a(1)\\QL_1.ps1'", ScriptInvocation(L"C:\\a(1)\\QL_1.ps1"));
    const std::wstring arguments = PowerShellArguments(L"C:\\A B\\QL_2.ps1", {L"C:\\x"}, 10);
    EXPECT_NE(std::wstring::npos,
              arguments.find(L"-Command \"& 'C:\\A B\\QL_2.ps1' -paths 'C:\\x'"));
}

TEST(PrivateScriptPath, ReplacesTheExtensionOfTheFileName) {
    EXPECT_EQ(L"C:\\Temp\\QL_1F.ps1", PrivateScriptPath(L"C:\\Temp\\QL_1F.tmp"));
    EXPECT_EQ(L"C:\\T.d\\QL_1F.ps1", PrivateScriptPath(L"C:\\T.d\\QL_1F"));
    EXPECT_EQ(L"", PrivateScriptPath(L""));
}
