// Package entries of the installer launcher through the real package
// installation, against the stand-in package manager registered in the prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include "common/TempFolder.h"
#include "launch/InstallerLauncher.h"
#include "launch/LaunchTestLog.h"
#include "launch/ProcessLaunch.h"
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
