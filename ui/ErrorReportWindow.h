// The error report's window: a modal window with an error icon, the message,
// "Close" and, when the details differ from the message, "Details >>" that
// unfolds a read-only box with the full text and a "Copy" button. The
// presenters of diag/ErrorReport.h show it once the program's entry has
// registered it (SetErrorReportWindow).
#pragma once

#include <windows.h>

#include <string>

namespace pravel {

// False in a silent run (`interactive` unset) and when the process's window
// station is not visible (a service, a task without a desktop).
bool CanShowErrorReportWindow();

// Shows the report and returns when it is closed. `owner` is used while it
// is still a window. `kindName` and `source` name what is reported.
void ShowErrorReport(HWND owner, const std::wstring& message, const std::wstring& details,
                     const std::wstring& kindName, const std::wstring& source);

}  // namespace pravel
