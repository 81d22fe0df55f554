// The error report: a modal window with an error icon, the message, "Close"
// and, when the details differ from the message, "Details >>" that unfolds
// a read-only box with the full text and a "Copy" button.
//
// The presenters turn an exception that reached the top of a thread into a
// report. They never throw. In a run that cannot show windows (silent, or
// without a visible window station) they write the report to the log (when
// logging is on) and to the debugger output instead of waiting for a person
// who is not there.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

#include "diag/Exception.h"

namespace pravel {

// False in a silent run (`interactive` unset) and when the process's window
// station is not visible (a service, a task without a desktop).
bool CanShowErrorReport();

// Shows the report and returns when it is closed. `owner` is used while it
// is still a window. `kindName` and `source` name what is reported.
void ShowErrorReport(HWND owner, const std::wstring& message, const std::wstring& details,
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
