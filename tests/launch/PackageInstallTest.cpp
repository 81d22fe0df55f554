// The package step of the installer launcher: its threads, and the real
// package manager code against the stand-in manager registered in the prefix.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <thread>
#include <vector>

#include "common/HResultError.h"
#include "launch/MsixFinder.h"
#include "launch/PackageInstaller.h"
#include "launch/PackageManager.h"
#include "support/FakePackageManager.h"

using namespace pravel;
using namespace testing_support;

namespace {

struct Apartment {
    bool known = false;
    APTTYPE type = APTTYPE_CURRENT;
    APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
};

Apartment CurrentApartment() {
    Apartment apartment;
    apartment.known = SUCCEEDED(CoGetApartmentType(&apartment.type, &apartment.qualifier));
    return apartment;
}

class RecordingInstaller : public PackageInstaller {
  public:
    bool Install(const std::wstring& path) override {
        path_ = path;
        thread_ = GetCurrentThreadId();
        apartment_ = CurrentApartment();
        if (throws_) throw HResultError(kHrFail);
        return answer_;
    }
    bool answer_ = true;
    bool throws_ = false;
    std::wstring path_;
    DWORD thread_ = 0;
    Apartment apartment_;
};

// Puts an installer in place for one test.
class InstallerSwap {
  public:
    explicit InstallerSwap(PackageInstaller* installer) { SetPackageInstaller(installer); }
    ~InstallerSwap() { SetPackageInstaller(nullptr); }
};

}  // namespace

TEST(PackageStep, InstallsOnAThreadOfItsOwnInTheMultithreadedApartment) {
    RecordingInstaller installer;
    InstallerSwap swap(&installer);
    // The caller is in a single-threaded apartment, as a window thread is.
    bool checked = false;
    std::thread caller([&] {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        EXPECT_TRUE(InstallPackageFile(L"C:\\pkg\\Setup.MSIX"));
        EXPECT_EQ(L"C:\\pkg\\Setup.MSIX", installer.path_);
        EXPECT_NE(GetCurrentThreadId(), installer.thread_);
        EXPECT_TRUE(installer.apartment_.known);
        EXPECT_EQ(APTTYPE_MTA, installer.apartment_.type);
        EXPECT_EQ(APTTYPEQUALIFIER_NONE, installer.apartment_.qualifier);  // entered, not implicit
        const APTTYPE own = CurrentApartment().type;  // the caller's own apartment stays
        EXPECT_TRUE(own == APTTYPE_STA || own == APTTYPE_MAINSTA) << own;
        installer.answer_ = false;
        EXPECT_FALSE(InstallPackageFile(L"C:\\pkg\\Setup.MSIX"));
        CoUninitialize();
        checked = true;
    });
    caller.join();
    EXPECT_TRUE(checked);
}

TEST(PackageStep, AnInstallerThatThrowsCountsAsFailed) {
    RecordingInstaller installer;
    installer.throws_ = true;
    InstallerSwap swap(&installer);
    EXPECT_FALSE(InstallPackageFile(L"C:\\pkg\\App.appx"));
    EXPECT_EQ(L"C:\\pkg\\App.appx", installer.path_);
}

class PackageManagerCalls : public ::testing::Test {
  protected:
    // A package file whose content names the identity the stand-in then reports.
    std::wstring PackageFile(const std::wstring& name, const std::string& identity = "") {
        const std::wstring path = dir_ / name;
        WriteBytes(path, identity);
        return path;
    }

    FakePackageManager fake_;
    ScratchDir dir_{L"packages"};
};

TEST_F(PackageManagerCalls, PackageFilesReachTheManagerAsTheirUri) {
    int calls = 0;
    for (const wchar_t* name : {L"Setup.MSIX", L"Pkg.MsixBundle", L"App.APPX"}) {
        const std::wstring path = PackageFile(name);
        EXPECT_TRUE(InstallPackageFile(path)) << Narrow(name);
        EXPECT_EQ(path, fake_.Text(L"LastUri"));
        EXPECT_EQ(static_cast<DWORD>(++calls), fake_.Counter(L"AddCalls"));
        EXPECT_EQ(static_cast<DWORD>(APTTYPE_MTA), fake_.Counter(L"LastApartment"));
    }
    EXPECT_EQ(0u, fake_.Counter(L"ApartmentRefusals"));
}

TEST_F(PackageManagerCalls, ALongPathArrivesInTheFormItWasGiven) {
    std::wstring folder = L"\\\\?\\" + dir_.Path();
    while (folder.size() < 250) {
        folder += L"\\" + std::wstring(40, L'd');
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    }
    const std::wstring path = folder + L"\\Setup.msix";
    WriteBytes(path, "Contoso.Long|CN=Contoso|9|1.0.0.0");
    ASSERT_GT(path.size(), 247u);
    EXPECT_TRUE(InstallPackageFile(path));
    EXPECT_EQ(path, fake_.Text(L"LastUri"));
    EXPECT_EQ(std::vector<std::wstring>{L"Contoso.Long|CN=Contoso|9|1.0.0.0"}, fake_.Packages());
}

TEST_F(PackageManagerCalls, ErrorAndCanceledAreFailures) {
    const std::wstring path = PackageFile(L"Setup.msix", "Contoso.Tool|CN=Contoso|9|1.0.0.0");
    for (bool resultsOnError : {false, true}) {
        fake_.SetResultsOnError(resultsOnError);  // the status decides, not GetResults alone
        for (DWORD outcome : {3u, 2u}) {
            fake_.SetOutcome(outcome);
            EXPECT_FALSE(InstallPackageFile(path)) << outcome << " " << resultsOnError;
        }
    }
    EXPECT_TRUE(fake_.Packages().empty());
    fake_.SetOutcome(1);
    EXPECT_TRUE(InstallPackageFile(path));
    EXPECT_EQ(1u, fake_.Packages().size());
}

TEST_F(PackageManagerCalls, ACompletionFromAnotherThreadIsWaitedForWithoutPolling) {
    const std::wstring path = PackageFile(L"Late.msix", "Contoso.Late|CN=Contoso|11|2.0.0.0");
    fake_.SetDelay(1500);
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(InstallPackageFile(path));
    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_GE(elapsed, 1400u);
    EXPECT_NE(0u, fake_.Counter(L"HandlerThread"));
    EXPECT_NE(fake_.Counter(L"CallerThread"), fake_.Counter(L"HandlerThread"));
    // The status is read once, after the handler fired; the results once.
    EXPECT_EQ(1u, fake_.Counter(L"StatusReads"));
    EXPECT_EQ(0u, fake_.Counter(L"StatusReadsBeforeEnd"));
    EXPECT_EQ(1u, fake_.Counter(L"ResultReads"));
    EXPECT_EQ(std::vector<std::wstring>{L"Contoso.Late|CN=Contoso|11|2.0.0.0"}, fake_.Packages());

    fake_.SetOutcome(3);  // a late failure is waited for as well
    EXPECT_FALSE(InstallPackageFile(path));
    EXPECT_EQ(2u, fake_.Counter(L"ResultReads"));
    EXPECT_EQ(0u, fake_.Counter(L"StatusReadsBeforeEnd"));
}

TEST_F(PackageManagerCalls, ADeploymentThatEndedBeforeTheHandlerWasSetIsSeen) {
    fake_.SetDelay(0);  // the handler runs inside put_Completed, on the installing thread
    EXPECT_TRUE(InstallPackageFile(PackageFile(L"Quick.msix")));
    EXPECT_EQ(fake_.Counter(L"CallerThread"), fake_.Counter(L"HandlerThread"));
}

TEST_F(PackageManagerCalls, EveryFailingCallGivesFalse) {
    const std::wstring path = PackageFile(L"Setup.msix", "Contoso.Tool|CN=Contoso|9|1.0.0.0");
    for (const wchar_t* call :
         {L"ActivateInstance", L"CreateUri", L"AddPackageAsync", L"put_Completed", L"GetResults"}) {
        fake_.FailCall(call);
        bool result = true;
        EXPECT_NO_THROW(result = InstallPackageFile(path)) << Narrow(call);
        EXPECT_FALSE(result) << Narrow(call);
    }
}

// The stand-in refuses threads that have not entered an apartment, as the
// platform does; so the passing tests above show that the package threads do.
TEST_F(PackageManagerCalls, ThreadsThatHaveNotEnteredAnApartmentAreRefused) {
    const std::wstring path = PackageFile(L"Setup.msix");
    bool withoutCom = true;
    std::thread bare([&] { withoutCom = DeployPackage(path); });
    bare.join();
    EXPECT_FALSE(withoutCom);
    EXPECT_LE(1u, fake_.Counter(L"ApartmentRefusals"));

    bool withCom = false;
    std::thread entered([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        withCom = DeployPackage(path);
        CoUninitialize();
    });
    entered.join();
    EXPECT_TRUE(withCom);
}

TEST_F(PackageManagerCalls, FactoriesAreObtainedOncePerProcessFromManyThreads) {
    fake_.SetPackages({L"Contoso.Tool|CN=Contoso|9|3.1.0.0"});
    fake_.SetDelay(200);
    const std::wstring path = PackageFile(L"Setup.msix");
    constexpr int kThreads = 6;
    bool installed[kThreads] = {};
    std::vector<std::wstring> found[kThreads];
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            installed[i] = InstallPackageFile(path);
            found[i] = MsixFinder().Find(L"Contoso.Tool", L"", L"");
        });
    }
    for (auto& thread : threads) thread.join();
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_TRUE(installed[i]) << i;
        EXPECT_EQ(std::vector<std::wstring>{L"3.1"}, found[i]) << i;
    }
    EXPECT_EQ(static_cast<DWORD>(kThreads), fake_.Counter(L"AddCalls"));
    EXPECT_EQ(static_cast<DWORD>(kThreads), fake_.Counter(L"FindCalls"));
    // At most one request per class for the whole process (none when an
    // earlier test of this program already obtained them).
    EXPECT_LE(fake_.Counter(L"FactoryRequests"), 2u);
}
