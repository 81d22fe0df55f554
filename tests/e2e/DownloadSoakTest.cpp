// Long silent runs of the real pravel.exe against servers that misbehave
// slowly, with the program's own timings (nothing shortens them): a server
// that trickles (one byte every 20 s), one that stalls every connection
// after half of what was asked, one that sends 1.5 KiB on every connection
// and then stalls (each connection is progress: only the time limit ends
// it), one slow connection (about 1 KiB in 2 minutes: never a trickle), and
// a slow but steady one (2 KiB/s for three minutes). The first four must
// end the run with exit code 1 within 15 minutes and keep the ".part" file;
// the last must complete (its file is accepted by its size, not run). They
// run side by side, about 11 minutes in all. Run by scripts/soak, never by
// the suite (whose real-time waits stay short).
#include <gtest/gtest.h>

#include <cstdio>

#include "download/LocalServers.h"
#include "e2e/PravelRun.h"
#include "support/FakeInstaller.h"

using namespace e2e;
using namespace download_test;

namespace {

struct SoakCase {
    const wchar_t* name;
    const wchar_t* query;
    DWORD exitCode;       // -1: not looked at
    const wchar_t* more;  // further keys of the prerequisite
};

}  // namespace

TEST(DownloadSoak, SlowServersEndOrCompleteInTime) {
    ScratchDir root(L"soakroot");
    const std::string installer = ReadBytes(FakeInstallerExe());
    // 3 minutes at 2 KiB/s: a file accepted by its size, not run (the fake
    // installer is larger than that).
    WriteBytes(root / L"steady.exe", MakeContent(2048 * 180, 3));
    WriteBytes(root / L"trickle.exe", installer);
    WriteBytes(root / L"half.exe", MakeContent(3750000, 5));
    WriteBytes(root / L"drip.exe", MakeContent(1 << 20, 6));
    WriteBytes(root / L"slow.exe", MakeContent(1 << 20, 7));
    LocalServer http("http", "soak", root.Path(), "--lifetime 1500");
    ASSERT_TRUE(http.Running());

    const SoakCase cases[] = {
        {L"trickle", L"trickle.exe?trickle=20", 1, L"Options=m\r\n"},
        {L"half", L"half.exe?half_stall=3600", 1, L"Options=m\r\n"},
        {L"drip", L"drip.exe?stall=3600&stall_at=-1536", 1, L"Options=m\r\n"},
        {L"slow", L"slow.exe?rate=9", 1, L"Options=m\r\n"},
        {L"steady", L"steady.exe?rate=2048", static_cast<DWORD>(-1), L"ExactSize=368640\r\n"},
    };
    struct Run {
        std::unique_ptr<Installation> inst;
        std::unique_ptr<Process> process;
        DWORD started = 0;
        DWORD seconds = 0;
    };
    constexpr size_t kCases = sizeof(cases) / sizeof(cases[0]);
    std::vector<Run> runs(kCases);
    ScratchDir records(L"soakrecords");
    SetEnvironmentVariableW(L"FAKE_INSTALLER_RECORDS", records.Path().c_str());
    for (size_t i = 0; i < kCases; ++i) {
        const std::wstring name = cases[i].name;
        const std::wstring key = L"Software\\PravelTests\\Soak\\" + name;
        RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
        Run& run = runs[i];
        run.inst = std::make_unique<Installation>(L"soak" + name, L"setup.exe");
        run.inst->WriteIni(IniWithLog(run.inst->Dir() / L"setup.log") +
                           L"[GeneralOptions]\r\nOptions=q\r\nDownloadFolder=" +
                           (run.inst->Dir() / L"downloads") +
                           L"\r\n[PREREQUISITES]\r\nApp1=Runtime\r\n[App1]\r\nUrl=" + http.Base() +
                           L"/files/" + cases[i].query + L"\r\n" + cases[i].more +
                           L"NoUiCommandLine=/quiet\r\nSearchType1=5\r\n"
                           L"SearchString1=HKCU\\" +
                           key + L"\r\n");
        // The fake installer's directions come from the environment pravel
        // passes on (read when each process starts).
        SetEnvironmentVariableW(L"FAKE_INSTALLER_DIRECTIONS", (L"regkey=" + key).c_str());
        run.process = std::make_unique<Process>(run.inst->Exe());
        run.started = GetTickCount();
        ASSERT_TRUE(run.process->Started());
    }
    for (size_t left = kCases; left > 0;) {
        left = 0;
        for (Run& run : runs) {
            if (run.seconds != 0) continue;
            if (run.process->WaitFor(0)) {
                run.seconds = (GetTickCount() - run.started) / 1000 + 1;
            } else if (GetTickCount() - run.started > 20 * 60 * 1000) {
                run.seconds = 20 * 60;  // given up waiting
            } else {
                ++left;
            }
        }
        Sleep(1000);
    }
    for (size_t i = 0; i < kCases; ++i) {
        const Run& run = runs[i];
        const std::wstring log = ReadUtf16(run.inst->Dir() / L"setup.log");
        const std::wstring part =
            run.inst->Dir() / (L"downloads\\" + std::wstring(cases[i].name) + L".exe.part");
        int reconnects = 0;
        for (const auto& message : Messages(log))
            reconnects += message.rfind(L"Download reconnects", 0) == 0 ? 1 : 0;
        std::printf("soak %ls: exit %lu after %lu s, %d reconnects\n", cases[i].name,
                    static_cast<unsigned long>(run.process->ExitCode()),
                    static_cast<unsigned long>(run.seconds), reconnects);
        std::printf("%s\n", Narrow(log).c_str());  // kept in the soak's log file
        if (cases[i].exitCode != static_cast<DWORD>(-1)) {
            EXPECT_EQ(cases[i].exitCode, run.process->ExitCode()) << Narrow(log);
        }
        if (cases[i].exitCode == 1) {
            EXPECT_LE(run.seconds, 15u * 60u) << Narrow(cases[i].name);
            EXPECT_TRUE(FileExists(part)) << Narrow(log);
        } else {
            EXPECT_GE(run.seconds, 170u);
            EXPECT_TRUE(HasMessage(log, L"Downloaded file was accepted.")) << Narrow(log);
        }
        RegDeleteTreeW(HKEY_CURRENT_USER,
                       (L"Software\\PravelTests\\Soak\\" + std::wstring(cases[i].name)).c_str());
    }
    SetEnvironmentVariableW(L"FAKE_INSTALLER_RECORDS", nullptr);
    SetEnvironmentVariableW(L"FAKE_INSTALLER_DIRECTIONS", nullptr);
}
