// Package entries of the installer launcher through the real package
// installation, against the stand-in package manager registered in the prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include "chainer/ChainerApp.h"
#include "chainer/InterbootContext.h"
#include "common/ErrorCodes.h"
#include "common/HResultError.h"
#include "common/ProcessLaunch.h"
#include "common/TempFolder.h"
#include "config/IniDocument.h"
#include "launch/InstallerLauncher.h"
#include "launch/LaunchTestLog.h"
#include "launch/PackageFinder.h"
#include "support/FakeInstaller.h"
#include "support/FakePackageManager.h"

using namespace pravel;
using namespace testing_support;
using launch_test::LogMark;
using launch_test::RecordingListener;

namespace {

LaunchItem Entry(const std::wstring& path) {
    LaunchItem item;
    item.filePath = path;
    item.arguments = L"/q";
    item.displayName = L"Package";
    item.listenerName = L"PKG_RC";
    return item;
}

// "Launch failed. Error:" and the system text of `code` without its line end.
std::wstring FailureLine(uint32_t code) {
    std::wstring text = FormatSystemMessage(code);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return L"Launch failed. Error:" + text;
}

bool AlwaysLocalSystem() {
    return true;
}

class PackageLaunch : public ::testing::Test {
  protected:
    void SetUp() override { launch_test::TestLogPath(); }
    void TearDown() override { SetLocalSystemProbe(nullptr); }

    std::wstring PackageFile(const std::wstring& name, const std::string& identity = "") {
        WriteBytes(dir_ / name, identity);
        return dir_ / name;
    }

    FakePackageManager fake_;
    ScratchDir dir_{L"pkglaunch"};
    RecordingListener listener_;
};

}  // namespace

TEST_F(PackageLaunch, PackageFilesAreAddedByTheManagerWithTheirPathAsUri) {
    InstallerLauncher launcher(&listener_);
    int32_t index = 0;
    for (const wchar_t* name : {L"Setup.MSIX", L"Pkg.MsixBundle", L"App.APPX"}) {
        const std::wstring path = PackageFile(name);
        launcher.Add(Entry(path));
        LogMark log;
        EXPECT_TRUE(launcher.Launch(index)) << Narrow(name);
        EXPECT_EQ(path, fake_.Text(L"LastUri"));
        EXPECT_EQ(0u, launcher.Item(index).returnCode);
        EXPECT_TRUE(log.Has(L"Return code of launched file:0"));
        EXPECT_FALSE(log.Has(FailureLine(1627)));
        ++index;
    }
    EXPECT_EQ(3u, fake_.Counter(L"AddCalls"));
    ASSERT_EQ(3u, listener_.calls.size());
    EXPECT_EQ(std::make_pair(std::string("PKG_RC"), 0u), listener_.calls[2]);
}

TEST_F(PackageLaunch, ALongPathReachesTheManagerInItsLongForm) {
    std::wstring folder = dir_.Path();
    while (folder.size() < 250) {
        folder += L"\\" + std::wstring(40, L'p');
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr));
    }
    const std::wstring path = folder + L"\\Setup.msix";
    WriteBytes(L"\\\\?\\" + path, "Contoso.Long|CN=Contoso|9|4.0.0.0");
    InstallerLauncher launcher(&listener_);
    launcher.Add(Entry(path));
    EXPECT_TRUE(launcher.Launch(0));
    EXPECT_EQ(L"\\\\?\\" + path, fake_.Text(L"LastUri"));
    EXPECT_EQ(std::vector<std::wstring>{L"Contoso.Long|CN=Contoso|9|4.0.0.0"}, fake_.Packages());
}

TEST_F(PackageLaunch, ErrorAndCanceledAreReturnCode1627) {
    const std::wstring path = PackageFile(L"Setup.msix");
    for (DWORD outcome : {3u, 2u}) {
        fake_.SetOutcome(outcome);
        fake_.SetDelay(outcome == 3 ? 300 : 0);
        fake_.SetResultsOnError(outcome == 2);  // Error: GetResults fails; Canceled: the status
        InstallerLauncher launcher(&listener_);
        launcher.Add(Entry(path));
        LogMark log;
        EXPECT_FALSE(launcher.Launch(0)) << outcome;
        EXPECT_EQ(1627u, launcher.Item(0).returnCode);
        EXPECT_EQ(1627u, launcher.LastLaunchError());
        EXPECT_TRUE(log.Has(FailureLine(1627))) << outcome;
        EXPECT_TRUE(log.Has(L"Return code of launched file:1627"));
        EXPECT_TRUE(outcome == 3 ? log.Has(L"Package manager call failed:GetResults 0x80073CF3")
                                 : log.Has(L"Package deployment ended with status:2"));
    }
    EXPECT_EQ(2u, fake_.Counter(L"AddCalls"));
}

TEST_F(PackageLaunch, LookAlikesAreNotPackagesForAnyAccount) {
    PlaceFakeInstaller(dir_ / L"App.appxbundle");
    PlaceFakeInstaller(dir_ / L"App.msixupload");
    for (bool localSystem : {false, true}) {
        SetLocalSystemProbe(localSystem ? &AlwaysLocalSystem : nullptr);
        InstallerLauncher launcher(&listener_);
        launcher.Add(Entry(dir_ / L"App.appxbundle"));
        launcher.Add(Entry(dir_ / L"App.msixupload"));
        EXPECT_TRUE(launcher.Launch(0)) << localSystem;
        EXPECT_TRUE(launcher.Launch(1)) << localSystem;
    }
    EXPECT_EQ(0u, fake_.Counter(L"AddCalls"));
    EXPECT_EQ(4u, ReadRecords(dir_.Path()).size());  // all four ran as programs
}

namespace {
// A package search (type 13) that fails like a search fault, from its
// `failAt`-th call on; earlier calls find nothing.
struct FailingFinder : PackageFinder {
    explicit FailingFinder(int failAt) : failAt(failAt) {}
    std::vector<std::wstring> FindVersions(const std::wstring&, const std::wstring&,
                                           const std::wstring&) override {
        if (++calls >= failAt) throw HResultError(kHrOutOfMemory);
        return {};
    }
    int failAt;
    int calls = 0;
};
const wchar_t kPackageSearch[] = L"SearchType1=13\r\nSearchString1=Contoso.Tool?x64?CN=Contoso\r\n";

// Whole runs (ChainerApp::RunPrerequisites, silent) whose package searches
// fail; this program's prefix reports Windows 10, where type 13 searches.
class DecisionPass : public ::testing::Test {
  protected:
    void SetUp() override {
        launch_test::TestLogPath();
        InterbootContext::DeleteKey();
    }
    void TearDown() override {
        SetPackageFinder(nullptr);
        InterbootContext::DeleteKey();
    }
    void Load(const std::wstring& prerequisites) {
        IniDocument document;
        document.Parse(L"[GeneralOptions]\r\nOptions=q\r\n" + prerequisites);
        set_.Load(document, TextExpander());
    }
    std::wstring Fake(const wchar_t* name) {
        PlaceFakeInstaller(dir_ / name);
        return dir_ / name;
    }
    static std::wstring Missing() {
        return L"SearchType1=5\r\nSearchString1=HKCU\\Software\\PravelTests\\NeverThere\r\n";
    }

    ScratchDir dir_{L"decisionpass"};
    PrerequisiteSet set_;
};

}  // namespace

// A first decision pass that stops on an error: the prerequisites it did not
// reach are named, and a mandatory one among them is not known to be
// present, so the run never ends with 0.
TEST_F(DecisionPass, AnUnfinishedDecisionPassNeverReportsSuccessForAMandatoryPrerequisite) {
    FailingFinder finder(1);
    SetPackageFinder(&finder);
    Load(
        L"[PREREQUISITES]\r\nApp1=Present\r\nApp2=Faulting\r\nApp3=Mandatory\r\n"
        L"[App1]\r\nSetupFile=c.exe\r\nSearchType1=5\r\nSearchString1=HKCU\\Software\r\n"
        L"[App2]\r\nSetupFile=" +
        Fake(L"faulting.exe") + L"\r\n" + kPackageSearch + L"[App3]\r\nSetupFile=" +
        Fake(L"mandatory.exe") + L"\r\nOptions=m\r\n" + Missing());
    launch_test::LogMark log;
    ChainerApp app;
    const int32_t result = app.RunPrerequisites(set_);
    EXPECT_EQ(kExitMandatoryMissing, result);
    EXPECT_TRUE(
        log.Has(L"Deciding the prerequisites stopped on error 0x8007000E; going on with "
                L"the decisions made so far."));
    EXPECT_TRUE(log.Has(L"The prerequisite Faulting was not decided."));
    EXPECT_TRUE(log.Has(L"The prerequisite Mandatory was not decided."));
    EXPECT_FALSE(log.Has(L"The prerequisite Present was not decided."));
    EXPECT_TRUE(log.Has(
        L"The mandatory prerequisite Mandatory is not known to be present: it was not decided."));
    EXPECT_TRUE(ReadRecords(dir_.Path()).empty());  // nothing undecided was run
}

// The same with only optional prerequisites left undecided: 0, as before.
TEST_F(DecisionPass, AnUnfinishedDecisionPassWithOnlyOptionalOnesLeftGivesZero) {
    FailingFinder finder(1);
    SetPackageFinder(&finder);
    Load(L"[PREREQUISITES]\r\nApp1=Faulting\r\nApp2=Optional\r\n[App1]\r\nSetupFile=" +
         Fake(L"faulting.exe") + L"\r\n" + kPackageSearch + L"[App2]\r\nSetupFile=" +
         Fake(L"optional.exe") + L"\r\n" + Missing());
    ChainerApp app;
    const int32_t result = app.RunPrerequisites(set_);
    EXPECT_EQ(kExitSuccess, result);
}

// The decision pass after the installations stops on an error: logged, the
// summary is still written, the key is deleted, and the run gives 1.
TEST_F(DecisionPass, AnErrorDecidingAgainAfterTheInstallationsGivesOneAndCleansUp) {
    FailingFinder finder(2);  // the first pass finds nothing, the second fails
    SetPackageFinder(&finder);
    Load(L"[PREREQUISITES]\r\nApp1=Package\r\n[App1]\r\nSetupFile=" + Fake(L"package.exe") +
         L"\r\nOptions=m\r\nRetValPropName=PKG_RC\r\n" + kPackageSearch);
    launch_test::LogMark log;
    ChainerApp app;
    const int32_t result = app.RunPrerequisites(set_);
    EXPECT_EQ(kExitMandatoryMissing, result);
    EXPECT_EQ(1u, ReadRecords(dir_.Path()).size());  // it was installed
    EXPECT_TRUE(
        log.Has(L"Deciding the prerequisites again after the installations stopped on "
                L"error 0x8007000E; going on with the decisions made so far."));
    EXPECT_TRUE(log.Has(L"After running prerequisites we have:"));
    EXPECT_FALSE(app.RebootPending());
    std::string text;
    EXPECT_FALSE(InterbootContext().GetString("PKG_RC", text));  // the key is gone
}
