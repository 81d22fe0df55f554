// The end of a real pravel.exe run: [PREREQ_CHAINER]'s clean-up files are
// deleted with their emptied folders, and the clean-up script is started
// (through the recording stand-in for powershell.exe) with the program and
// its folders below the clean-up folder.
#include <gtest/gtest.h>

#include <set>

#include "common/TempFolder.h"
#include "launch/PowerShellStandIn.h"
#include "launch/PowerShellTokens.h"
#include "support/WinTestSupport.h"

using namespace testing_support;

namespace {

const std::wstring kSwitches =
    L"-NoProfile -NonInteractive -NoLogo -ExecutionPolicy RemoteSigned -Command \"";

// root\top\<mid>\prog\pravel.exe with its configuration; top is the
// clean-up folder.
class CleanupLayout {
  public:
    explicit CleanupLayout(const std::wstring& tag, const std::wstring& mid = L"mid")
        : root_(tag), mid_(L"top\\" + mid) {
        for (const std::wstring& folder :
             {std::wstring(L"top"), mid_, mid_ + L"\\prog", std::wstring(L"top\\data"),
              std::wstring(L"top\\data\\sub"), std::wstring(L"top\\keep"), std::wstring(L"outside"),
              std::wstring(L"scripts")}) {
            CreateDirectoryW((root_ / folder).c_str(), nullptr);
        }
        EXPECT_TRUE(CopyFileW(PravelExe().c_str(), Exe().c_str(), FALSE));
    }
    std::wstring operator/(const std::wstring& name) const { return root_ / name; }
    std::wstring Top() const { return root_ / L"top"; }
    std::wstring Mid() const { return root_ / mid_; }
    std::wstring Prog() const { return Mid() + L"\\prog"; }
    std::wstring Exe() const { return Prog() + L"\\pravel.exe"; }
    std::wstring Ini() const { return Prog() + L"\\pravel.ini"; }

  private:
    ScratchDir root_;
    std::wstring mid_;
};

void RemoveNewPrivateCopies(const std::set<std::wstring>& before) {
    for (const auto& name : PrivateCopies()) {
        if (before.count(name) == 0) DeleteFileW((pravel::ProgramTempFolder() + name).c_str());
    }
}

// Runs the program of `layout` and waits for the stand-in's record; the
// private script copy that the run leaves to the script is removed.
RecordedCall RunAndWaitForTheScript(const CleanupLayout& layout, PowerShellStandIn& standIn) {
    const std::set<std::wstring> before = PrivateCopies();
    EXPECT_TRUE(testing_support::Run(layout.Exe()).finished);
    const RecordedCall call = standIn.WaitForCall();
    RemoveNewPrivateCopies(before);
    return call;
}

// The -paths list of a recorded invocation (between "-paths " and " -retry_count").
std::wstring PathsOf(const std::wstring& arguments) {
    const size_t start = arguments.find(L" -paths ");
    const size_t end = arguments.rfind(L" -retry_count 10\"");
    if (start == std::wstring::npos || end == std::wstring::npos || end < start) return L"";
    return arguments.substr(start + 8, end - start - 8);
}

}  // namespace

TEST(CleanupRun, DeletesQualifyingFilesAndHandsTheProgramToTheScript) {
    CleanupLayout layout(L"e2eclean");
    PowerShellStandIn standIn(layout / L"call.txt");
    const std::wstring inside = layout / L"top\\data\\sub\\inside.txt";
    const std::wstring outside = layout / L"outside\\out.txt";
    const std::wstring relative = layout / L"top\\keep\\rel.txt";
    const std::wstring script = layout / L"scripts\\clean.ps1";
    WriteBytes(inside, "i");
    WriteBytes(outside, "o");
    WriteBytes(relative, "r");
    WriteBytes(script, "param([string[]]$paths, [int]$retry_count)\r\n");
    const std::wstring files = inside + L"\x0001" + outside + L"\x0001..\\..\\keep\\rel.txt\x0001" +
                               layout / L"top\\missing.txt" + L"\x0001";
    WriteUtf16(layout.Ini(), L"[PREREQ_CHAINER]\r\nCleanupFiles=" + files + L"\r\nCleanupFolders=" +
                                 layout.Top() + L"\r\nCleanupScript=" + script + L"\r\n");
    const std::set<std::wstring> before = PrivateCopies();

    const RunResult run = testing_support::Run(layout.Exe());
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);
    const RecordedCall call = standIn.WaitForCall();
    RemoveNewPrivateCopies(before);

    EXPECT_FALSE(FileExists(layout.Ini()));
    EXPECT_FALSE(FileExists(inside));
    EXPECT_FALSE(DirectoryExists(layout / L"top\\data"));  // emptied: removed up to top
    EXPECT_TRUE(DirectoryExists(layout.Top()));
    EXPECT_TRUE(FileExists(outside));
    EXPECT_TRUE(FileExists(relative));
    EXPECT_TRUE(FileExists(layout.Exe()));
    EXPECT_TRUE(DirectoryExists(layout.Prog()));

    ASSERT_TRUE(call.arrived) << "the clean-up script was not started";
    EXPECT_EQ(0u, call.arguments.find(kSwitches + pravel::ProgramTempFolder() + L"QL_"))
        << Narrow(call.arguments);
    EXPECT_EQ(L"'" + script + L"','" + layout.Exe() + L"','" + layout.Prog() + L"','" +
                  layout / L"top\\mid" + L"'",
              PathsOf(call.arguments))
        << Narrow(call.arguments);
    EXPECT_EQ(0, _wcsicmp((layout / L"scripts").c_str(), call.folder.c_str()))
        << Narrow(call.folder);
}

TEST(CleanupRun, AProgramFolderThatStillHoldsTheScriptIsNotHandedOver) {
    CleanupLayout layout(L"e2ebeside");
    PowerShellStandIn standIn(layout / L"call.txt");
    const std::wstring script = layout.Prog() + L"\\clean.ps1";
    WriteBytes(script, "param([string[]]$paths, [int]$retry_count)\r\n");
    WriteUtf16(layout.Ini(), L"[PREREQ_CHAINER]\r\nCleanupFolders=" + layout.Top() +
                                 L"\r\nCleanupScript=" + script + L"\r\n");

    const RecordedCall call = RunAndWaitForTheScript(layout, standIn);
    EXPECT_FALSE(FileExists(layout.Ini()));
    ASSERT_TRUE(call.arrived);
    EXPECT_EQ(L"'" + script + L"','" + layout.Exe() + L"','" + layout / L"top\\mid" + L"'",
              PathsOf(call.arguments))
        << Narrow(call.arguments);
    EXPECT_EQ(0, _wcsicmp(layout.Prog().c_str(), call.folder.c_str()));
}

TEST(CleanupRun, WithoutThePrereqChainerSectionNothingIsTouched) {
    CleanupLayout layout(L"e2enone");
    PowerShellStandIn standIn(layout / L"call.txt");
    const std::wstring inside = layout / L"top\\data\\sub\\inside.txt";
    const std::wstring script = layout / L"scripts\\clean.ps1";
    WriteBytes(inside, "i");
    WriteBytes(script, "param([string[]]$paths, [int]$retry_count)\r\n");
    // Section names are case-sensitive: this is not the clean-up section.
    WriteUtf16(layout.Ini(), L"[prereq_chainer]\r\nCleanupFiles=" + inside +
                                 L"\r\nCleanupFolders=" + layout.Top() + L"\r\nCleanupScript=" +
                                 script + L"\r\n");

    const RunResult run = testing_support::Run(layout.Exe());
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_FALSE(standIn.WaitForCall(2000).arrived);
    EXPECT_TRUE(FileExists(layout.Ini()));
    EXPECT_TRUE(FileExists(layout.Exe()));
    EXPECT_TRUE(FileExists(inside));
}

// PowerShell ends a single-quoted string at typographic quotes as well: in
// the paths handed to the script, each of them arrives doubled.
TEST(CleanupRun, TypographicQuotesInPathsArriveDoubled) {
    CleanupLayout layout(L"e2equotes", L"O\u2019Brien\u2018s \u201Ax\u201B");
    PowerShellStandIn standIn(layout / L"call.txt");
    const std::wstring script = layout / L"scripts\\clean.ps1";
    WriteBytes(script, "param([string[]]$paths, [int]$retry_count)\r\n");
    WriteUtf16(layout.Ini(), L"[PREREQ_CHAINER]\r\nCleanupFolders=" + layout.Top() +
                                 L"\r\nCleanupScript=" + script + L"\r\n");

    const RecordedCall call = RunAndWaitForTheScript(layout, standIn);
    ASSERT_TRUE(call.arrived);
    const std::wstring mid = L"O\u2019\u2019Brien\u2018\u2018s \u201A\u201Ax\u201B\u201B";
    EXPECT_EQ(L"'" + script + L"','" + layout.Top() + L"\\" + mid + L"\\prog\\pravel.exe','" +
                  layout.Top() + L"\\" + mid + L"\\prog','" + layout.Top() + L"\\" + mid + L"'",
              PathsOf(call.arguments))
        << Narrow(call.arguments);
}

// A temporary folder with brackets in its name (a user folder j[1]):
// PowerShell looks the script's path up as a wildcard pattern, in which [1]
// matches "1". The path arrives escaped, so that it names the private copy
// in j[1] and not the file of the same name in j1.
TEST(CleanupRun, ATemporaryFolderWithBracketsNamesThePrivateCopyItself) {
    CleanupLayout layout(L"e2ebrackets");
    PowerShellStandIn standIn(layout / L"call.txt");
    const std::wstring temp = layout / L"j[1]";
    CreateDirectoryW(temp.c_str(), nullptr);
    CreateDirectoryW((layout / L"j1").c_str(), nullptr);
    const std::wstring script = layout / L"scripts\\clean.ps1";
    WriteBytes(script, "param([string[]]$paths, [int]$retry_count)\r\n");
    WriteUtf16(layout.Ini(), L"[PREREQ_CHAINER]\r\nCleanupFolders=" + layout.Top() +
                                 L"\r\nCleanupScript=" + script + L"\r\n");
    wchar_t oldTmp[MAX_PATH] = {};
    wchar_t oldTemp[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TMP", oldTmp, MAX_PATH);
    GetEnvironmentVariableW(L"TEMP", oldTemp, MAX_PATH);
    SetEnvironmentVariableW(L"TMP", temp.c_str());
    SetEnvironmentVariableW(L"TEMP", temp.c_str());
    const RunResult run = testing_support::Run(layout.Exe());
    SetEnvironmentVariableW(L"TMP", oldTmp);
    SetEnvironmentVariableW(L"TEMP", oldTemp);
    ASSERT_TRUE(run.finished);
    const RecordedCall call = standIn.WaitForCall();
    ASSERT_TRUE(call.arrived) << "the clean-up script was not started";
    EXPECT_NE(std::wstring::npos, call.arguments.find(L"-Command \"& '" + layout / L"j`[1`]\\QL_"))
        << Narrow(call.arguments);
    powershell_tokens::Command command;
    ASSERT_TRUE(powershell_tokens::ReadCommand(call.arguments, command)) << Narrow(call.arguments);
    EXPECT_EQ(0u, command.script.find(temp + L"\\QL_")) << Narrow(command.script);
    EXPECT_TRUE(FileExists(command.script)) << Narrow(command.script);
    DeleteFileW(command.script.c_str());
}
