// The decision environment of the running system: the operating-system and
// language tests, IsWow64Process2, the searches, the download folder and
// the logger.
#pragma once

#include <vector>

#include "chainer/DecisionEnvironment.h"

namespace pravel {

class SystemEnvironment : public DecisionEnvironment {
  public:
    explicit SystemEnvironment(const GeneralOptions& options) : options_(options) {}

    bool IsOsAccepted(const std::wstring& winNTVersions,
                      const std::wstring& winNT64Versions) override;
    bool IsLanguageAccepted(const std::wstring& languageList) override;
    MachineArchitecture Architecture() override;
    bool EvaluateSearches(PrerequisiteSet& set, size_t index, bool use64) override;
    std::wstring DownloadFolder() override;
    bool FindFile(const std::wstring& path, uint32_t& sizeLow) override;
    bool AcceptFoundFile(const Prerequisite& p, const std::wstring& path) override;
    bool LogEnabled() override;
    void Log(const std::wstring& message) override;

  private:
    // Files already accepted, so that a file is hashed and its signature
    // checked once per run while it keeps its size and time. Only whether
    // it must be downloaded depends on this: the file is tested again, as
    // it is, when it is to run.
    struct Judged {
        std::wstring path;
        uint64_t size;
        uint64_t written;
    };
    const GeneralOptions& options_;
    std::vector<Judged> judged_;
};

// The download folder of the process (computed on first use): DownloadFolder
// with its references expanded and normalised, else
// <temporary folder>\<DefaultProdCode>\.
const std::wstring& ProcessDownloadFolder(const GeneralOptions& options);

}  // namespace pravel
