// Runs single searches against the real system, as a prerequisite would,
// with the process log on: each outcome carries the line its search logged.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include "chainer/PrerequisiteSet.h"
#include "chainer/SystemSearchRunner.h"
#include "detect/SearchEvaluation.h"
#include "launch/LaunchTestLog.h"

namespace search_test {

struct Outcome {
    bool found = false;
    std::vector<std::wstring> values;
    std::wstring value;
    std::wstring line;  // what the search logged, after "Search 1 (<SearchString>): "
};

inline Outcome RunSearch(int32_t type, const std::wstring& searchString,
                         const std::wstring& verMin = L"", const std::wstring& verMax = L"",
                         const std::wstring& refContent = L"", bool use64 = false) {
    pravel::PrerequisiteSearch search;
    search.type = type;
    search.searchString = searchString;
    search.verMin = verMin;
    search.verMax = verMax;
    search.refContent = refContent;
    pravel::PrerequisiteSet set;
    pravel::SystemSearchRunner runner(set);
    std::vector<pravel::SearchResult> results;
    Outcome outcome;
    const launch_test::LogMark mark;
    outcome.found = pravel::EvaluateSearches({search}, results, 0, use64, runner);
    if (!results.empty()) {
        outcome.values = results[0].foundValues;
        outcome.value = results[0].value;
    }
    const std::wstring start = L"Search 1 (" + searchString + L"): ";
    for (const std::wstring& message : mark.Messages()) {
        if (message.compare(0, start.size(), start) == 0)
            outcome.line = message.substr(start.size());
    }
    return outcome;
}

// A registry key the test creates and removes again, in the process's own
// registry view or in the one `view` names (KEY_WOW64_64KEY/KEY_WOW64_32KEY).
class TestKey {
  public:
    TestKey(HKEY root, const std::wstring& path, REGSAM view = 0)
        : root_(root), path_(path), view_(view) {
        Delete();
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS | view_, nullptr, &key_, nullptr));
    }
    ~TestKey() {
        RegCloseKey(key_);
        Delete();
    }
    void SetString(const std::wstring& name, const std::wstring& value, DWORD type = REG_SZ) {
        RegSetValueExW(key_, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    void SetMulti(const std::wstring& name, const std::wstring& withNuls) {
        RegSetValueExW(key_, name.c_str(), 0, REG_MULTI_SZ,
                       reinterpret_cast<const BYTE*>(withNuls.data()),
                       static_cast<DWORD>(withNuls.size() * sizeof(wchar_t)));
    }
    void SetDword(const std::wstring& name, DWORD value) {
        RegSetValueExW(key_, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof(value));
    }
    // The bytes as they are, as binary data or with the type given.
    void SetBinary(const std::wstring& name, const std::string& bytes, DWORD type = REG_BINARY) {
        RegSetValueExW(key_, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()));
    }
    void AddSubkey(const std::wstring& name) {
        HKEY sub = nullptr;
        RegCreateKeyExW(key_, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr);
        if (sub) RegCloseKey(sub);
    }

  private:
    void Delete() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root_, path_.c_str(), 0, KEY_ALL_ACCESS | view_, &key) != ERROR_SUCCESS) {
            return;
        }
        RegDeleteTreeW(key, nullptr);
        RegCloseKey(key);
        RegDeleteKeyExW(root_, path_.c_str(), view_, 0);
    }

    HKEY root_;
    std::wstring path_;
    REGSAM view_;
    HKEY key_ = nullptr;
};

}  // namespace search_test
