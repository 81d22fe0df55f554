// Credentials for servers, proxies, FTP logins and shares, kept in memory for
// the rest of the run and shared by every download of the run. Nothing is
// written to disk or to the log.
//
// Each pair is kept with the place it was entered for (see CredentialPlace):
// it is offered again only to demands of that same place, never to another
// server, another scheme or port, a proxy or a share.
#pragma once

#include <string>
#include <vector>

namespace pravel {

class DownloadSink;

class CredentialsProvider {
  public:
    CredentialsProvider() = default;
    virtual ~CredentialsProvider() = default;
    CredentialsProvider(const CredentialsProvider&) = delete;
    CredentialsProvider& operator=(const CredentialsProvider&) = delete;

    // Slot order of the operations.
    // A new attempt series: the stored pair may be offered once again.
    virtual void BeginAttempts();
    // The pair stored for the current place, when it may still be offered
    // in this series and its user name is non-empty.
    virtual bool GetStored(std::wstring& user, std::wstring& password);
    // The pair stored for the current place whenever its user name is
    // non-empty.
    virtual bool GetEntered(std::wstring& user, std::wstring& password);
    // The stored pair was used in this series.
    virtual void MarkUsed();
    virtual void SetRealm(const std::wstring& realm);
    virtual void SetServerName(const std::wstring& serverName);
    virtual void SetUrl(const std::wstring& url);
    // Asks the user through the installed prompt (the credentials dialog of
    // the program's windows, see SetCredentialsPrompt); true when a user name
    // was entered, which is then stored. False while prompting is disabled
    // or when no prompt is installed (the transfer then fails for want of
    // credentials).
    virtual bool Prompt(void* ownerWindow);

    // Stores a pair for the current place, as if the user had entered it
    // (replacing an earlier pair of that place).
    void Store(const std::wstring& user, const std::wstring& password);
    void SetPromptDisabled(bool disabled) { promptDisabled_ = disabled; }
    // The place of the current demand (CredentialPlace); set before the
    // stored pair is looked up.
    void SetPlace(const std::wstring& place) { place_ = place; }
    const std::wstring& Place() const { return place_; }

    const std::wstring& Realm() const { return realm_; }
    const std::wstring& ServerName() const { return serverName_; }
    const std::wstring& Url() const { return url_; }

  private:
    struct Entry {
        std::wstring place;
        std::wstring user;
        std::wstring password;
    };
    const Entry* Find() const;

    bool promptDisabled_ = false;
    bool storedUsable_ = false;
    std::vector<Entry> entries_;
    std::wstring place_;
    std::wstring realm_;
    std::wstring url_;
    std::wstring serverName_;
};

// How Prompt asks the user: shows the dialog owned by `ownerWindow` (may be
// null) for the provider's server name, URL and realm, stores what was
// entered with Store and answers true on OK. Installed once at start, before
// any download; none is installed in the platform-free core.
using CredentialsPromptFn = bool (*)(CredentialsProvider& provider, void* ownerWindow);
void SetCredentialsPrompt(CredentialsPromptFn prompt);

// The place a pair of credentials belongs to: for a server, its scheme, host
// (letter case ignored) and port, "https://host:443"; for a proxy, "proxy "
// and its setting, "proxy 127.0.0.1:8080"; for a share, its server,
// "share \\server".
std::wstring ServerPlace(const std::wstring& scheme, const std::wstring& host, unsigned port);
std::wstring ProxyPlace(const std::wstring& proxySetting);
std::wstring SharePlace(const std::wstring& server);

// The asking procedure of a transfer that met a demand for credentials at
// `place`: the pair stored for that place first (once per series),
// otherwise the sink is asked with ReportError(url, DLERR_AUTH_REQUIRED,
// provider) and only its answer 1237 ("retry") makes the entered pair count.
// `url` is the URL as shown (without its password). True with `user` and
// `password` filled; false means no credentials (also without a provider).
bool AskForCredentials(CredentialsProvider* provider, DownloadSink* sink, const std::wstring& url,
                       const std::wstring& realm, const std::wstring& serverName,
                       const std::wstring& place, std::wstring& user, std::wstring& password);

}  // namespace pravel
