#include <gtest/gtest.h>

#include "launch/PowerShellCommand.h"
#include "launch/PowerShellTokens.h"

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

// PowerShell also ends a single-quoted string at the typographic quotes
// U+2018 to U+201B: each is doubled like the apostrophe.
TEST(PowerShellQuoting, TypographicQuotesAreDoubledToo) {
    EXPECT_EQ(L"'C:\\Users\\O\u2019\u2019Brien\\x'", SingleQuoted(L"C:\\Users\\O\u2019Brien\\x"));
    EXPECT_EQ(L"'\u2018\u2018a\u201A\u201Ab\u201B\u201B''\u2019\u2019'",
              SingleQuoted(L"\u2018a\u201Ab\u201B'\u2019"));
    // The double quotes U+201C to U+201E are literal inside single quotes.
    EXPECT_EQ(L"'\u201C\u201D\u201E'", SingleQuoted(L"\u201C\u201D\u201E"));
}

// Whatever the paths hold, PowerShell's tokenizer gives them back unchanged.
TEST(PowerShellQuoting, PathsReadBackUnchanged) {
    const std::vector<std::wstring> paths = {
        L"C:\\Users\\O\u2019Brien\\AppData\\x';Remove-Item C:\\ -Recurse;'",
        L"C:\\\u2018q\u2019\\\u201Aw\u201B\\'' ,x",
        L"C:\\a\u00A0b\\c\u3000d\\$env:x `n",
        L"\u2019",
        L"",
    };
    for (const std::wstring& script :
         {std::wstring(L"C:\\Temp\\QL_1.ps1"), std::wstring(L"C:\\O\u2019Neil\\QL_1.ps1"),
          std::wstring(L"C:\\Users\\j[1]\\QL_1.ps1"), std::wstring(L"C:\\a`[b]``*?\\QL_1.ps1")}) {
        powershell_tokens::Command command;
        ASSERT_TRUE(
            powershell_tokens::ReadCommand(PowerShellArguments(script, paths, 10), command));
        EXPECT_EQ(script, command.script);
        EXPECT_EQ(paths, command.paths);
        EXPECT_EQ(L"10", command.retryCount);
    }
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
    // Typographic quotes and the blanks PowerShell counts as whitespace.
    for (wchar_t c : {0x2018, 0x2019, 0x201A, 0x201B, 0x201C, 0x201D, 0x201E, 0x00A0, 0x0085,
                      0x1680, 0x2000, 0x2007, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000}) {
        const std::wstring path = L"C:\\Users\\A" + std::wstring(1, c) + L"B\\QL_1.ps1";
        EXPECT_EQ(L"& " + SingleQuoted(path), ScriptInvocation(path)) << std::hex << int(c);
    }
    // A zero-width space is no whitespace to PowerShell.
    EXPECT_EQ(L"C:\\A\u200BB\\QL_1.ps1", ScriptInvocation(L"C:\\A\u200BB\\QL_1.ps1"));
    const std::wstring arguments = PowerShellArguments(L"C:\\A B\\QL_2.ps1", {L"C:\\x"}, 10);
    EXPECT_NE(std::wstring::npos,
              arguments.find(L"-Command \"& 'C:\\A B\\QL_2.ps1' -paths 'C:\\x'"));
}

// A temporary folder with "[1]" in it (a user folder j[1]): PowerShell would
// take the path as a pattern matching C:\Users\j1\...; the escaped form
// names the file itself.
TEST(PowerShellArguments, ATemporaryFolderWithBracketsIsNamedLiterally) {
    const std::wstring script = L"C:\\Users\\j[1]\\AppData\\Local\\Temp\\QL_1A.ps1";
    EXPECT_EQ(L"& 'C:\\Users\\j`[1`]\\AppData\\Local\\Temp\\QL_1A.ps1'", ScriptInvocation(script));
    EXPECT_EQ(
        L"-NoProfile -NonInteractive -NoLogo -ExecutionPolicy RemoteSigned -Command "
        L"\"& 'C:\\Users\\j`[1`]\\AppData\\Local\\Temp\\QL_1A.ps1' -paths "
        L"'C:\\Users\\j[1]\\x' -retry_count 10\"",
        PowerShellArguments(script, {L"C:\\Users\\j[1]\\x"}, 10));
    // A backtick is escaped too, so that it stays one; a quote is still doubled.
    EXPECT_EQ(L"& 'C:\\a``b\\O''`[x`]\\QL_1.ps1'", ScriptInvocation(L"C:\\a`b\\O'[x]\\QL_1.ps1"));
    // Unescaped, the reader's lookup refuses the path (it would be a pattern).
    std::wstring resolved;
    EXPECT_FALSE(powershell_tokens::ResolveCommandPath(script, resolved));
    EXPECT_TRUE(powershell_tokens::ResolveCommandPath(L"a`[1`]``x`y", resolved));
    EXPECT_EQ(L"a[1]`x`y", resolved);
}

TEST(PrivateScriptPath, ReplacesTheExtensionOfTheFileName) {
    EXPECT_EQ(L"C:\\Temp\\QL_1F.ps1", PrivateScriptPath(L"C:\\Temp\\QL_1F.tmp"));
    EXPECT_EQ(L"C:\\T.d\\QL_1F.ps1", PrivateScriptPath(L"C:\\T.d\\QL_1F"));
    EXPECT_EQ(L"", PrivateScriptPath(L""));
}
