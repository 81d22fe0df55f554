#include "diag/ErrorReport.h"

#include "common/Text.h"
#include "diag/ExceptionText.h"
#include "diag/Logger.h"

namespace pravel {

namespace {

ErrorReportWindow g_window;

// "file.cpp:12" from a program exception's location.
std::wstring SourceOf(const IException& exception) {
    const auto* program = dynamic_cast<const Exception*>(&exception);
    if (program == nullptr) return std::wstring();
    const std::wstring& file = program->SourceFile();
    std::wstring_view name(file);
    const size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring_view::npos) name.remove_prefix(slash + 1);
    return Concat({name, ":", ToDecimal(program->Line())});
}

void Present(HWND owner, const std::wstring& message, const std::wstring& details,
             const std::wstring& kindName, const std::wstring& source) {
    if (CanShowErrorReport()) {
        ShowReportWindow(owner, message, details, kindName, source);
        return;
    }
    const std::wstring text =
        Concat({"[", kindName, "] ", source, ": ", details.empty() ? message : details});
    ::OutputDebugStringW(text.c_str());
    Log({"Error report:", text});
}

}  // namespace

void SetErrorReportWindow(const ErrorReportWindow& window) {
    g_window = window;
}

bool CanShowErrorReport() {
    return g_window.canShow != nullptr && g_window.show != nullptr && g_window.canShow();
}

void ShowReportWindow(HWND owner, const std::wstring& message, const std::wstring& details,
                      const std::wstring& kindName, const std::wstring& source) {
    if (g_window.show != nullptr) g_window.show(owner, message, details, kindName, source);
}

std::wstring DescribeException(const IException& exception) {
    const auto* program = dynamic_cast<const Exception*>(&exception);
    return Concat({exception.KindName(), ": ",
                   program != nullptr ? TextPiece(program->Message()) : TextPiece("")});
}

void PresentException(HWND owner, const IException& exception) noexcept {
    try {
        const auto* program = dynamic_cast<const Exception*>(&exception);
        const std::wstring full = program != nullptr ? program->Message() : std::wstring();
        const std::wstring message =
            exception.Kind() == kKindSeh ? std::wstring() : TextBeforeStackTrace(full);
        Present(owner, message, full, exception.KindName(), SourceOf(exception));
    } catch (...) {
        ::OutputDebugStringW(L"The error report could not be shown.");
    }
}

void PresentException(HWND owner, const std::exception& exception) noexcept {
    try {
        std::wstring message;
        for (const char* p = exception.what(); p != nullptr && *p != '\0'; ++p)
            message += static_cast<wchar_t>(static_cast<unsigned char>(*p));
        Present(owner, message, std::wstring(), WideFromAscii(ExceptionKindName(kKindStd)),
                WideFromAscii("platform\\core\\ExceptionPresenter"));
    } catch (...) {
        ::OutputDebugStringW(L"The error report could not be shown.");
    }
}

}  // namespace pravel
