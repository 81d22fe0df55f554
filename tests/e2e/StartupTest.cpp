// pravel.exe finds its configuration by its own name and ends quietly when
// there is nothing to read.
#include "e2e/PravelRun.h"

using namespace e2e;

namespace {

// Every place a log of program `name` (without extension) could land.
std::vector<std::wstring> FallbackLogs(const Installation& inst, const std::wstring& name) {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    return {CommonAppData() + L"\\QUILLON_LOGS\\" + name + L".LOG", inst.Dir() / (name + L".LOG"),
            std::wstring(temp) + L"QUILLON_LOGS\\" + name + L".LOG"};
}

}  // namespace

TEST(Startup, ProgramReadsTheIniThatBearsItsOwnName) {
    Installation inst(L"other", L"other.exe");
    WriteUtf16(inst.Dir() / L"pravel.ini", IniWithLog(inst.Dir() / L"wrong.log"));
    inst.WriteIni(IniWithLog(inst.Dir() / L"right.log"));
    const RunResult run = inst.RunIt();
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(FileExists(inst.Dir() / L"right.log"));
    EXPECT_FALSE(FileExists(inst.Dir() / L"wrong.log"));
}

TEST(Startup, NameWithSeveralDotsKeepsAllButTheLastExtension) {
    Installation inst(L"dots", L"a.b.exe");
    EXPECT_EQ(inst.Dir() / L"a.b.ini", inst.Ini());
    WriteUtf16(inst.Dir() / L"a.ini", IniWithLog(inst.Dir() / L"wrong.log"));
    inst.WriteIni(IniWithLog(inst.Dir() / L"right.log"));
    const RunResult run = inst.RunIt();
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(FileExists(inst.Dir() / L"right.log"));
    EXPECT_FALSE(FileExists(inst.Dir() / L"wrong.log"));
}

TEST(Startup, NoConfigurationExitsZeroAndWritesNoLogAnywhere) {
    Installation inst(L"noini", L"noini_prog.exe");
    const RunResult run = inst.RunIt();
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);
    for (const auto& path : FallbackLogs(inst, L"noini_prog")) {
        EXPECT_FALSE(FileExists(path)) << Narrow(path);
    }
}

TEST(Startup, ConfigurationWithoutLogFileWritesNoLog) {
    Installation inst(L"nolog", L"nolog_prog.exe");
    inst.WriteIni(
        L"[GeneralOptions]\r\nOptions=\r\n[PREREQ_CHAINER]\r\nCleanupFolders=\r\n"
        L"[PREREQUISITES]\r\nApp1=Thing\r\n[App1]\r\nSetupFile=thing.exe\r\n");
    const RunResult run = inst.RunIt();
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);
    for (const auto& path : FallbackLogs(inst, L"nolog_prog")) {
        EXPECT_FALSE(FileExists(path)) << Narrow(path);
    }
}

TEST(Startup, ConfigurationOfZeroOrOneByteIsEmpty) {
    for (const std::string& content : {std::string(), std::string("\xFF")}) {
        Installation inst(L"tiny", L"tiny.exe");
        WriteBytes(inst.Ini(), content);
        const RunResult run = inst.RunIt();
        ASSERT_TRUE(run.finished) << content.size() << " byte(s)";
        EXPECT_EQ(0u, run.exitCode) << content.size() << " byte(s)";
    }
}

TEST(Startup, ConfigurationWithoutByteOrderMarkLosesItsFirstCharacter) {
    Installation inst(L"nobom", L"nobom.exe");
    // The first "[" is eaten, so [PREREQ_CHAINER] is not a section: no log.
    WriteUtf16(inst.Ini(), IniWithLog(inst.Dir() / L"x.log"), /*bom=*/false);
    const RunResult run = inst.RunIt();
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_FALSE(FileExists(inst.Dir() / L"x.log"));
    // With a blank line first, the rest survives.
    WriteUtf16(inst.Ini(), L"\r\n" + IniWithLog(inst.Dir() / L"y.log"), /*bom=*/false);
    ASSERT_TRUE(inst.RunIt().finished);
    EXPECT_TRUE(FileExists(inst.Dir() / L"y.log"));
}

TEST(Startup, LogTellsHowManyPrerequisitesWereLoaded) {
    Installation inst(L"count", L"count.exe");
    inst.WriteIni(IniWithLog(inst.Dir() / L"run.log",
                             L"[PREREQUISITES]\r\nApp1=A\r\nApp2=B\r\nApp4=D\r\n"
                             L"[App1]\r\nSetupFile=a.exe\r\n[App2]\r\nUrl=http://h/b.exe\r\n"
                             L"[App4]\r\nSetupFile=d.exe\r\n"));
    const RunResult run = inst.RunIt();
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);
    const std::wstring log = ReadUtf16(inst.Dir() / L"run.log");
    EXPECT_TRUE(HasMessage(log, L"Prerequisites loaded:2")) << Narrow(log);
    EXPECT_TRUE(HasMessage(log, L"Configuration file:" + inst.Ini())) << Narrow(log);
}
