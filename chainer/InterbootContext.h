// The per-user key HKCU\InterbootContext that records each installer's
// return code under the prerequisite's RetValPropName, as REG_SZ values
// with narrow names (ANSI registry functions). The first value written under
// a name stays. Registry failures are ignored: a value that cannot be
// written is simply missing.
//
// The store is the installer launcher's listener: every launch records its
// return code under the entry's listener name. An entry without a listener
// name records nothing (it would otherwise land in the key's default value).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "launch/InstallerLauncher.h"

namespace pravel {

class InterbootContext : public LaunchListener {
  public:
    static constexpr const char* kKeyName = "InterbootContext";

    // Writes the number as signed decimal text (unless the name exists).
    void SetNumber(const std::string& name, int32_t value);
    // Writes `text` unless a value of that name can already be read.
    void SetString(const std::string& name, const std::string& text);
    bool GetString(const std::string& name, std::string& text) const;
    // False unless the whole text is a decimal number.
    bool GetNumber(const std::string& name, int32_t& value) const;
    void DeleteValue(const std::string& name);
    std::vector<std::pair<std::string, std::string>> Enumerate() const;

    // The number setter under `name`; nothing for an empty name.
    void LaunchFinished(const std::string& name, uint32_t returnCode) override;

    // Removes the whole key (the end of every run without a pending reboot).
    static void DeleteKey();
};

}  // namespace pravel
