// Wine's powershell.exe is a stub that does nothing. PowerShellStandIn puts
// the recording program (RECORD_CALL fixture) in its place, at the path
// FindWindowsPowerShell finds for this process (a 32-bit process writes
// through redirection to the 32-bit copy), and puts the original back when
// it goes. The recording lands in a file of the test's choosing.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "launch/CleanupScriptRunner.h"
#include "support/WinTestSupport.h"

namespace testing_support {

struct RecordedCall {
    bool arrived = false;
    std::wstring arguments;  // the command line without the program's own name
    std::wstring folder;     // the working folder
};

class PowerShellStandIn {
  public:
    explicit PowerShellStandIn(const std::wstring& recordFile) : record_(recordFile) {
        path_ = pravel::FindWindowsPowerShell();
        EXPECT_FALSE(path_.empty()) << "no powershell.exe in this prefix";
        if (path_.empty()) return;
        original_ = ReadBytes(path_);
        EXPECT_TRUE(
            CopyFileW(PathFromEnvironment("FIXTURE_RECORD_CALL").c_str(), path_.c_str(), FALSE))
            << "cannot replace " << Narrow(path_);
        DeleteFileW(record_.c_str());
        SetEnvironmentVariableW(L"RECORD_CALL_FILE", record_.c_str());
    }
    ~PowerShellStandIn() {
        SetEnvironmentVariableW(L"RECORD_CALL_FILE", nullptr);
        if (!path_.empty() && !original_.empty()) WriteBytes(path_, original_);
    }
    PowerShellStandIn(const PowerShellStandIn&) = delete;
    PowerShellStandIn& operator=(const PowerShellStandIn&) = delete;

    const std::wstring& Path() const { return path_; }

    // Waits up to `ms` for the stand-in's record.
    RecordedCall WaitForCall(DWORD ms = 20000) const {
        RecordedCall call;
        for (DWORD waited = 0; waited <= ms; waited += 50) {
            if (FileExists(record_)) break;
            Sleep(50);
        }
        if (!FileExists(record_)) return call;
        const std::vector<std::wstring> lines = SplitLines(ReadUtf16(record_));
        if (lines.size() < 2) return call;
        call.arrived = true;
        call.arguments = WithoutProgramName(lines[0]);
        call.folder = lines[1];
        return call;
    }

  private:
    static std::wstring WithoutProgramName(const std::wstring& line) {
        size_t end = 0;
        if (!line.empty() && line[0] == L'"') {
            end = line.find(L'"', 1);
            end = end == std::wstring::npos ? line.size() : end + 1;
        } else {
            end = line.find(L' ');
            if (end == std::wstring::npos) end = line.size();
        }
        while (end < line.size() && line[end] == L' ') ++end;
        return line.substr(end);
    }

    std::wstring record_;
    std::wstring path_;
    std::string original_;
};

}  // namespace testing_support
