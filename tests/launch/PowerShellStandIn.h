// Wine's powershell.exe is a stub that does nothing. PowerShellStandIn puts
// the recording program (RECORD_CALL fixture) in its place, at the path
// FindWindowsPowerShell finds for this process (a 32-bit process writes
// through redirection to the 32-bit copy), and puts the original back when
// it goes. The recording lands in a file of the test's choosing. A stand-in
// left behind by a crashed test behaves like the stub (no record without
// RECORD_CALL_FILE, exit code 0).
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/TempFolder.h"
#include "launch/CleanupScriptRunner.h"
#include "support/WinTestSupport.h"

namespace testing_support {

// The names of the runner's private script copies ("QL_*") now in the
// program's temporary folder.
inline std::set<std::wstring> PrivateCopies() {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((pravel::ProgramTempFolder() + L"QL_*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        names.insert(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

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
        const std::wstring recorder = PathFromEnvironment("FIXTURE_RECORD_CALL");
        EXPECT_TRUE(Retried([&] { return CopyFileW(recorder.c_str(), path_.c_str(), FALSE); }))
            << "cannot replace " << Narrow(path_);
        DeleteFileW(record_.c_str());
        SetEnvironmentVariableW(L"RECORD_CALL_FILE", record_.c_str());
    }
    // Puts the original back; a stand-in that is still ending keeps its file
    // busy for a moment.
    ~PowerShellStandIn() {
        SetEnvironmentVariableW(L"RECORD_CALL_FILE", nullptr);
        if (path_.empty() || original_.empty()) return;
        EXPECT_TRUE(Retried([&] { return WriteAll(path_, original_); }))
            << "cannot restore " << Narrow(path_);
    }
    PowerShellStandIn(const PowerShellStandIn&) = delete;
    PowerShellStandIn& operator=(const PowerShellStandIn&) = delete;

    const std::wstring& Path() const { return path_; }

    // Waits up to `ms` for the stand-in's record.
    RecordedCall WaitForCall(DWORD ms = 20000) const {
        RecordedCall call;
        for (DWORD waited = 0; waited <= ms; waited += 50) {
            const std::vector<std::wstring> lines =
                FileExists(record_) ? SplitLines(ReadUtf16(record_)) : std::vector<std::wstring>();
            if (lines.size() >= 2) {
                call.arrived = true;
                call.arguments = WithoutProgramName(lines[0]);
                call.folder = lines[1];
                return call;
            }
            Sleep(50);
        }
        return call;
    }

  private:
    // Tries `action` for up to ten seconds.
    template <typename Action>
    static bool Retried(Action action) {
        for (int i = 0; i < 200; ++i) {
            if (action()) return true;
            Sleep(50);
        }
        return false;
    }

    static bool WriteAll(const std::wstring& path, const std::string& bytes) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        const BOOL ok =
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        return ok && written == bytes.size();
    }

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
