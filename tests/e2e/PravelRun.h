// Shared pieces of the end-to-end tests: a copy of the real pravel.exe in a
// scratch folder, its configuration beside it, and the log it writes.
#pragma once

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "support/WinTestSupport.h"

namespace e2e {

using namespace testing_support;

// A scratch folder holding a copy of pravel.exe named `exeName`.
class Installation {
  public:
    Installation(const std::wstring& tag, const std::wstring& exeName)
        : dir_(tag), exe_(dir_ / exeName) {
        EXPECT_TRUE(CopyFileW(PravelExe().c_str(), exe_.c_str(), FALSE))
            << "cannot copy pravel.exe to " << Narrow(exe_);
    }
    const ScratchDir& Dir() const { return dir_; }
    const std::wstring& Exe() const { return exe_; }
    // The configuration path pravel reads: same folder, same name, ".ini".
    std::wstring Ini() const { return exe_.substr(0, exe_.rfind(L'.')) + L".ini"; }
    void WriteIni(const std::wstring& text) const { WriteUtf16(Ini(), text); }
    RunResult RunIt(DWORD timeoutMs = 60000) const { return Run(exe_, L"", timeoutMs); }

  private:
    ScratchDir dir_;
    std::wstring exe_;
};

inline std::wstring CommonAppData() {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, path);
    return path;
}

// A configuration whose [PREREQ_CHAINER] names `logFile`.
inline std::wstring IniWithLog(const std::wstring& logFile, const std::wstring& more = L"") {
    return L"[PREREQ_CHAINER]\r\nLogFile=" + logFile + L"\r\n" + more;
}

// True when `line` is "YYYY-MM-DD HH-MM-SS-<message>".
inline bool IsTimestamped(const std::wstring& line) {
    if (line.size() < 20) return false;
    const wchar_t* pattern = L"dddd-dd-dd dd-dd-dd-";
    for (size_t i = 0; i < 20; ++i) {
        const bool digit = line[i] >= L'0' && line[i] <= L'9';
        if (pattern[i] == L'd' ? !digit : line[i] != pattern[i]) return false;
    }
    return true;
}

// The messages of the time-stamped lines of a log.
inline std::vector<std::wstring> Messages(const std::wstring& log) {
    std::vector<std::wstring> messages;
    for (const auto& line : SplitLines(log)) {
        if (IsTimestamped(line)) messages.push_back(line.substr(20));
    }
    return messages;
}

inline bool HasMessage(const std::wstring& log, const std::wstring& message) {
    for (const auto& m : Messages(log)) {
        if (m == message) return true;
    }
    return false;
}

inline bool AnyStartsWith(const std::vector<std::wstring>& texts, const std::wstring& prefix) {
    for (const auto& text : texts) {
        if (text.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
}

// The system's text for a Win32 error code (English), without the line end.
inline std::wstring SystemText(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, code, 0x400, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result = text != nullptr ? text : L"";
    LocalFree(text);
    while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r')) result.pop_back();
    return result;
}

// Whether HKCU\InterbootContext (the reboot record of a run) exists.
inline bool InterbootContextExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"InterbootContext", 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

inline bool HasMessageStartingWith(const std::wstring& log, const std::wstring& prefix) {
    return AnyStartsWith(Messages(log), prefix);
}

}  // namespace e2e
