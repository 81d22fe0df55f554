// What the prerequisite decision asks of the system. The Windows
// implementation answers from the running machine; tests substitute their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/Configuration.h"

namespace pravel {

class PrerequisiteSet;

// What IsWow64Process2 says about the machine, looked up once per process.
struct MachineArchitecture {
    bool queryExists = false;     // the function exists in kernel32
    bool querySucceeded = false;  // and succeeded for this process
    uint16_t nativeMachine = 0;   // IMAGE_FILE_MACHINE_* of the native machine
};
constexpr uint16_t kMachineArm64 = 0xAA64;

class DecisionEnvironment {
  public:
    virtual ~DecisionEnvironment() = default;
    virtual bool IsOsAccepted(const std::wstring& winNTVersions,
                              const std::wstring& winNT64Versions) = 0;
    virtual bool IsLanguageAccepted(const std::wstring& languageList) = 0;
    virtual MachineArchitecture Architecture() = 0;
    // Runs the searches of prerequisite `index` (Options letter "x": `use64`).
    virtual bool EvaluateSearches(PrerequisiteSet& set, size_t index, bool use64) = 0;
    // The download folder, with a trailing backslash.
    virtual std::wstring DownloadFolder() = 0;
    // True when `path` exists; `sizeLow` receives the low 32 bits of its size.
    virtual bool FindFile(const std::wstring& path, uint32_t& sizeLow) = 0;
    // Whether the file found at the download target path `path` of `p`
    // passes the prerequisite's tests of its content (MD5, SHA256,
    // SignerName), so that it need not be downloaded; asked only when it has
    // such tests. A rejected file is logged and deleted (it is downloaded
    // again). This only spares a download: the file is tested again when it
    // is to run.
    virtual bool AcceptFoundFile(const Prerequisite& p, const std::wstring& path) = 0;
    virtual bool LogEnabled() = 0;
    virtual void Log(const std::wstring& message) = 0;
};

// The log text of a decision state.
const char* StateText(int32_t state);

}  // namespace pravel
