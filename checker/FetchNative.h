// The native build's FetchPlatform (checker/FetchNative.cpp): libcurl, the
// program's own digests and OpenSSL to verify a PE file's signatures.
#pragma once

#include "checker/Fetch.h"
#include "checker/Progress.h"

namespace pravel {

class NativeFetch : public FetchPlatform {
  public:
    // `meter` (may be null) shows the progress of each transfer.
    explicit NativeFetch(ProgressMeter* meter);
    ~NativeFetch() override;
    NativeFetch(const NativeFetch&) = delete;
    NativeFetch& operator=(const NativeFetch&) = delete;

    std::wstring Fetch(const std::wstring& url, const std::wstring& target) override;
    FileFacts Inspect(const std::wstring& path) override;
    FetchAcceptance Accept(const Prerequisite& p, const std::wstring& path,
                           const FileFacts& facts) override;
    std::wstring PlatformPath(const std::wstring& path) const override;
    bool FetchesFileLocations() const override { return false; }
    std::wstring SignatureRemark() const override;

  private:
    ProgressMeter* meter_;
};

}  // namespace pravel
