// Dialog 225: asks for the user name and password that a server or proxy
// demands. OK is enabled exactly while the user name is not empty. The
// window is centred, resizable with a size grip (its first size is its
// smallest; the grip hides while it is maximised).
//
// Layout: the explanation takes as many lines as its text needs at the
// window's width (the controls below move down, the window is as much
// higher); the labels form one column, as wide as the wider label needs
// (widened by at most half a field; a label still too long breaks onto its
// second line), and both fields begin where it ends and end at the same
// right edge; the fields and the explanation grow with the window's width,
// OK and Cancel stay at its bottom right.
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
    // `realm`: the realm the server gave (an empty one takes the explanation
    // without a realm, string 247).
    CredentialsDialog(std::wstring displayName, std::wstring realm);

    // Modal on the calling thread, owned by `owner`. True on OK, with `entry`
    // filled; false on Cancel or when the window cannot be created.
    bool Ask(HWND owner, CredentialsEntry& entry);

  private:
    INT_PTR OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnInit(HWND window);
    // Places every control for the window's client size (see above).
    void Layout(HWND window);
    // Shows the explanation `width` pixels wide; how much higher than in the
    // template it then is.
    LONG ExplanationGrowth(HWND window, LONG width);
    // How much wider than in the template the label column is.
    LONG LabelColumnGrowth(HWND window) const;
    // The smallest window: the template's width, the explanation's lines.
    void TakeMinimum(HWND window);
    void UpdateOk(HWND window);

    std::wstring displayName_;
    std::wstring realm_;
    std::wstring explanation_;
    CredentialsEntry* entry_ = nullptr;
    HWND grip_ = nullptr;
    SIZE minimum_ = {0, 0};
    // The template's layout in pixels, taken when the window is created (the
    // controls in the order of kLaidOut, CredentialsDialog.cpp).
    RECT base_[8] = {};
    SIZE baseClient_ = {0, 0};
};

}  // namespace pravel
