#include <gtest/gtest.h>

#include <set>

#include "common/TempFolder.h"
#include "common/Text.h"
#include "launch/CleanupScriptRunner.h"
#include "launch/PowerShellStandIn.h"
#include "support/WinTestSupport.h"

using namespace pravel;
using namespace testing_support;

namespace {

const char kScript[] = "param([string[]]$paths, [int]$retry_count)\r\n";
const std::wstring kSwitches =
    L"-NoProfile -NonInteractive -NoLogo -ExecutionPolicy RemoteSigned -Command \"";

// The QL_ files that appeared since `before`.
std::set<std::wstring> NewPrivateCopies(const std::set<std::wstring>& before) {
    std::set<std::wstring> added;
    for (const auto& name : PrivateCopies()) {
        if (before.count(name) == 0) added.insert(name);
    }
    return added;
}

bool IsPrivateScriptName(const std::wstring& name) {
    if (name.size() < 8 || name.compare(0, 3, L"QL_") != 0) return false;
    if (name.compare(name.size() - 4, 4, L".ps1") != 0) return false;
    const std::wstring digits = name.substr(3, name.size() - 7);
    if (digits.empty() || digits.size() > 4) return false;
    for (wchar_t c : digits) {
        if (!iswxdigit(c)) return false;
    }
    return true;
}

// Checks `arguments` against the expected invocation and returns the path
// of the private script it names (empty when it does not match).
std::wstring CheckInvocation(const std::wstring& arguments, const std::wstring& paths) {
    const std::wstring head = kSwitches + ProgramTempFolder();
    const std::wstring tail = L" -paths " + paths + L" -retry_count 10\"";
    EXPECT_EQ(0u, arguments.find(head)) << Narrow(arguments);
    EXPECT_GT(arguments.size(), head.size() + tail.size()) << Narrow(arguments);
    if (arguments.find(head) != 0 || arguments.size() <= head.size() + tail.size()) return L"";
    EXPECT_EQ(tail, arguments.substr(arguments.size() - tail.size())) << Narrow(arguments);
    const std::wstring name =
        arguments.substr(head.size(), arguments.size() - head.size() - tail.size());
    EXPECT_TRUE(IsPrivateScriptName(name)) << Narrow(name);
    return ProgramTempFolder() + name;
}

void ExpectNoCall(const PowerShellStandIn& standIn) {
    EXPECT_FALSE(standIn.WaitForCall(1000).arrived);
}

}  // namespace

TEST(FindWindowsPowerShell, TheSystemFoldersCopy) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring found = FindWindowsPowerShell();
    EXPECT_EQ(
        0, _wcsicmp((std::wstring(system) + L"\\WindowsPowerShell\\v1.0\\powershell.exe").c_str(),
                    found.c_str()))
        << Narrow(found);
}

TEST(CleanupScriptRunner, DropsFoldersStillInUseKeepsFilesAndMissingPaths) {
    ScratchDir dir(L"inuse");
    CreateDirectoryW((dir / L"one").c_str(), nullptr);
    CreateDirectoryW((dir / L"two").c_str(), nullptr);
    CreateDirectoryW((dir / L"empty").c_str(), nullptr);
    WriteBytes(dir / L"one\\a", "a");
    WriteBytes(dir / L"two\\a", "a");
    CreateDirectoryW((dir / L"two\\b").c_str(), nullptr);
    WriteBytes(dir / L"file.txt", "f");
    CleanupScriptRunner runner;
    for (const wchar_t* name : {L"file.txt", L"one", L"two", L"empty", L"missing"}) {
        runner.AddPath(dir / name);
    }
    runner.AddPath(dir / L"ONE");
    runner.DropFoldersStillInUse();
    EXPECT_EQ((std::vector<std::wstring>{dir / L"file.txt", dir / L"one", dir / L"empty",
                                         dir / L"missing"}),
              runner.Paths());
}

TEST(CleanupScriptRunner, StartsPowerShellOnAPrivateCopyWithThePathList) {
    ScratchDir dir(L"runner");
    PowerShellStandIn standIn(dir / L"call.txt");
    CreateDirectoryW((dir / L"scripts").c_str(), nullptr);
    const std::wstring script = dir / L"scripts\\clean.ps1";
    WriteBytes(script, kScript);
    CreateDirectoryW((dir / L"O'Brien").c_str(), nullptr);
    CreateDirectoryW((dir / L"busy").c_str(), nullptr);
    WriteBytes(dir / L"busy\\1", "1");
    WriteBytes(dir / L"busy\\2", "2");
    const std::wstring program = dir / L"Temp\\X";
    std::wstring sameInOtherCase = program;
    for (auto& c : sameInOtherCase) c = static_cast<wchar_t>(towlower(c));

    const std::set<std::wstring> before = PrivateCopies();
    CleanupScriptRunner runner;
    runner.SetScript(script, false, 10);
    runner.AddPath(script);
    runner.AddPath(program);
    runner.AddPath(sameInOtherCase);
    runner.AddPath(dir / L"O'Brien");
    runner.AddPath(dir / L"busy");
    runner.DropFoldersStillInUse();
    EXPECT_TRUE(runner.Run());

    const RecordedCall call = standIn.WaitForCall();
    ASSERT_TRUE(call.arrived) << "powershell.exe was not started";
    const std::wstring privateScript = CheckInvocation(
        call.arguments, L"'" + script + L"','" + program + L"','" + dir.Path() + L"\\O''Brien'");
    EXPECT_EQ(0, _wcsicmp((dir / L"scripts").c_str(), call.folder.c_str())) << Narrow(call.folder);
    ASSERT_FALSE(privateScript.empty());
    EXPECT_EQ(kScript, ReadBytes(privateScript));
    const std::set<std::wstring> added = NewPrivateCopies(before);
    EXPECT_EQ(std::set<std::wstring>{FileNameOf(privateScript)}, added);  // no QL_*.tmp left
    DeleteFileW(privateScript.c_str());

    // It starts once only.
    DeleteFileW((dir / L"call.txt").c_str());
    EXPECT_TRUE(runner.Run());
    ExpectNoCall(standIn);
}

TEST(CleanupScriptRunner, NothingStartsAndNothingIsLeftWithoutPathsOrScript) {
    ScratchDir dir(L"runnernone");
    PowerShellStandIn standIn(dir / L"call.txt");
    const std::wstring script = dir / L"clean.ps1";
    WriteBytes(script, kScript);
    const std::set<std::wstring> before = PrivateCopies();
    {
        CleanupScriptRunner noPaths;
        noPaths.SetScript(script, false, 10);
        EXPECT_TRUE(noPaths.Run());
    }
    {
        CleanupScriptRunner notConfigured;
        notConfigured.AddPath(dir / L"x");
        EXPECT_TRUE(notConfigured.Run());
    }
    {
        CleanupScriptRunner noScript;
        noScript.SetScript(dir / L"missing.ps1", false, 10);
        noScript.AddPath(dir / L"x");
        EXPECT_FALSE(noScript.Run());
    }
    ExpectNoCall(standIn);
    EXPECT_TRUE(NewPrivateCopies(before).empty());
}

TEST(CleanupScriptRunner, StartsWhenDestroyedWithoutARun) {
    ScratchDir dir(L"runnerend");
    PowerShellStandIn standIn(dir / L"call.txt");
    const std::wstring script = dir / L"clean.ps1";
    WriteBytes(script, kScript);
    const std::set<std::wstring> before = PrivateCopies();
    {
        CleanupScriptRunner runner;
        runner.SetScript(script, false, 10);
        runner.AddPath(dir / L"x");
    }
    const RecordedCall call = standIn.WaitForCall();
    ASSERT_TRUE(call.arrived);
    CheckInvocation(call.arguments, L"'" + dir / L"x" + L"'");
    EXPECT_EQ(0, _wcsicmp(dir.Path().c_str(), call.folder.c_str()));
    for (const auto& name : NewPrivateCopies(before)) {
        DeleteFileW((ProgramTempFolder() + name).c_str());
    }
}
