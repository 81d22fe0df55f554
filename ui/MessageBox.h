// Texts of the string table and the program's message boxes.
//
// LoadText reads a string-table entry of any length. ShowMessage shows a
// message box whose text and caption are literal texts or string ids; while
// the run is not interactive (a silent run) no box is shown and the text
// goes to the debugger output instead (OutputDebugStringW).
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

namespace pravel {

// String-table entry `id` of the program's module; empty when there is none
// or memory runs out.
std::wstring LoadText(UINT id);
// As LoadText; false when the entry is missing (the table holds no empty
// entries) or memory runs out.
bool TryLoadText(UINT id, std::wstring& text);
// Entry `id` with its "%s" filled by `values` (FormatTemplate, the one
// formatter of every window text: "%%" is "%"); the values alone, joined by
// blanks, when the entry is missing.
std::wstring LoadFormatted(UINT id, std::initializer_list<std::wstring> values);

// MessageBoxW(owner, text, caption, type). `text` and `caption` are each a
// text or a string id (MAKEINTRESOURCEW, below 65536); a caption id of 0
// means no caption (the system's default). Returns the button pressed, 0
// when a text cannot be loaded or memory runs out, and 0 when the run is
// not interactive (the text then went to the debugger output).
int ShowMessage(HWND owner, UINT type, const wchar_t* text, const wchar_t* caption);

// An error box of the run: owned by the active window, else by the foreground
// window (brought to the foreground again after the box closes). Type 0x10
// (error icon, OK), or 0x15 (error icon, Retry and Cancel) when `retryable`.
// The caption is `title` when it is not empty, else the system's default.
// Returns the button pressed (0 as ShowMessage).
int ShowErrorMessage(const std::wstring& text, const std::wstring& title, bool retryable);

// The owner the error boxes use: the calling thread's active window, else
// the foreground window (may be null).
HWND ErrorBoxOwner();

}  // namespace pravel
