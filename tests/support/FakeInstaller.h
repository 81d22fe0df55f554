// The fake installer of tests/fixtures/FakeInstaller.cpp as the tests use it:
// copies under the names a configuration needs, their directions, and the
// records they leave in "installs.log".
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "support/WinTestSupport.h"

namespace testing_support {

// The fixture program of this build (FIXTURE_FAKE_INSTALLER).
inline std::wstring FakeInstallerExe() {
    return PathFromEnvironment("FIXTURE_FAKE_INSTALLER");
}

// Copies the fake installer to `path` and writes its directions
// ("exit=3010\nregkey=Software\\X\n", or empty for exit code 0).
inline void PlaceFakeInstaller(const std::wstring& path, const std::string& directions = "") {
    CopyFileW(FakeInstallerExe().c_str(), path.c_str(), FALSE);
    const std::wstring base = path.substr(0, path.rfind(L'.'));
    if (!directions.empty()) WriteBytes(base + L".fake", directions);
}

using Record = std::map<std::wstring, std::wstring>;

// The records in `folder`\installs.log, in run order.
inline std::vector<Record> ReadRecords(const std::wstring& folder) {
    std::vector<Record> records;
    for (const std::wstring& line : SplitLines(ReadUtf16(folder + L"\\installs.log"))) {
        if (line == L"[run]") {
            records.emplace_back();
        } else if (!records.empty()) {
            const size_t equals = line.find(L'=');
            if (equals != std::wstring::npos) {
                records.back()[line.substr(0, equals)] = line.substr(equals + 1);
            }
        }
    }
    return records;
}

// The tick count a record was written at (its "tick" line).
inline unsigned long long RecordTick(const Record& record) {
    auto it = record.find(L"tick");
    return it == record.end() ? 0 : std::stoull(it->second);
}

}  // namespace testing_support
