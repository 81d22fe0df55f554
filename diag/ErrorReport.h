// The error report of an exception that reached the top of a thread.
//
// The presenters turn such an exception into a report. They never throw. In
// a run that can show windows the report opens in the report's window,
// which the user interface provides (ui/ErrorReportWindow.h) and the
// program's entry registers here; in a run that cannot (silent, or without a
// visible window station), and before a window is registered, they write
// the report to the log (when logging is on) and to the debugger output
// instead of waiting for a person who is not there.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

#include "diag/Exception.h"

namespace pravel {

// The report's window: `canShow` tells whether a person can see a window
// now; `show` shows the report and returns when it is closed (`owner` is
// used while it is still a window; `kindName` and `source` name what is
// reported).
struct ErrorReportWindow {
    bool (*canShow)() = nullptr;
    void (*show)(HWND owner, const std::wstring& message, const std::wstring& details,
                 const std::wstring& kindName, const std::wstring& source) = nullptr;
};
// Registers the window, once at start-up before any thread but the first
// runs (the registration is not synchronised).
void SetErrorReportWindow(const ErrorReportWindow& window);

// True when a window is registered and can be shown now.
bool CanShowErrorReport();
// Shows the report in the registered window; nothing without one.
void ShowReportWindow(HWND owner, const std::wstring& message, const std::wstring& details,
                      const std::wstring& kindName, const std::wstring& source);

// A program exception: kind name KindName(), details the full message, the
// message the text before the stack trace (empty for a translated fault),
// source "<file without folders>:<line>".
void PresentException(HWND owner, const IException& exception) noexcept;
// A standard library exception: kind "EXCEPTION_STD".
void PresentException(HWND owner, const std::exception& exception) noexcept;

// The one-line log form of a program exception: "<KindName>: <full message>".
std::wstring DescribeException(const IException& exception);

}  // namespace pravel
