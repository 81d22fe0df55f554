#include "download/CredentialsProvider.h"

#include "common/ErrorCodes.h"
#include "download/DownloadSink.h"

namespace pravel {

namespace {
constexpr uint32_t kAnswerRetry = 1237;  // ERROR_RETRY
CredentialsPromptFn g_prompt = nullptr;
}  // namespace

void SetCredentialsPrompt(CredentialsPromptFn prompt) {
    g_prompt = prompt;
}

void CredentialsProvider::BeginAttempts() {
    storedUsable_ = true;
}

bool CredentialsProvider::GetStored(std::wstring& user, std::wstring& password) {
    if (!storedUsable_ || userName_.empty()) return false;
    user = userName_;
    password = password_;
    return true;
}

bool CredentialsProvider::GetEntered(std::wstring& user, std::wstring& password) {
    if (userName_.empty()) return false;
    user = userName_;
    password = password_;
    return true;
}

void CredentialsProvider::MarkUsed() {
    storedUsable_ = false;
}

void CredentialsProvider::SetRealm(const std::wstring& realm) {
    realm_ = realm;
}

void CredentialsProvider::SetServerName(const std::wstring& serverName) {
    serverName_ = serverName;
}

void CredentialsProvider::SetUrl(const std::wstring& url) {
    url_ = url;
}

bool CredentialsProvider::Prompt(void* ownerWindow) {
    if (promptDisabled_ || g_prompt == nullptr) return false;
    return g_prompt(*this, ownerWindow);
}

void CredentialsProvider::Store(const std::wstring& user, const std::wstring& password) {
    userName_ = user;
    password_ = password;
}

bool AskForCredentials(CredentialsProvider* provider, DownloadSink* sink, const std::wstring& url,
                       const std::wstring& realm, const std::wstring& serverName,
                       std::wstring& user, std::wstring& password) {
    if (provider == nullptr) return false;
    if (provider->GetStored(user, password)) {
        provider->MarkUsed();
        return true;
    }
    provider->SetUrl(url);
    provider->SetRealm(realm);
    provider->SetServerName(serverName);
    if (sink == nullptr) return false;
    if (sink->ReportError(url.c_str(), DLERR_AUTH_REQUIRED, provider) != kAnswerRetry) return false;
    if (!provider->GetEntered(user, password)) return false;
    provider->MarkUsed();
    return true;
}

}  // namespace pravel
