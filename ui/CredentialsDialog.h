// Dialog 225: asks for the user name and password that a server or proxy
// demands. OK is enabled exactly while the user name is not empty. The
// window is centred, resizable with a size grip (its first size is its
// smallest; the grip hides while it is maximised).
#pragma once

#include <windows.h>

#include <string>

#include "ui/DialogWindow.h"

namespace pravel {

struct CredentialsEntry {
    std::wstring userName;
    std::wstring password;
    bool remember = false;  // the check box; read, not acted on
};

class CredentialsDialog : public DialogWindow {
  public:
    // `displayName`: the server named in the caption and the explanation (the
    // proxy's server for a proxy demand, the URL's host for a server demand);
    // `realm`: the realm the server gave.
    CredentialsDialog(std::wstring displayName, std::wstring realm);

    // Modal on the calling thread, owned by `owner`. True on OK, with `entry`
    // filled; false on Cancel or when the window cannot be created.
    bool Ask(HWND owner, CredentialsEntry& entry);

  private:
    INT_PTR OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnInit(HWND window);
    void OnSize(HWND window, WPARAM kind);
    void UpdateOk(HWND window);

    struct Anchor {
        int id;
        bool moveX, moveY, growX;
        RECT initial;
    };
    std::wstring displayName_;
    std::wstring realm_;
    CredentialsEntry* entry_ = nullptr;
    HWND grip_ = nullptr;
    SIZE minimum_ = {0, 0};
    SIZE initialClient_ = {0, 0};
    Anchor anchors_[6] = {};
};

}  // namespace pravel
