// LaunchWithReboot and Reboot with the restart request and the question
// replaced: a real ExitWindowsEx would end every process of the test prefix.
#include <gtest/gtest.h>

#include "common/ErrorCodes.h"
#include "launch/InstallerLauncher.h"
#include "launch/LaunchTestLog.h"
#include "support/FakeInstaller.h"

using namespace pravel;
using namespace testing_support;

namespace {

struct Request {
    uint32_t flags;
    uint32_t reason;
};
std::vector<Request> g_requests;
bool RecordRequest(uint32_t flags, uint32_t reason) {
    g_requests.push_back({flags, reason});
    return true;
}

struct Question {
    std::wstring text;
    std::wstring caption;
    uint32_t type;
};
std::vector<Question> g_questions;
int g_answer = IDNO;
int RecordQuestion(void*, const wchar_t* text, const wchar_t* caption, uint32_t type) {
    g_questions.push_back({text, caption, type});
    return g_answer;
}

class Reboot : public ::testing::Test {
  protected:
    void SetUp() override {
        launch_test::TestLogPath();
        g_requests.clear();
        g_questions.clear();
        SetShutdownRequest(&RecordRequest);
        SetRebootQuestion(&RecordQuestion);
        PlaceFakeInstaller(dir_ / L"ok.exe");
        PlaceFakeInstaller(dir_ / L"fails.exe", "exit=1603\n");
        PlaceFakeInstaller(dir_ / L"needs.exe", "exit=3010\n");
    }
    void TearDown() override {
        SetShutdownRequest(nullptr);
        SetRebootQuestion(nullptr);
    }
    LaunchItem Entry(const wchar_t* name, int32_t mode, int32_t index = 0) {
        LaunchItem item;
        item.filePath = dir_ / name;
        item.rebootMode = mode;
        item.prerequisiteIndex = index;
        return item;
    }

    ScratchDir dir_{L"reboot"};
};

}  // namespace

TEST_F(Reboot, ModeOneInAQuietRunRestartsWithoutAsking) {
    InstallerLauncher launcher(nullptr);
    launcher.Add(Entry(L"ok.exe", 1));
    launch_test::LogMark log;
    EXPECT_EQ(kLaunchRebootNeeded, launcher.LaunchWithReboot(0, true));
    ASSERT_EQ(1u, g_requests.size());
    EXPECT_EQ(static_cast<uint32_t>(EWX_REBOOT | EWX_FORCE), g_requests[0].flags);
    EXPECT_EQ(0x80040002u, g_requests[0].reason);
    EXPECT_TRUE(g_questions.empty());
    EXPECT_TRUE(launcher.RebootStarted());
    EXPECT_FALSE(launcher.RebootDeclined());
    EXPECT_TRUE(log.Has(L"Rebooting machine..."));
}

TEST_F(Reboot, TheQuestionDecidesOutsideQuietRuns) {
    InstallerLauncher launcher(nullptr);
    launcher.Add(Entry(L"ok.exe", 1));
    g_answer = IDNO;
    EXPECT_EQ(kLaunchRebootNeeded, launcher.LaunchWithReboot(0, false));
    ASSERT_EQ(1u, g_questions.size());
    EXPECT_EQ(L"Confirmation", g_questions[0].caption);
    EXPECT_EQ(
        L"You must reboot your computer in order to continue the installation. Press Yes to "
        L"restart now or press No to abort the installation and manually restart later.",
        g_questions[0].text);
    EXPECT_EQ(static_cast<uint32_t>(MB_YESNO | MB_ICONINFORMATION), g_questions[0].type);
    EXPECT_TRUE(g_requests.empty());
    EXPECT_TRUE(launcher.RebootStarted());
    EXPECT_TRUE(launcher.RebootDeclined());

    g_answer = IDYES;
    EXPECT_TRUE(launcher.Reboot(false));
    EXPECT_EQ(1u, g_requests.size());
}

TEST_F(Reboot, ModeTwoAsksTheConfirmationWithThePrerequisiteIndex) {
    InstallerLauncher launcher(nullptr);
    std::vector<int32_t> asked;
    bool present = false;
    launcher.SetRebootConfirmation([&](int32_t index) {
        asked.push_back(index);
        return present;
    });
    launcher.Add(Entry(L"ok.exe", 2, 7));
    EXPECT_EQ(kLaunchInstalled, launcher.LaunchWithReboot(0, true));  // still absent
    EXPECT_TRUE(g_requests.empty());
    EXPECT_FALSE(launcher.RebootStarted());
    present = true;
    EXPECT_EQ(kLaunchRebootNeeded, launcher.LaunchWithReboot(0, true));
    EXPECT_EQ(1u, g_requests.size());
    EXPECT_EQ((std::vector<int32_t>{7, 7}), asked);
}

TEST_F(Reboot, FailuresNeverRestartAnd3010OnlyRecordsTheNeed) {
    InstallerLauncher launcher(nullptr);
    launcher.SetRebootConfirmation([](int32_t) { return true; });
    launcher.Add(Entry(L"fails.exe", 1));
    launcher.Add(Entry(L"fails.exe", 2));
    launcher.Add(Entry(L"absent.exe", 1));
    launcher.Add(Entry(L"needs.exe", 0));
    EXPECT_EQ(kLaunchFailed, launcher.LaunchWithReboot(0, true));
    EXPECT_EQ(kLaunchFailed, launcher.LaunchWithReboot(1, true));
    EXPECT_EQ(kLaunchFailed, launcher.LaunchWithReboot(2, true));
    EXPECT_FALSE(launcher.RebootDeclined());
    EXPECT_FALSE(launcher.RestartNeeded());
    EXPECT_EQ(kLaunchRebootNeeded, launcher.LaunchWithReboot(3, true));
    EXPECT_TRUE(g_requests.empty());
    EXPECT_FALSE(launcher.RebootStarted());
    EXPECT_FALSE(launcher.RebootDeclined());  // nobody refused it: the need stays
    EXPECT_TRUE(launcher.RestartNeeded());
}
