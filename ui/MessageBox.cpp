#include "ui/MessageBox.h"

#include <new>
#include <vector>

#include "ui/AppModule.h"
#include "ui/ConfiguredTexts.h"
#include "ui/TextTemplate.h"
#include "ui/WindowTexts.h"

namespace pravel {

namespace {

constexpr int kFirstBuffer = 256;
constexpr int kLargestBuffer = 1 << 17;  // an entry holds at most 65535 characters

// Loads `id` into a growing buffer: 256 characters, doubled while the entry
// fills the buffer up to its last place. False when the entry is missing or
// memory runs out.
bool LoadGrowing(UINT id, std::wstring& text) {
    if (const std::wstring* configured = TheWindowTexts().FindString(id)) {
        text = *configured;
        return true;
    }
    HINSTANCE instance = TheModule().Instance();
    if (instance == nullptr) instance = ::GetModuleHandleW(nullptr);
    try {
        std::vector<wchar_t> buffer;
        int size = kFirstBuffer;
        for (;;) {
            buffer.assign(static_cast<size_t>(size), L'\0');
            const int length = ::LoadStringW(instance, id, buffer.data(), size);
            if (length <= 0) {  // missing (an entry is never empty)
                text.clear();
                return false;
            }
            if (length < size - 1 || size >= kLargestBuffer) {
                text.assign(buffer.data(), static_cast<size_t>(length));
                return true;
            }
            size *= 2;
        }
    } catch (const std::bad_alloc&) {
        text.clear();
        return false;
    }
}

// The text behind a pointer or a string id; false when it cannot be loaded.
bool Resolve(const wchar_t* textOrId, std::wstring& text) {
    if (IS_INTRESOURCE(textOrId)) {
        return LoadGrowing(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(textOrId)), text);
    }
    try {
        text.assign(textOrId);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// Sees the messages sent to the windows of the thread that shows a message
// box, its colour messages among them.
LRESULT CALLBACK ReadingOrderHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        ApplyReadingOrder(sent->message, sent->wParam, sent->lParam);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

bool TryLoadText(UINT id, std::wstring& text) {
    return LoadGrowing(id, text);
}

std::wstring LoadFormatted(UINT id, std::initializer_list<std::wstring> values) {
    std::wstring pattern;
    if (TryLoadText(id, pattern)) return FormatTemplate(pattern, values);
    std::wstring joined;
    for (const std::wstring& value : values) joined += (joined.empty() ? L"" : L" ") + value;
    return joined;
}

std::wstring LoadText(UINT id) {
    std::wstring text;
    LoadGrowing(id, text);
    return text;
}

int ShowMessage(HWND owner, UINT type, const wchar_t* text, const wchar_t* caption) {
    if (text == nullptr) return 0;
    std::wstring body;
    if (!Resolve(text, body)) return 0;
    std::wstring title;
    const bool hasCaption = caption != nullptr && caption != MAKEINTRESOURCEW(0);
    if (hasCaption && !Resolve(caption, title)) return 0;
    if (!interactive) {
        ::OutputDebugStringW(body.c_str());
        return 0;
    }
    HHOOK readingOrder = nullptr;
    if (TheWindowTexts().RightToLeft()) {
        type |= MB_RTLREADING | MB_RIGHT;
        // MB_RTLREADING is the documented request; the hook gives the
        // box's labels the reading order of every other window as well
        // (systems that ignore the flag, Wine among them).
        readingOrder =
            ::SetWindowsHookExW(WH_CALLWNDPROC, ReadingOrderHook, nullptr, ::GetCurrentThreadId());
    }
    if (hasCaption) title = CaptionText(title);
    const int answer =
        ::MessageBoxW(owner, body.c_str(), hasCaption ? title.c_str() : nullptr, type);
    if (readingOrder != nullptr) ::UnhookWindowsHookEx(readingOrder);
    return answer;
}

HWND ErrorBoxOwner() {
    HWND owner = ::GetActiveWindow();
    return owner != nullptr ? owner : ::GetForegroundWindow();
}

int ShowErrorMessage(const std::wstring& text, const std::wstring& title, bool retryable) {
    HWND active = ::GetActiveWindow();
    HWND foreground = active == nullptr ? ::GetForegroundWindow() : nullptr;
    const UINT type = retryable ? (MB_ICONERROR | MB_RETRYCANCEL) : (MB_ICONERROR | MB_OK);
    const int answer = ShowMessage(active != nullptr ? active : foreground, type, text.c_str(),
                                   title.empty() ? nullptr : title.c_str());
    if (foreground != nullptr && ::IsWindow(foreground)) ::SetForegroundWindow(foreground);
    return answer;
}

}  // namespace pravel
