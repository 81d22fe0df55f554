// Stand-ins for system programs. ProgramStandIn puts another program in place
// of a system program's file (written through redirection, so that a 32-bit
// process replaces the copy it would start) and puts the original back when
// it goes. Wine prefers its built-in copy of some programs (msiexec.exe) to
// a file in their place: the test program's ctest environment then asks for
// the file (PRAVEL_TEST_DLLOVERRIDES=<name>=n,b; Wine reads it at process
// start, and a built-in placeholder still runs as before). Wine's
// powershell.exe is a stub that does nothing:
// PowerShellStandIn puts the recording program (RECORD_CALL fixture) at the
// path FindWindowsPowerShell finds for this process; its recording lands in
// a file of the test's choosing. A stand-in left behind by a crashed test
// behaves like the stub (no record without RECORD_CALL_FILE, exit code 0).
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

class ProgramStandIn {
  public:
    ProgramStandIn(const std::wstring& path, const std::wstring& replacement) : path_(path) {
        EXPECT_FALSE(path_.empty()) << "no program to stand in for";
        if (path_.empty()) return;
        original_ = ReadBytes(path_);
        EXPECT_TRUE(Retried([&] { return CopyFileW(replacement.c_str(), path_.c_str(), FALSE); }))
            << "cannot replace " << Narrow(path_);
    }
    // Puts the original back; a stand-in that is still ending keeps its file
    // busy for a moment.
    ~ProgramStandIn() {
        if (path_.empty() || original_.empty()) return;
        EXPECT_TRUE(Retried([&] { return WriteAll(path_, original_); }))
            << "cannot restore " << Narrow(path_);
    }
    ProgramStandIn(const ProgramStandIn&) = delete;
    ProgramStandIn& operator=(const ProgramStandIn&) = delete;

    const std::wstring& Path() const { return path_; }

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

    std::wstring path_;
    std::string original_;
};

class PowerShellStandIn : public ProgramStandIn {
  public:
    explicit PowerShellStandIn(const std::wstring& recordFile)
        : ProgramStandIn(pravel::FindWindowsPowerShell(),
                         PathFromEnvironment("FIXTURE_RECORD_CALL")),
          record_(recordFile) {
        DeleteFileW(record_.c_str());
        SetEnvironmentVariableW(L"RECORD_CALL_FILE", record_.c_str());
    }
    ~PowerShellStandIn() { SetEnvironmentVariableW(L"RECORD_CALL_FILE", nullptr); }

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
};

}  // namespace testing_support
