// In-process behaviour of the Logger that the end-to-end runs cannot reach.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

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
