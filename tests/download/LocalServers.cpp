#include "LocalServers.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "download/Md5.h"
#include "download/WinInetApi.h"

using namespace testing_support;

namespace download_test {

namespace {

std::string ServerScript() {
    const char* script = std::getenv("PRAVEL_TEST_SERVER");
    return script != nullptr ? script : std::string();
}

std::string Slurp(const std::wstring& path) {
    return ReadBytes(path);
}

class QuickPauses : public ::testing::Environment {
  public:
    void SetUp() override {
        pravel::TransferTimings timings;
        timings.firstPauseMs = 20;
        timings.maxPauseMs = 80;
        pravel::SetTransferTimings(timings);
    }
};

[[maybe_unused]] ::testing::Environment* const kQuickPauses =
    ::testing::AddGlobalTestEnvironment(new QuickPauses);

}  // namespace

ScopedTransferTimings::ScopedTransferTimings(uint32_t stallMs, uint32_t firstPauseMs,
                                             uint32_t maxPauseMs, uint32_t slowWindowMs,
                                             uint32_t slowBytes, uint32_t timeLimitFloorMs,
                                             uint32_t minRate) {
    pravel::TransferTimings timings;
    timings.timeLimitFloorMs = timeLimitFloorMs;
    timings.minRate = minRate;
    timings.stallMs = stallMs;
    timings.firstPauseMs = firstPauseMs;
    timings.maxPauseMs = maxPauseMs;
    timings.slowWindowMs = slowWindowMs;
    timings.slowBytes = slowBytes;
    previous_ = pravel::SetTransferTimings(timings);
}

std::string UnixPath(const std::wstring& windowsPath) {
    using Fn = char*(CDECL*)(const wchar_t*);
    static const auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (fn == nullptr) return std::string();
    char* unix = fn(windowsPath.c_str());
    if (unix == nullptr) return std::string();
    std::string out = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

LocalServer::LocalServer(const std::string& mode, const std::string& name, const std::wstring& root,
                         const std::string& extra)
    : mode_(mode), name_(name), state_(L"srv") {
    const std::string script = ServerScript();
    if (script.empty()) {
        ADD_FAILURE() << "PRAVEL_TEST_SERVER is not set";
        return;
    }
    // Wine starts Unix programs itself (no process handle is returned): the
    // server reports its port through a file and stops when it is deleted.
    std::string command = "Z:\\usr\\bin\\python3 " + script + " " + mode + " --name " + name +
                          " --state " + UnixPath(state_.Path()) + " --root " + UnixPath(root) +
                          " --lifetime 900 " + extra;
    std::wstring wide(command.begin(), command.end());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, &wide[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
        ADD_FAILURE() << "cannot start the " << mode << " server: " << GetLastError();
        return;
    }
    // Wine starts a Unix program itself: no process handle, and the thread
    // handle is left undefined (closing it could close another handle).
    if (info.hProcess) {
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    const std::wstring portFile = state_ / std::wstring(name.begin(), name.end()) + L".port";
    for (int i = 0; i < 300 && port_ == 0; ++i) {  // up to 15 s
        if (FileExists(portFile)) port_ = std::atoi(Slurp(portFile).c_str());
        if (port_ == 0) Sleep(50);
    }
    if (port_ == 0) ADD_FAILURE() << "the " << mode << " server did not start";
}

LocalServer::~LocalServer() {
    const std::wstring portFile = state_ / std::wstring(name_.begin(), name_.end()) + L".port";
    DeleteFileW(portFile.c_str());
    Sleep(300);  // the server polls every 200 ms
}

std::wstring LocalServer::Base() const {
    const std::wstring port = std::to_wstring(port_);
    if (mode_ == "https") return L"https://localhost:" + port;
    if (mode_ == "ftp" || mode_ == "ftpfault") return L"ftp://127.0.0.1:" + port;
    return L"http://127.0.0.1:" + port;
}

std::vector<std::string> LocalServer::Requests() const {
    const std::string text = Slurp(state_ / std::wstring(name_.begin(), name_.end()) + L".log");
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

void LocalServer::ClearLog() {
    DeleteFileW((state_ / std::wstring(name_.begin(), name_.end()) + L".log").c_str());
}

void RecordingSink::TransferStarting(int32_t, uint64_t totalSize, const wchar_t*) {
    starts.push_back(totalSize);
}

void RecordingSink::TransferFinished(int32_t, uint32_t) {
    ++finished;
}

void RecordingSink::BytesWritten(uint64_t count) {
    writes.push_back(count);
    total += count;
    if (onBytes) onBytes(total);
}

uint32_t RecordingSink::ReportError(const wchar_t* context, uint32_t code, void* handle) {
    errors.push_back(Error{context != nullptr ? context : L"", code, handle});
    if (code == 12037 || code == 12038 || code == 12044 || code == 12045) {
        if (!acceptCertificates) return 1;
        const auto& api = pravel::WinInet();
        DWORD flags = 0;
        DWORD size = sizeof(flags);
        api.InternetQueryOptionW(handle, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size);
        flags |= SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                 SECURITY_FLAG_IGNORE_CERT_DATE_INVALID | SECURITY_FLAG_IGNORE_REVOCATION;
        api.InternetSetOptionW(handle, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof(flags));
        return 0;
    }
    if (code == 0xE0000012u && answerCredentials && handle != nullptr)
        return answerCredentials(*static_cast<pravel::CredentialsProvider*>(handle)) ? 1237 : code;
    if (code == 0xE0000012u && credentialAnswers > 0 && handle != nullptr) {
        --credentialAnswers;
        static_cast<pravel::CredentialsProvider*>(handle)->Store(user, password);
        return 1237;
    }
    return code;
}

void RecordingProvider::BeginAttempts() {
    ++beginAttempts;
    CredentialsProvider::BeginAttempts();
}

bool RecordingProvider::GetStored(std::wstring& user, std::wstring& password) {
    const bool got = CredentialsProvider::GetStored(user, password);
    if (got) ++storedOffered;
    return got;
}

std::wstring RedirectTo(const std::wstring& url) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    const std::string bytes(url.begin(), url.end());
    std::wstring out = L"redirect64=";
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = static_cast<uint8_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) group |= static_cast<uint8_t>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) group |= static_cast<uint8_t>(bytes[i + 2]);
        for (size_t k = 0; k < 4; ++k)
            out += i + k <= bytes.size()
                       ? static_cast<wchar_t>(kAlphabet[(group >> (18 - 6 * k)) & 63])
                       : L'=';
    }
    return out;
}

std::string MakeContent(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = static_cast<char>(x);
    }
    return bytes;
}

void WritePart(const std::wstring& partPath, const std::string& bytes, uint64_t total,
               const std::string& validator) {
    WriteBytes(partPath, bytes);
    const std::string tag = std::to_string(total) + "\n" + validator + "\n";
    WriteUtf16(partPath + L".tag", std::wstring(tag.begin(), tag.end()), false);
}

std::wstring Md5Of(const std::string& bytes) {
    pravel::Md5 md5;
    md5.Update(bytes.data(), bytes.size());
    uint8_t digest[16];
    md5.Final(digest);
    return pravel::Md5::ToHex(digest);
}

}  // namespace download_test
