// Runs of pravel.exe with MSIX/AppX prerequisites, against the stand-in
// package manager registered in the prefix.
#include "e2e/PravelRun.h"
#include "support/FakePackageManager.h"
#include "support/RegistrySnapshot.h"
#include "support/WindowDriver.h"

using namespace e2e;
using testing_support::FakePackageManager;
using testing_support::RegistrySnapshot;

namespace {

const wchar_t* kCurrentVersion = L"Software\\Microsoft\\Windows NT\\CurrentVersion";

// Makes the prefix report a Windows version while it lives.
class ReportedWindows {
  public:
    // 10.0 build 19045, or 8.1 (6.3 build 9600, as Windows 8.1 writes it).
    explicit ReportedWindows(bool windows10)
        : version_(kCurrentVersion, {L"CurrentMajorVersionNumber", L"CurrentMinorVersionNumber",
                                     L"CurrentVersion", L"CurrentBuildNumber", L"CSDVersion"}) {
        version_.Delete(L"CSDVersion");
        if (windows10) {
            version_.SetDword(L"CurrentMajorVersionNumber", 10);
            version_.SetDword(L"CurrentMinorVersionNumber", 0);
            version_.SetString(L"CurrentVersion", L"6.3");
            version_.SetString(L"CurrentBuildNumber", L"19045");
        } else {
            version_.Delete(L"CurrentMajorVersionNumber");
            version_.Delete(L"CurrentMinorVersionNumber");
            version_.SetString(L"CurrentVersion", L"6.3");
            version_.SetString(L"CurrentBuildNumber", L"9600");
        }
    }

  private:
    RegistrySnapshot version_;
};

class PackageRun : public ::testing::Test {
  protected:
    std::wstring RunAndReadLog(const std::wstring& ini) {
        DeleteFileW(log_.c_str());
        inst_.WriteIni(ini);
        const RunResult run = inst_.RunIt();
        EXPECT_TRUE(run.finished);
        last_exit_ = run.exitCode;
        return ReadUtf16(log_);
    }

    FakePackageManager fake_;
    Installation inst_{L"package", L"package.exe"};
    std::wstring log_ = inst_.Dir() / L"package.log";
    DWORD last_exit_ = 0;
};

// A silent run installing Contoso.Tool from the package file beside pravel.
const std::wstring kSilentToolRun =
    L"[GeneralOptions]\r\nOptions=q\r\nExtractionFolder=[SETUPEXEDIR]\r\n"
    L"[PREREQUISITES]\r\nApp1=Contoso Tool\r\n"
    L"[App1]\r\nSetupFile=Contoso.Tool_1.2.3.4_x64.msix\r\nOptions=m\r\n"
    L"RetValPropName=CONTOSO_TOOL_RC\r\nSearchType1=13\r\n"
    L"SearchString1=Contoso.Tool?x64?CN=Contoso\r\nVerMin1=1.2\r\n";

const std::wstring kToolPrerequisite =
    L"[PREREQUISITES]\r\nApp1=Tool\r\n"
    L"[App1]\r\nSetupFile=Tool.msix\r\nSearchType1=13\r\n"
    L"SearchString1=Contoso.Tool?x64?CN=Contoso\r\nVerMin1=1.2\r\n";

}  // namespace

TEST_F(PackageRun, PackagesAreSearchedForOnWindows10AndLaterOnly) {
    fake_.SetPackages({L"Contoso.Tool|CN=Contoso|9|1.2.3.4"});
    const std::wstring ini = IniWithLog(log_) + kToolPrerequisite;
    {
        ReportedWindows windows(true);
        const std::wstring log = RunAndReadLog(ini);
        EXPECT_TRUE(HasMessage(log, L"Searching for:Tool")) << Narrow(log);
        EXPECT_TRUE(HasMessage(log, L"Search result:An acceptable version was found."));
        EXPECT_EQ(1u, fake_.Counter(L"FindCalls"));
        EXPECT_EQ(0u, fake_.Counter(L"ApartmentRefusals"));
    }
    {
        ReportedWindows windows(false);
        const std::wstring log = RunAndReadLog(ini);
        EXPECT_TRUE(HasMessage(
            log, L"Search result:No acceptable version found. It must be installed from package."))
            << Narrow(log);
        EXPECT_EQ(1u, fake_.Counter(L"FindCalls"));  // no query was made
    }
}

TEST_F(PackageRun, ASilentRunInstallsAMissingPackageAndTheNextRunFindsIt) {
    ReportedWindows windows(true);
    fake_.SetPackages({L"Contoso.Tool|CN=Contoso|0|9.0.0.0"});  // the x86 one does not count
    const std::wstring package = inst_.Dir() / L"Contoso.Tool_1.2.3.4_x64.msix";
    WriteBytes(package, "Contoso.Tool|CN=Contoso|9|1.2.3.4");
    fake_.SetDelay(500);  // the deployment ends later, on another thread

    std::wstring log = RunAndReadLog(IniWithLog(log_) + kSilentToolRun);
    EXPECT_EQ(0u, last_exit_) << Narrow(log);
    EXPECT_TRUE(HasMessage(
        log, L"Search result:No acceptable version found. It must be installed from package."));
    EXPECT_TRUE(HasMessage(log, L"Launching file:" + package));
    EXPECT_TRUE(HasMessage(log, L"Return code of launched file:0"));
    EXPECT_FALSE(HasMessageStartingWith(log, L"Launch failed. Error:"));
    EXPECT_EQ(package, fake_.Text(L"LastUri"));
    EXPECT_EQ(1u, fake_.Counter(L"AddCalls"));
    EXPECT_EQ(0u, fake_.Counter(L"ApartmentRefusals"));
    EXPECT_EQ((std::vector<std::wstring>{L"Contoso.Tool|CN=Contoso|0|9.0.0.0",
                                         L"Contoso.Tool|CN=Contoso|9|1.2.3.4"}),
              fake_.Packages());

    log = RunAndReadLog(IniWithLog(log_) + kSilentToolRun);
    EXPECT_EQ(0u, last_exit_) << Narrow(log);
    EXPECT_TRUE(HasMessage(log, L"Search result:An acceptable version was found.")) << Narrow(log);
    EXPECT_TRUE(HasMessage(log, L"No prerequisite must be installed."));
    EXPECT_FALSE(HasMessageStartingWith(log, L"Launching file:"));
    EXPECT_EQ(1u, fake_.Counter(L"AddCalls"));
}

TEST_F(PackageRun, AFailedDeploymentFailsTheMandatoryPrerequisite) {
    ReportedWindows windows(true);
    WriteBytes(inst_.Dir() / L"Contoso.Tool_1.2.3.4_x64.msix", "Contoso.Tool|CN=Contoso|9|1.2.3.4");
    fake_.SetOutcome(3);
    const std::wstring log = RunAndReadLog(IniWithLog(log_) + kSilentToolRun);
    EXPECT_EQ(1u, last_exit_) << Narrow(log);
    EXPECT_TRUE(HasMessage(log, L"Launch failed. Error:" + SystemText(1627))) << Narrow(log);
    EXPECT_TRUE(HasMessage(log, L"Return code of launched file:1627"));
    EXPECT_TRUE(fake_.Packages().empty());
}

// An interactive run shows the preparing window with the search text while
// the search runs: the stand-in holds the package search until the test has
// read the window.
TEST_F(PackageRun, ThePreparingWindowShowsTheSearchWhileItRuns) {
    ReportedWindows windows(true);
    fake_.SetPackages({L"Contoso.Tool|CN=Contoso|9|1.2.3.4"});
    const std::wstring eventName = L"PravelSearchRelease" + std::to_wstring(GetCurrentProcessId());
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
    ASSERT_NE(nullptr, release);
    fake_.HoldSearchUntil(eventName);
    DeleteFileW(log_.c_str());
    inst_.WriteIni(IniWithLog(log_) + kToolPrerequisite);
    Process process(inst_.Exe());
    ASSERT_TRUE(process.Started());
    for (int i = 0; i < 600 && fake_.Counter(L"FindCalls") == 0; ++i) Sleep(50);
    EXPECT_EQ(1u, fake_.Counter(L"FindCalls")) << "the search has not reached the package manager";
    HWND window = WaitForDialog({1001, IDCANCEL}, 30000, 0);
    EXPECT_NE(window, nullptr) << "no preparing window during the search";
    if (window != nullptr) {
        for (int i = 0; i < 1000 && !IsWindowVisible(window); ++i) Sleep(10);
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_EQ(ItemText(window, 1001), L"Searching for prerequisites...");
    }
    SetEvent(release);
    ASSERT_TRUE(process.WaitFor(30000));
    CloseHandle(release);
    EXPECT_EQ(0u, process.ExitCode());
    const std::wstring log = ReadUtf16(log_);
    EXPECT_TRUE(HasMessage(log, L"Search result:An acceptable version was found.")) << Narrow(log);
    EXPECT_TRUE(HasMessage(log, L"No prerequisite must be installed."));
}

// A fault inside the platform component, on pravel's package-search thread:
// it becomes an exception with its text and stack trace in the log, the
// search finds nothing, and the run goes on: the package is installed, and
// the check after the installation (which faults the same way) still finds
// nothing, so the mandatory prerequisite gives exit code 1.
TEST_F(PackageRun, AFaultInsideThePackageManagerDuringTheSearchIsLoggedAndTheRunGoesOn) {
    ReportedWindows windows(true);
    WriteBytes(inst_.Dir() / L"Contoso.Tool_1.2.3.4_x64.msix", "Contoso.Tool|CN=Contoso|9|1.2.3.4");
    fake_.FaultCall(L"FindPackages");
    const std::wstring log = RunAndReadLog(IniWithLog(log_) + kSilentToolRun);
    EXPECT_EQ(1u, last_exit_) << Narrow(log);
    EXPECT_EQ(2u, fake_.Counter(L"FindCalls"));  // the decision and the check after it
    EXPECT_TRUE(HasMessageStartingWith(log,
                                       L"Package search stopped on SEH_AV_READ_NULLPTR: "
                                       L"[SEH_AV_READ_NULLPTR] ACCESS_VIOLATION (0xc0000005)"
                                       L" at address [0x"))
        << Narrow(log);
    EXPECT_NE(std::wstring::npos, log.find(L"*** Stack Trace (")) << Narrow(log);
    EXPECT_NE(std::wstring::npos, log.find(L"]  MODULE_BASE_ADDRESS"));
    EXPECT_TRUE(HasMessage(
        log, L"Search result:No acceptable version found. It must be installed from package."));
    EXPECT_TRUE(HasMessage(log, L"Return code of launched file:0"));
    EXPECT_EQ(1u, fake_.Counter(L"AddCalls"));
}

// Wine itself has no package manager: the search finds nothing and the
// installation fails with 1627, and neither ends the run.
TEST(PackageRunWithoutManager, ThePlatformsMissingManagerIsAFailedInstallation) {
    ReportedWindows windows(true);
    Installation inst(L"nomanager", L"package.exe");
    const std::wstring log_path = inst.Dir() / L"package.log";
    WriteBytes(inst.Dir() / L"Contoso.Tool_1.2.3.4_x64.msix", "Contoso.Tool|CN=Contoso|9|1.2.3.4");
    inst.WriteIni(IniWithLog(log_path) + kSilentToolRun);
    const RunResult run = inst.RunIt();
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(1u, run.exitCode);
    const std::wstring log = ReadUtf16(log_path);
    EXPECT_TRUE(HasMessage(
        log, L"Package manager call failed:activation factory of PackageManager 0x80040154"))
        << Narrow(log);
    EXPECT_TRUE(HasMessage(log, L"Launch failed. Error:" + SystemText(1627)));
    EXPECT_TRUE(HasMessage(log, L"Return code of launched file:1627"));
}
