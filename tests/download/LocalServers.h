// Local servers for the download tests (tests/servers/testserver.py, run by
// the system's Python) and a recording sink and credentials provider.
// Servers listen on 127.0.0.1 (HTTPS: "localhost") on free ports; each is
// started by its owner and stops when the owner is destroyed.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "download/AsyncChannel.h"
#include "download/CredentialsProvider.h"
#include "download/DownloadSink.h"
#include "support/WinTestSupport.h"

namespace download_test {

// The Unix path Wine maps a Windows path to (empty when unknown).
std::string UnixPath(const std::wstring& windowsPath);

class LocalServer {
  public:
    // `mode`: http, https, proxy, ftp; `name` names its files; `root` is the
    // served folder; `extra` are further arguments.
    LocalServer(const std::string& mode, const std::string& name, const std::wstring& root,
                const std::string& extra = std::string());
    ~LocalServer();
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    int Port() const { return port_; }
    bool Running() const { return port_ != 0; }
    // "http://127.0.0.1:PORT" (https: "https://localhost:PORT", ftp: "ftp://127.0.0.1:PORT").
    std::wstring Base() const;
    // Requests seen since the last ClearLog: "path\trange\tauthorization\t
    // if-range\thost\tproxy-authorization" (testserver.py).
    std::vector<std::string> Requests() const;
    void ClearLog();

  private:
    std::string mode_;
    std::string name_;
    testing_support::ScratchDir state_;
    int port_ = 0;
};

// Records every sink call; its answers are set by the test.
class RecordingSink : public pravel::DownloadSink {
  public:
    struct Error {
        std::wstring context;
        uint32_t code;
        void* handle;
    };

    void SetRange(int32_t) override {}
    void TransferStarting(int32_t flag, uint64_t totalSize, const wchar_t* target) override;
    void TransferFinished(int32_t flag, uint32_t code) override;
    void BytesWritten(uint64_t count) override;
    bool IsCancelled() override { return cancel.load(); }
    bool IsPaused() override { return false; }
    uint32_t ReportError(const wchar_t* context, uint32_t code, void* handle) override;
    void ShowStep(const wchar_t*, int32_t) override {}

    // Answer to certificate errors: relax the request's security flags and
    // answer 0 when true, otherwise answer 1.
    bool acceptCertificates = false;
    // Answer to DLERR_AUTH_REQUIRED: store these in the provider and answer
    // 1237 (while `credentialAnswers` > 0), otherwise answer the code. With
    // `answerCredentials` set, it decides instead (true: answer 1237).
    std::wstring user, password;
    int credentialAnswers = 0;
    std::function<bool(pravel::CredentialsProvider&)> answerCredentials;
    // Called from BytesWritten (on the transfer's thread).
    std::function<void(uint64_t total)> onBytes;

    std::atomic<bool> cancel{false};
    std::vector<uint64_t> starts;  // sizes given to TransferStarting
    std::vector<uint64_t> writes;  // BytesWritten counts
    std::vector<Error> errors;
    int finished = 0;
    uint64_t total = 0;
};

// Counts the provider's operations.
class RecordingProvider : public pravel::CredentialsProvider {
  public:
    void BeginAttempts() override;
    bool GetStored(std::wstring& user, std::wstring& password) override;
    int beginAttempts = 0;
    int storedOffered = 0;
};

// Changes the transfer engine's timings for one scope. (Every program that
// links the local servers runs with short pauses between attempts: its
// tests look at what happens, not at how long the engine waits.)
class ScopedTransferTimings {
  public:
    ScopedTransferTimings(uint32_t stallMs, uint32_t firstPauseMs, uint32_t maxPauseMs,
                          uint32_t slowWindowMs = 120000, uint32_t slowBytes = 1024,
                          uint32_t timeLimitFloorMs = 600000, uint32_t minRate = 1024);
    ~ScopedTransferTimings() { pravel::SetTransferTimings(previous_); }

  private:
    pravel::TransferTimings previous_;
};

// "redirect64=" and the URL-safe base64 form of `url`: the test server's
// redirect to a URL with a query of its own (which a configuration value
// cannot percent-encode).
std::wstring RedirectTo(const std::wstring& url);

// Deterministic file content.
std::string MakeContent(size_t size, uint32_t seed);
// A ".part" file as a transfer leaves it: its bytes, and its tag naming the
// size of the whole file (0 = unknown) and the validator ("" = none).
void WritePart(const std::wstring& partPath, const std::string& bytes, uint64_t total,
               const std::string& validator = std::string());
std::wstring Md5Of(const std::string& bytes);

}  // namespace download_test
