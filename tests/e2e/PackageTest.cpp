// Runs of pravel.exe with MSIX/AppX prerequisites, against the stand-in
// package manager registered in the prefix.
#include "e2e/PravelRun.h"
#include "support/FakePackageManager.h"
#include "support/RegistrySnapshot.h"

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
