// The process log of a launch test program: switched on once, read back
// from a mark so that each test sees only its own lines. Also a listener
// that records the return codes the launcher reports.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "diag/Logger.h"
#include "launch/InstallerLauncher.h"
#include "support/WinTestSupport.h"

namespace launch_test {

// The (listener name, return code) pairs of the launches, in order.
struct RecordingListener : pravel::LaunchListener {
    void LaunchFinished(const std::string& name, uint32_t code) override {
        calls.emplace_back(name, code);
    }
    std::vector<std::pair<std::string, uint32_t>> calls;
};

inline const std::wstring& TestLogPath() {
    static const std::wstring path = [] {
        wchar_t temp[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, temp);
        std::wstring p =
            std::wstring(temp) + L"pt_launch_" + std::to_wstring(GetCurrentProcessId()) + L".log";
        DeleteFileW(p.c_str());
        pravel::logEnabled = true;
        pravel::TheLogger().SetLogFile(p);
        return p;
    }();
    return path;
}

// Messages (time stamps removed) written after construction.
class LogMark {
  public:
    LogMark() : start_(testing_support::ReadUtf16(TestLogPath()).size()) {}
    std::vector<std::wstring> Messages() const {
        const std::wstring text = testing_support::ReadUtf16(TestLogPath());
        std::vector<std::wstring> messages;
        for (const auto& line : testing_support::SplitLines(text.substr(start_))) {
            if (line.size() >= 20 && line[4] == L'-' && line[19] == L'-') {
                messages.push_back(line.substr(20));
            }
        }
        return messages;
    }
    bool Has(const std::wstring& message) const {
        for (const auto& m : Messages()) {
            if (m == message) return true;
        }
        return false;
    }

  private:
    size_t start_;
};

}  // namespace launch_test
