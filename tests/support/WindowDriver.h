// Driving real windows from another thread (or another process) in tests:
// find a dialog by the control ids it carries, read texts back, type and
// press buttons, and pump the calling thread's messages while waiting.
// Every wait is bounded.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace testing_support {

struct DialogSearch {
    DWORD pid;
    std::vector<int> ids;
    std::vector<HWND> found;
};

inline BOOL CALLBACK CollectDialog(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<DialogSearch*>(parameter);
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 16);
    if (std::wstring(cls) != L"#32770") return TRUE;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (search.pid != 0 && owner != search.pid) return TRUE;
    for (int id : search.ids) {
        if (GetDlgItem(window, id) == nullptr) return TRUE;
    }
    search.found.push_back(window);
    return TRUE;
}

// Top-level dialog windows (class "#32770") of process `pid` (0: any) that
// carry every control in `ids`.
inline std::vector<HWND> FindDialogs(DWORD pid, std::initializer_list<int> ids) {
    DialogSearch search{pid, ids, {}};
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Polls every 10 ms for up to `timeoutMs` until a dialog with `ids` exists
// and is visible (a dialog exists before its initialisation is done and it
// is shown).
inline HWND WaitForDialog(std::initializer_list<int> ids, DWORD timeoutMs = 10000,
                          DWORD pid = GetCurrentProcessId()) {
    const DWORD start = GetTickCount();
    for (;;) {
        for (HWND window : FindDialogs(pid, ids)) {
            if (IsWindowVisible(window)) return window;
        }
        if (GetTickCount() - start >= timeoutMs) return nullptr;
        Sleep(10);
    }
}

inline std::wstring WindowText(HWND window) {
    wchar_t text[2048] = {};
    GetWindowTextW(window, text, 2048);
    return text;
}

inline std::wstring ItemText(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
}

inline bool ItemEnabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

inline bool ItemVisible(HWND dialog, int id) {
    return (GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

// The command a button click sends, posted (never blocks on a modal loop).
inline void PressButton(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// The control's rectangle in its dialog's client coordinates.
inline RECT ItemRect(HWND dialog, int id) {
    RECT rect = {};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// A rectangle of dialog units in pixels of `dialog`.
inline RECT DialogUnits(HWND dialog, int x, int y, int width, int height) {
    RECT rect = {x, y, x + width, y + height};
    MapDialogRect(dialog, &rect);
    return rect;
}

// Dispatches this thread's messages until `done` answers true or
// `timeoutMs` passes; returns what `done` answered last.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

}  // namespace testing_support
