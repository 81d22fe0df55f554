// pravel waits while a Windows Installer transaction holds
// "Global\_MSIExecute" and does not run when it cannot tell.
#include "e2e/PravelRun.h"

using namespace e2e;

namespace {

DWORD WINAPI AbandonMutex(void* handle) {
    // The thread ends while it owns the mutex: it becomes abandoned.
    *static_cast<HANDLE*>(handle) = CreateMutexW(nullptr, TRUE, L"Global\\_MSIExecute");
    return 0;
}

}  // namespace

TEST(InstallerGuard, WaitsForTheTransactionAndStartsAfterIt) {
    Installation inst(L"guard", L"guard.exe");
    const std::wstring log = inst.Dir() / L"run.log";
    inst.WriteIni(IniWithLog(log));

    // A helper program holds the mutex until this event is set.
    const std::wstring eventName = L"PravelTestRelease" + std::to_wstring(GetCurrentProcessId());
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
    Process holder(PathFromEnvironment("FIXTURE_HOLD_MUTEX"), eventName);
    ASSERT_TRUE(holder.Started());
    HANDLE seen = nullptr;
    for (int i = 0; i < 200 && seen == nullptr; ++i) {
        seen = OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\_MSIExecute");
        if (seen == nullptr) Sleep(25);
    }
    ASSERT_NE(nullptr, seen) << "the helper did not create the mutex";
    CloseHandle(seen);

    Process process(inst.Exe());
    ASSERT_TRUE(process.Started());
    // Wait (generously, for a loaded machine) until pravel says it waits.
    std::wstring during;
    for (int i = 0; i < 400; ++i) {
        during = ReadUtf16(log);
        if (HasMessageStartingWith(during, L"Another Windows Installer transaction")) break;
        Sleep(50);
    }
    EXPECT_TRUE(HasMessageStartingWith(during, L"Another Windows Installer transaction"));
    EXPECT_FALSE(process.WaitFor(500)) << "pravel did not wait for the installer";
    EXPECT_FALSE(HasMessageStartingWith(ReadUtf16(log), L"Prerequisites loaded:"));

    SetEvent(release);
    ASSERT_TRUE(holder.WaitFor(30000));
    EXPECT_EQ(0u, holder.ExitCode());
    ASSERT_TRUE(process.WaitFor(30000));
    CloseHandle(release);
    EXPECT_EQ(0u, process.ExitCode());
    EXPECT_TRUE(HasMessage(ReadUtf16(log), L"Prerequisites loaded:0"));
}

TEST(InstallerGuard, AbandonedMutexStopsTheRunWithExitCodeOne) {
    Installation inst(L"abandon", L"abandon.exe");
    const std::wstring log = inst.Dir() / L"run.log";
    inst.WriteIni(IniWithLog(log));

    HANDLE mutex = nullptr;
    HANDLE thread = CreateThread(nullptr, 0, AbandonMutex, &mutex, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    ASSERT_NE(nullptr, mutex);

    const RunResult run = inst.RunIt();
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(1u, run.exitCode);
    const std::wstring text = ReadUtf16(log);
    EXPECT_TRUE(HasMessageStartingWith(text, L"Waiting for the Windows Installer mutex"))
        << Narrow(text);
    EXPECT_FALSE(HasMessageStartingWith(text, L"Prerequisites loaded:"));
    CloseHandle(mutex);
}

TEST(InstallerGuard, NameTakenByAnotherObjectStopsTheRunWithExitCodeOne) {
    Installation inst(L"notmutex", L"notmutex.exe");
    const std::wstring log = inst.Dir() / L"run.log";
    inst.WriteIni(IniWithLog(log));
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, L"Global\\_MSIExecute");
    ASSERT_NE(nullptr, event);

    const RunResult run = inst.RunIt();
    CloseHandle(event);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(1u, run.exitCode);
    const std::wstring text = ReadUtf16(log);
    EXPECT_TRUE(HasMessageStartingWith(
        text, L"The Windows Installer mutex Global\\_MSIExecute exists but could not be opened"))
        << Narrow(text);
    EXPECT_FALSE(HasMessageStartingWith(text, L"Prerequisites loaded:"));
}
