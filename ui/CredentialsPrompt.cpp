#include "ui/CredentialsPrompt.h"

#include <windows.h>

#include "ui/CredentialsDialog.h"
#include "ui/TextTemplate.h"

namespace pravel {

bool PromptWithCredentialsDialog(CredentialsProvider& provider, void* ownerWindow) {
    HWND owner = static_cast<HWND>(ownerWindow);
    if (owner == nullptr) owner = ::GetActiveWindow();
    if (owner == nullptr) owner = ::GetForegroundWindow();
    const std::wstring name =
        provider.ServerName().empty() ? HostOfUrl(provider.Url()) : provider.ServerName();
    CredentialsDialog dialog(name, provider.Realm());
    CredentialsEntry entry;
    const bool entered = dialog.Ask(owner, entry);
    if (entered) provider.Store(entry.userName, entry.password);
    if (!entry.password.empty()) {
        ::SecureZeroMemory(&entry.password[0], entry.password.size() * sizeof(wchar_t));
    }
    return entered;
}

}  // namespace pravel
