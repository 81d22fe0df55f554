// The Windows build's FetchPlatform (checker/FetchWindows.cpp): pravel's
// own transfer engine (download/Downloader) and acceptance code
// (download/Acceptance, download/SignatureCheck), so that the verdict is
// the one a customer's machine reaches, signature and chain included.
#pragma once

#include "checker/Fetch.h"
#include "checker/Progress.h"

namespace pravel {

class WindowsFetch : public FetchPlatform {
  public:
    // `meter` (may be null) shows the progress of each transfer.
    explicit WindowsFetch(ProgressMeter* meter) : meter_(meter) {}

    std::wstring Fetch(const std::wstring& url, const std::wstring& target) override;
    FileFacts Inspect(const std::wstring& path) override;
    FetchAcceptance Accept(const Prerequisite& p, const std::wstring& path,
                           const FileFacts& facts) override;
    std::wstring PlatformPath(const std::wstring& path) const override { return path; }
    bool FetchesFileLocations() const override { return true; }
    std::wstring SignatureRemark() const override { return std::wstring(); }

  private:
    ProgressMeter* meter_;
};

}  // namespace pravel
