// In-process behaviour of the Logger that the end-to-end runs cannot reach.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdio>
#include <thread>
#include <vector>

#include "common/TempFolder.h"
#include "diag/Logger.h"
#include "support/WinTestSupport.h"

using namespace testing_support;

TEST(Logger, PathIsSettledByTheFirstOpening) {
    ScratchDir dir(L"logger");
    pravel::Logger logger;
    logger.SetLogFile(dir / L"first.log");
    logger.SetLogFile(dir / L"second.log");  // not open yet: taken
    logger.Write(L"one");
    logger.SetLogFile(dir / L"third.log");  // open: ignored
    logger.Write(L"two");
    EXPECT_EQ(dir / L"second.log", logger.OpenPath());
    EXPECT_FALSE(FileExists(dir / L"first.log"));
    EXPECT_FALSE(FileExists(dir / L"third.log"));
    const std::wstring text = ReadUtf16(dir / L"second.log");
    EXPECT_NE(std::wstring::npos, text.find(L"-one\r\n"));
    EXPECT_NE(std::wstring::npos, text.find(L"-two\r\n"));
}

// Two runs writing one log (an unelevated one and the elevated run it waits
// for): every line is appended, none overwrites another.
TEST(Logger, TwoWritersOfOneFileBothAppend) {
    ScratchDir dir(L"loggertwo");
    pravel::Logger first;
    pravel::Logger second;
    first.SetLogFile(dir / L"shared.log");
    second.SetLogFile(dir / L"shared.log");
    first.Write(L"first one");
    second.Write(L"second one");
    first.Write(L"first two");
    const std::wstring text = ReadUtf16(dir / L"shared.log");
    const size_t one = text.find(L"-first one\r\n");
    const size_t two = text.find(L"-second one\r\n");
    const size_t three = text.find(L"-first two\r\n");
    ASSERT_NE(std::wstring::npos, one) << Narrow(text);
    ASSERT_NE(std::wstring::npos, two) << Narrow(text);
    ASSERT_NE(std::wstring::npos, three) << Narrow(text);
    EXPECT_TRUE(one < two && two < three) << Narrow(text);
}

TEST(Logger, LinesFromSeveralThreadsNeverInterleave) {
    ScratchDir dir(L"loggerthreads");
    pravel::Logger logger;
    logger.SetLogFile(dir / L"threads.log");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&logger, t] {
            for (int i = 0; i < 50; ++i) {
                logger.Write(L"thread " + std::to_wstring(t) + L" line " + std::to_wstring(i) +
                             L" end");
            }
        });
    }
    for (auto& thread : threads) thread.join();
    int records = 0;
    for (const auto& line : SplitLines(ReadUtf16(dir / L"threads.log"))) {
        if (line.size() > 20 && line.compare(20, 7, L"thread ") == 0) {
            ++records;
            EXPECT_EQ(L" end", line.substr(line.size() - 4)) << Narrow(line);
        }
    }
    EXPECT_EQ(200, records);
}

TEST(Logger, DisabledLoggingWritesNothing) {
    ScratchDir dir(L"loggeroff");
    pravel::logEnabled = false;
    pravel::TheLogger().SetLogFile(dir / L"off.log");
    pravel::Log(L"nothing");
    EXPECT_FALSE(FileExists(dir / L"off.log"));
}

// --- LocalSystem never writes its log through a planted link ---------------

namespace {

bool g_asLocalSystem = false;
bool TestProbe() {
    return g_asLocalSystem;
}

// Runs the logger as LocalSystem (or not) through the probe seam; restores
// the real probe at the end.
class LocalSystemLog : public ::testing::Test {
  protected:
    void SetUp() override {
        pravel::SetLocalSystemProbe(&TestProbe);
        wchar_t path[MAX_PATH] = {};
        SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, path);
        commonLogs_ = std::wstring(path) + L"\\QUILLON_LOGS";
        wchar_t program[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, program, MAX_PATH);
        const std::wstring self = program;
        const std::wstring name = self.substr(self.rfind(L'\\') + 1);
        logName_ = name.substr(0, name.rfind(L'.')) + L".LOG";
        besideProgram_ = self.substr(0, self.rfind(L'.')) + L".LOG";
        RemoveTree(commonLogs_);
        RemoveTree(besideProgram_);
    }
    void TearDown() override {
        RemoveTree(commonLogs_);
        RemoveTree(besideProgram_);
        pravel::SetLocalSystemProbe(&pravel::IsLocalSystemAccount);
        g_asLocalSystem = false;
    }
    // Where a fresh logger writes "line" with `configured` as its path.
    std::wstring OpenedBy(bool localSystem, const std::wstring& configured = L"") {
        g_asLocalSystem = localSystem;
        pravel::Logger logger;
        if (!configured.empty()) logger.SetLogFile(configured);
        logger.Write(L"line");
        return logger.OpenPath();
    }
    static std::wstring Victim(const ScratchDir& dir) {
        const std::wstring victim = dir / L"victim.txt";
        WriteBytes(victim, "precious");
        return victim;
    }

    std::wstring commonLogs_;
    std::wstring logName_;
    std::wstring besideProgram_;
};

}  // namespace

TEST_F(LocalSystemLog, LinkedCommonLogFolderIsSkippedForLocalSystemOnly) {
    ScratchDir elsewhere(L"logtarget");
    const LinkKind kind = MakeFolderLink(commonLogs_, elsewhere.Path());
    ASSERT_NE(LinkKind::None, kind) << "no folder link can be made here";
    std::printf("QUILLON_LOGS made a %s\n", LinkKindName(kind));

    // LocalSystem: the link is not used, the log goes beside the program.
    EXPECT_EQ(besideProgram_, OpenedBy(true));
    EXPECT_FALSE(FileExists(elsewhere / logName_));
    EXPECT_NE(std::wstring::npos, ReadUtf16(besideProgram_).find(L"-line\r\n"));
    RemoveTree(besideProgram_);

    // An ordinary user keeps today's behaviour: the folder is used as it is.
    EXPECT_EQ(commonLogs_ + L"\\" + logName_, OpenedBy(false));
    EXPECT_TRUE(FileExists(elsewhere / logName_));
    RemoveFolderLink(commonLogs_);
    EXPECT_TRUE(DirectoryExists(elsewhere.Path()));
}

TEST_F(LocalSystemLog, HardLinkedLogFileIsNeverOpenedForLocalSystem) {
    ScratchDir dir(L"loghard");
    const std::wstring victim = Victim(dir);
    const std::wstring configured = dir / L"setup.log";
    ASSERT_TRUE(CreateHardLinkW(configured.c_str(), victim.c_str(), nullptr));
    // The common folder is plain, but its log file is a hard link too.
    ASSERT_TRUE(CreateDirectoryW(commonLogs_.c_str(), nullptr));
    const std::wstring commonLog = commonLogs_ + L"\\" + logName_;
    ASSERT_TRUE(CreateHardLinkW(commonLog.c_str(), victim.c_str(), nullptr));

    EXPECT_EQ(besideProgram_, OpenedBy(true, configured));
    EXPECT_EQ("precious", ReadBytes(victim));

    // Ordinary users: the configured file is used as before.
    EXPECT_EQ(configured, OpenedBy(false, configured));
    EXPECT_NE("precious", ReadBytes(victim));
}

TEST_F(LocalSystemLog, PlainLocationsWorkAsBeforeForLocalSystem) {
    ScratchDir dir(L"logplain");
    const std::wstring configured = dir / L"setup.log";
    EXPECT_EQ(configured, OpenedBy(true, configured));  // created
    EXPECT_EQ(configured, OpenedBy(true, configured));  // reused and appended
    const std::wstring text = ReadUtf16(configured);
    EXPECT_EQ(0u, text.find(L"\xFEFF"));
    EXPECT_EQ(std::wstring::npos, text.find(L"\xFEFF", 1));
    EXPECT_NE(text.find(L"-line\r\n"), text.rfind(L"-line\r\n"));

    // The common folder (created when missing) takes the log when the
    // configured folder does not exist.
    EXPECT_EQ(commonLogs_ + L"\\" + logName_, OpenedBy(true, dir / L"missing\\setup.log"));
}

TEST_F(LocalSystemLog, SymbolicLinkLogFileIsNeverOpenedForLocalSystem) {
    ScratchDir dir(L"logsym");
    const std::wstring victim = Victim(dir);
    const std::wstring configured = dir / L"setup.log";
    if (!MakeFileSymbolicLink(configured, victim)) {
        GTEST_SKIP() << "file symbolic links cannot be made here (Wine 8 makes none)";
    }
    EXPECT_NE(configured, OpenedBy(true, configured));
    EXPECT_EQ("precious", ReadBytes(victim));
}
