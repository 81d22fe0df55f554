#include "download/CredentialsProvider.h"

#include "common/ErrorCodes.h"
#include "common/Text.h"
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

const CredentialsProvider::Entry* CredentialsProvider::Find() const {
    for (const Entry& entry : entries_) {
        if (entry.place == place_) return &entry;
    }
    return nullptr;
}

bool CredentialsProvider::GetStored(std::wstring& user, std::wstring& password) {
    return storedUsable_ && GetEntered(user, password);
}

bool CredentialsProvider::GetEntered(std::wstring& user, std::wstring& password) {
    const Entry* entry = Find();
    if (entry == nullptr || entry->user.empty()) return false;
    user = entry->user;
    password = entry->password;
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
    for (Entry& entry : entries_) {
        if (entry.place == place_) {
            entry.user = user;
            entry.password = password;
            return;
        }
    }
    entries_.push_back(Entry{place_, user, password});
}

std::wstring ServerPlace(const std::wstring& scheme, const std::wstring& host, unsigned port) {
    return Concat({ToLowerAscii(scheme), "://", ToLowerAscii(host), ":", DecimalPiece(port)});
}

std::wstring ProxyPlace(const std::wstring& proxySetting) {
    return Concat({"proxy ", ToLowerAscii(proxySetting)});
}

std::wstring SharePlace(const std::wstring& server) {
    return Concat({"share \\\\", ToLowerAscii(server)});
}

bool AskForCredentials(CredentialsProvider* provider, DownloadSink* sink, const std::wstring& url,
                       const std::wstring& realm, const std::wstring& serverName,
                       const std::wstring& place, std::wstring& user, std::wstring& password) {
    if (provider == nullptr) return false;
    provider->SetPlace(place);
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
