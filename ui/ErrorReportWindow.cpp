#include "ui/ErrorReportWindow.h"

#include <vector>

#include "common/Text.h"
#include "diag/ExceptionText.h"
#include "ui/AppModule.h"
#include "ui/ConfiguredTexts.h"
#include "ui/DialogWindow.h"
#include "ui/MessageBox.h"
#include "ui/ResourceIds.h"

namespace pravel {

namespace {

constexpr WORD kIdIcon = 500;
constexpr WORD kIdMessage = 501;
constexpr WORD kIdDetails = 502;
constexpr WORD kIdToggle = 503;
constexpr WORD kIdCopy = 504;
constexpr WORD kClassButton = 0x0080;
constexpr WORD kClassEdit = 0x0081;
constexpr WORD kClassStatic = 0x0082;
// Pop-up, caption, system menu, modal frame, the system's dialog font
// (DS_SHELLFONT with "MS Shell Dlg"), centred.
constexpr DWORD kWindowStyle = 0x80CC08C8u;
constexpr DWORD kDetailsStyle = 0x40B018C4u;  // hidden read-only multi-line edit, both scroll bars
constexpr int kWidth = 350;
constexpr int kExpandedMargin = 12;  // dialog units below the details box and "Copy"

// Anchor flags: which edges follow the window's right and bottom edges.
enum : unsigned { kMoveX = 1, kMoveY = 2, kGrowX = 4, kGrowY = 8 };

// Builds the DLGTEMPLATE and its items in one WORD buffer.
class TemplateWriter {
  public:
    void Word(WORD value) { words_.push_back(value); }
    void Dword(DWORD value) {
        Word(LOWORD(value));
        Word(HIWORD(value));
    }
    void Text(const std::wstring& text) {
        for (wchar_t c : text) Word(static_cast<WORD>(c));
        Word(0);
    }
    void AlignDword() {
        if (words_.size() % 2 != 0) Word(0);
    }
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD classAtom,
              const std::wstring& title = std::wstring()) {
        AlignDword();
        Dword(style | WS_CHILD);
        Dword(0);
        Word(x);
        Word(y);
        Word(cx);
        Word(cy);
        Word(id);
        Word(0xFFFF);
        Word(classAtom);
        Text(title);
        Word(0);  // no creation data
    }
    void SetItemCount(WORD count) { words_[4] = count; }  // after style and extended style
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

  private:
    std::vector<WORD> words_;
};

struct Anchor {
    int id;
    unsigned flags;
    RECT rect;  // client coordinates in the expanded layout
};

struct ReportState {
    const std::wstring* message;
    const std::wstring* details;
    HFONT detailsFont = nullptr;
    RECT collapsed{};
    RECT expanded{};
    bool isExpanded = false;
    SIZE reference{};  // client size the anchors were taken at
    std::vector<Anchor> anchors;
    POINT minTrack{};  // zero: none
};

// The configured or string-table text `id`; `builtIn` in a program without
// the string table.
std::wstring ReportText(UINT id, const char* builtIn) {
    std::wstring text;
    return TryLoadText(id, text) ? text : WideFromAscii(builtIn);
}

void AddAnchor(HWND dialog, ReportState& state, int id, unsigned flags) {
    if (::GetDlgItem(dialog, id) == nullptr) return;
    state.anchors.push_back(Anchor{id, flags, ControlRect(dialog, id)});
}

void LayoutAnchors(HWND dialog, const ReportState& state) {
    RECT client;
    ::GetClientRect(dialog, &client);
    const int dx = client.right - state.reference.cx;
    const int dy = client.bottom - state.reference.cy;
    for (const Anchor& anchor : state.anchors) {
        RECT r = anchor.rect;
        if (anchor.flags & kMoveX) ::OffsetRect(&r, dx, 0);
        if (anchor.flags & kMoveY) ::OffsetRect(&r, 0, dy);
        if (anchor.flags & kGrowX) r.right += dx;
        if (anchor.flags & kGrowY) r.bottom += dy;
        if (r.bottom < r.top) r.bottom = r.top;
        if (r.right < r.left) r.right = r.left;
        PlaceControl(dialog, anchor.id, r);
    }
}

void InitReport(HWND dialog, ReportState& state) {
    SetProgramIcons(dialog);
    ::SendDlgItemMessageW(dialog, kIdIcon, STM_SETICON,
                          reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_ERROR)), 0);
    ::SetDlgItemTextW(dialog, kIdMessage, state.message->c_str());
    ::GetWindowRect(dialog, &state.collapsed);
    state.expanded = state.collapsed;
    RECT client;
    ::GetClientRect(dialog, &client);
    state.reference = SIZE{client.right, client.bottom};
    HWND details = ::GetDlgItem(dialog, kIdDetails);
    if (details != nullptr) {
        const int height = -::MulDiv(9, static_cast<int>(WindowDpi(dialog)), 72);
        state.detailsFont = ::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                          DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                          DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"Courier New");
        if (state.detailsFont != nullptr)
            ::SendMessageW(details, WM_SETFONT, reinterpret_cast<WPARAM>(state.detailsFont), FALSE);
        ::SetWindowTextW(details, state.details->c_str());
        RECT box;
        RECT copy;
        ::GetWindowRect(details, &box);
        ::GetWindowRect(::GetDlgItem(dialog, kIdCopy), &copy);
        state.expanded.bottom = (box.bottom > copy.bottom ? box.bottom : copy.bottom) +
                                DluToPixels(dialog, 0, kExpandedMargin).cy;
        // The template places every control for the expanded window.
        state.reference.cy += (state.expanded.bottom - state.collapsed.bottom);
    }
    AddAnchor(dialog, state, kIdMessage, kGrowX);
    AddAnchor(dialog, state, IDOK, kMoveX);
    AddAnchor(dialog, state, kIdDetails, kGrowX | kGrowY);
    AddAnchor(dialog, state, kIdCopy, kMoveX | kMoveY);
    LayoutAnchors(dialog, state);
}

void ToggleDetails(HWND dialog, ReportState& state) {
    state.isExpanded = !state.isExpanded;
    const int show = state.isExpanded ? SW_SHOW : SW_HIDE;
    ::ShowWindow(::GetDlgItem(dialog, kIdDetails), show);
    ::ShowWindow(::GetDlgItem(dialog, kIdCopy), show);
    const std::wstring toggle = state.isExpanded ? ReportText(IDS_DETAILS_HIDE, "Details <<")
                                                 : ReportText(IDS_DETAILS_SHOW, "Details >>");
    ::SetDlgItemTextW(dialog, kIdToggle, toggle.c_str());
    const RECT& target = state.isExpanded ? state.expanded : state.collapsed;
    ::SetWindowPos(dialog, nullptr, 0, 0, target.right - target.left, target.bottom - target.top,
                   SWP_NOMOVE | SWP_NOZORDER);
    // Opened, it may reach below the screen (at 200 % above all).
    if (state.isExpanded) KeepInsideWorkArea(dialog);
    LayoutAnchors(dialog, state);
}

void CopyDetails(HWND dialog) {
    HWND details = ::GetDlgItem(dialog, kIdDetails);
    ::SendMessageW(details, EM_SETSEL, 0, -1);
    ::SendMessageW(details, WM_COPY, 0, 0);
    ::SendMessageW(details, EM_SETSEL, static_cast<WPARAM>(-1), 0);
}

INT_PTR CALLBACK ReportProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<ReportState*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    // The buttons read as the configured texts do; the message and the
    // details are the program's own English and stay left to right.
    if (message == WM_CTLCOLORBTN) ApplyReadingOrder(message, wParam, lParam);
    switch (message) {
        case WM_INITDIALOG:
            ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            InitReport(dialog, *reinterpret_cast<ReportState*>(lParam));
            return TRUE;
        case WM_SIZE:
            if (state != nullptr && !state->anchors.empty()) LayoutAnchors(dialog, *state);
            return FALSE;
        case WM_GETMINMAXINFO:
            if (state != nullptr && (state->minTrack.x != 0 || state->minTrack.y != 0)) {
                reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = state->minTrack;
                return TRUE;
            }
            return FALSE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                case IDCANCEL:
                    ::EndDialog(dialog, LOWORD(wParam));
                    return TRUE;
                case kIdToggle:
                    if (state != nullptr) ToggleDetails(dialog, *state);
                    return TRUE;
                case kIdCopy:
                    CopyDetails(dialog);
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_DESTROY:
            ReleaseProgramIcons(dialog);
            if (state != nullptr && state->detailsFont != nullptr) {
                ::DeleteObject(state->detailsFont);
                state->detailsFont = nullptr;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

bool CanShowErrorReportWindow() {
    return interactive && WindowStationVisible();
}

void ShowErrorReport(HWND owner, const std::wstring& message, const std::wstring& details,
                     const std::wstring& kindName, const std::wstring& source) {
    (void)kindName;
    (void)source;
    const std::wstring shownDetails = details == message ? std::wstring() : details;
    if (owner != nullptr && !::IsWindow(owner)) owner = nullptr;
    const ReportLayout layout = ComputeReportLayout(message);
    const bool hasDetails = !shownDetails.empty();
    const short extra = static_cast<short>(layout.extra);

    TemplateWriter t;
    t.Dword(kWindowStyle);
    // In a mirrored (right-to-left) run the report is laid out mirrored, but
    // its controls are not: the message and the details are the program's
    // own English and read left to right.
    t.Dword((owner == nullptr ? WS_EX_APPWINDOW : 0) | WS_EX_NOINHERITLAYOUT);
    t.Word(0);  // item count, set below
    t.Word(0);
    t.Word(0);
    t.Word(kWidth);
    t.Word(static_cast<WORD>(layout.height));
    t.Word(0);  // no menu
    t.Word(0);  // default class
    t.Text(CaptionText(ReportText(IDS_ERROR_TITLE, "Error")));
    t.Word(8);
    t.Text(L"MS Shell Dlg");
    WORD count = 0;
    t.Item(WS_VISIBLE | SS_ICON, 10, 10, 21, 21, kIdIcon, kClassStatic);
    ++count;
    t.Item(WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 38, 10, 306, static_cast<short>(layout.textHeight),
           kIdMessage, kClassStatic);
    ++count;
    t.Item(WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 296, static_cast<short>(37 + extra), 50, 14,
           IDOK, kClassButton, ReportText(IDS_CLOSE, "Close"));
    ++count;
    if (hasDetails) {
        t.Item(WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 5, static_cast<short>(37 + extra), 50, 14,
               kIdToggle, kClassButton, ReportText(IDS_DETAILS_SHOW, "Details >>"));
        t.Item(kDetailsStyle, 4, static_cast<short>(55 + extra), 342, 200, kIdDetails, kClassEdit);
        t.Item(WS_TABSTOP | BS_PUSHBUTTON, 296, static_cast<short>(260 + extra), 50, 14, kIdCopy,
               kClassButton, ReportText(IDS_COPY, "Copy"));
        count += 3;
    }
    t.SetItemCount(count);

    ReportState state;
    state.message = &message;
    state.details = &shownDetails;
    ::DialogBoxIndirectParamW(TheModule().Instance(), t.Get(), owner, ReportProc,
                              reinterpret_cast<LPARAM>(&state));
    if (state.detailsFont != nullptr) ::DeleteObject(state.detailsFont);
}

}  // namespace pravel
