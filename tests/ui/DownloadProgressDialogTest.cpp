// The progress window (dialog 216) as the phase's sink. The phase runs on
// the window's worker thread and reads the window back after each sink call
// (the calls are synchronous); Cancel is pressed from a third thread.
#include "ui/DownloadProgressDialog.h"

#include <commctrl.h>

#include <vector>

#include "UiTestSupport.h"

using namespace ui_test;
using pravel::DownloadProgressDialog;
using pravel::DownloadSink;
using pravel::ProgressRun;

namespace {

constexpr int32_t kScale = DownloadProgressDialog::kStepScale;

HWND ProgressWindow() {
    return WaitForDialog({IDC_PROGRESS_STATUS, IDC_PROGRESS_BAR, IDCANCEL}, 2000);
}

int BarPosition(HWND window) {
    return static_cast<int>(SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0));
}

int BarMaximum(HWND window) {
    return static_cast<int>(SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_GETRANGE, FALSE, 0));
}

// Wine 8's progress bar answers PBM_SETSTATE but keeps no state (it always
// reports PBST_NORMAL); Windows keeps it. The state is checked where it is kept.
bool BarKeepsState() {
    HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               nullptr, nullptr);
    SendMessageW(bar, PBM_SETSTATE, PBST_ERROR, 0);
    const bool kept = SendMessageW(bar, PBM_GETSTATE, 0, 0) == PBST_ERROR;
    DestroyWindow(bar);
    return kept;
}

bool BarInErrorState(HWND window) {
    static const bool kept = BarKeepsState();
    return !kept || SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_GETSTATE, 0, 0) == PBST_ERROR;
}

class ProgressWindowTest : public WindowTest {};

}  // namespace

TEST_F(ProgressWindowTest, StartsWithCaptionPreparingTextIconsAndResourceLayout) {
    bool comOnWorker = false;
    bool taskbar = false;
    DownloadProgressDialog* self = nullptr;
    ProgressRun run;
    run.phase = [&](DownloadSink& sink) -> uint32_t {
        HWND window = ProgressWindow();
        EXPECT_NE(window, nullptr);
        if (window == nullptr) return 1603;
        EXPECT_EQ(WindowText(window), L"Contoso Setup");
        EXPECT_EQ(ItemText(window, IDC_PROGRESS_STATUS), L"Preparing...");
        EXPECT_EQ(ItemText(window, IDCANCEL), L"Cancel");
        EXPECT_TRUE(AtDialogUnits(window, IDC_PROGRESS_BAR, 7, 31, 205, 13));
        EXPECT_TRUE(AtDialogUnits(window, IDCANCEL, 221, 30, 50, 14));
        EXPECT_TRUE(AtDialogUnits(window, IDC_PROGRESS_STATUS, 7, 20, 256, 8));
        RECT client;
        GetClientRect(window, &client);
        const RECT size = DialogUnits(window, 0, 0, 278, 51);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);
        EXPECT_TRUE(HasProgramIcons(window));
        // The worker's apartment is already set up: a second call says so.
        const HRESULT again = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        comOnWorker = again == S_FALSE;
        if (SUCCEEDED(again)) CoUninitialize();
        taskbar = self->TaskbarInUse();
        sink.TransferFinished(0, 0);
        return 0;
    };
    DownloadProgressDialog dialog(run);
    self = &dialog;
    EXPECT_EQ(dialog.Run(nullptr, L"Contoso Setup"), 1);
    EXPECT_TRUE(comOnWorker);
    EXPECT_TRUE(taskbar) << "Wine's taskbar list answers S_OK";
    EXPECT_EQ(dialog.PhaseResult(), 0u);
}

TEST_F(ProgressWindowTest, StepsMoveTheBarOnlyForKindNine) {
    ProgressRun run;
    run.phase = [&](DownloadSink& sink) -> uint32_t {
        HWND window = ProgressWindow();
        if (window == nullptr) return 1603;
        sink.SetRange(3);
        EXPECT_EQ(BarMaximum(window), 3 * kScale);
        EXPECT_EQ(BarPosition(window), 0);
        for (int kind : {0, 1, 8, 10, -9}) {
            sink.ShowStep(L"ignored", kind);
            EXPECT_EQ(ItemText(window, IDC_PROGRESS_STATUS), L"Preparing...") << kind;
            EXPECT_EQ(BarPosition(window), 0) << kind;
        }
        sink.ShowStep(L"Downloading A", 9);  // a step starts where the one before ended
        EXPECT_EQ(ItemText(window, IDC_PROGRESS_STATUS), L"Downloading A");
        EXPECT_EQ(BarPosition(window), 0);
        sink.ShowStep(L"Installing A", 9);
        EXPECT_EQ(ItemText(window, IDC_PROGRESS_STATUS), L"Installing A");
        EXPECT_EQ(BarPosition(window), 1 * kScale);
        EXPECT_FALSE(sink.IsPaused());
        EXPECT_FALSE(sink.IsCancelled());
        sink.TransferFinished(0, 0);
        return 0;
    };
    DownloadProgressDialog dialog(run);
    EXPECT_EQ(dialog.Run(nullptr, L"t"), 1);
}

// A step's text too long for its line shows the name shortened; any other
// text shows whole over the lines it needs, the bar and Cancel below it at
// their distances (the window grows); one line again, the resource layout.
TEST_F(ProgressWindowTest, TheStatusLineShortensTheNameOrTakesTheLinesItNeeds) {
    const std::wstring name = L"Microsoft Visual C++ 2015-2022 Redistributable (x64) - 14.40.33810";
    ProgressRun run;
    run.phase = [&](DownloadSink& sink) -> uint32_t {
        HWND window = ProgressWindow();
        if (window == nullptr) return 1603;
        sink.SetRange(20);
        sink.ShowStep((L"Downloading " + name + L" " + name).c_str(), 9);
        const std::wstring shown = ItemText(window, IDC_PROGRESS_STATUS);
        EXPECT_EQ(shown.rfind(L"Downloading " + name.substr(0, 12), 0), 0u);
        EXPECT_EQ(shown.back(), L'\x2026');
        EXPECT_TRUE(AtDialogUnits(window, IDC_PROGRESS_STATUS, 7, 20, 256, 8));
        std::wstring text;
        for (int sentences = 1; sentences <= 10; ++sentences) {
            SCOPED_TRACE(sentences);
            text += L"The server at proxy.contoso.example did not answer in time. ";
            sink.ShowStep(text.c_str(), 9);
            EXPECT_EQ(ItemText(window, IDC_PROGRESS_STATUS), text);
            EXPECT_TRUE(ShowsWholeText(window, IDC_PROGRESS_STATUS));
            const RECT status = ItemRect(window, IDC_PROGRESS_STATUS);
            const RECT bar = ItemRect(window, IDC_PROGRESS_BAR);
            const RECT cancel = ItemRect(window, IDCANCEL);
            RECT client;
            GetClientRect(window, &client);
            // Vertical dialog units in pixels, mapped as the dialog manager maps them.
            auto y = [window](int units) { return DialogUnits(window, 0, units, 0, 0).top; };
            EXPECT_GE(status.top, y(7));
            EXPECT_EQ(bar.top - status.bottom, y(31) - (y(20) + y(8)));
            EXPECT_EQ(cancel.top - bar.top, y(30) - y(31));
            EXPECT_EQ(client.bottom - bar.top, y(51) - y(31));
        }
        sink.ShowStep(L"Installing A", 9);
        EXPECT_TRUE(AtDialogUnits(window, IDC_PROGRESS_STATUS, 7, 20, 256, 8));
        EXPECT_TRUE(AtDialogUnits(window, IDC_PROGRESS_BAR, 7, 31, 205, 13));
        EXPECT_TRUE(AtDialogUnits(window, IDCANCEL, 221, 30, 50, 14));
        RECT client;
        GetClientRect(window, &client);
        EXPECT_EQ(client.bottom, DialogUnits(window, 0, 0, 278, 51).bottom);
        sink.TransferFinished(0, 0);
        return 0;
    };
    DownloadProgressDialog dialog(run);
    EXPECT_EQ(dialog.Run(nullptr, L"t"), 1);
}

TEST_F(ProgressWindowTest, BytesMoveTheBarWithinADownloadStep) {
    ProgressRun run;
    run.phase = [&](DownloadSink& sink) -> uint32_t {
        HWND window = ProgressWindow();
        if (window == nullptr) return 1603;
        sink.SetRange(3);
        sink.ShowStep(L"Downloading A", 9);
        sink.TransferStarting(1, 4000, L"C:\\x.part");
        EXPECT_EQ(BarPosition(window), 0);
        sink.BytesWritten(1000);  // a resume offset counts as well
        EXPECT_EQ(BarPosition(window), kScale / 4);
        sink.BytesWritten(1000);
        EXPECT_EQ(BarPosition(window), kScale / 2);
        sink.BytesWritten(5000);  // more than announced: the step is full, no further
        EXPECT_EQ(BarPosition(window), kScale);
        sink.TransferFinished(1, 0);  // one file in place: the window stays
        EXPECT_EQ(ItemText(window, IDC_PROGRESS_STATUS), L"Downloading A");
        EXPECT_EQ(BarPosition(window), kScale);
        sink.ShowStep(L"Downloading B", 9);
        EXPECT_EQ(BarPosition(window), kScale);
        sink.TransferStarting(1, 0, L"C:\\y.part");  // unknown size: the bar keeps the step
        sink.BytesWritten(123456);
        EXPECT_EQ(BarPosition(window), kScale);
        sink.TransferStarting(1, 10, L"C:\\y.part");
        sink.BytesWritten(6);
        EXPECT_EQ(BarPosition(window), kScale + 6 * kScale / 10);
        // A transfer that starts over holds the bar until it passes its place.
        sink.TransferStarting(1, 10, L"C:\\y.part");
        sink.BytesWritten(3);
        EXPECT_EQ(BarPosition(window), kScale + 6 * kScale / 10);
        sink.BytesWritten(5);
        EXPECT_EQ(BarPosition(window), kScale + 8 * kScale / 10);
        sink.TransferFinished(1, 0);  // the file is in place: the step ends
        EXPECT_EQ(BarPosition(window), 2 * kScale);
        EXPECT_TRUE(IsWindow(window)) << "per-file notifications never end the window";
        sink.TransferFinished(0, 0);
        return 0;
    };
    DownloadProgressDialog dialog(run);
    EXPECT_EQ(dialog.Run(nullptr, L"t"), 1);
}

// A whole run: downloads, a site and installations, each phase telling its
// own range. With the planned steps the bar spans the run and, sampled
// after every call, never moves back; it ends full.
TEST_F(ProgressWindowTest, TheBarOnlyMovesForwardThroughAWholeRun) {
    ProgressRun run;
    run.plannedSteps =
        2 * 2 + 1 + 1;  // two downloads (and their installations), a site, a file on disk
    std::vector<int> positions;
    run.phase = [&](DownloadSink& sink) -> uint32_t {
        HWND window = ProgressWindow();
        if (window == nullptr) return 1603;
        const auto sample = [&] { positions.push_back(BarPosition(window)); };
        sink.SetRange(2);
        sample();
        EXPECT_EQ(BarMaximum(window), 6 * kScale);
        for (const wchar_t* step : {L"Downloading A", L"Downloading B"}) {
            sink.ShowStep(step, 9);
            sample();
            sink.TransferStarting(1, 1000, L"C:\\f.part");
            for (int i = 0; i < 4; ++i) {
                sink.BytesWritten(250);
                sample();
            }
            sink.TransferStarting(1, 2000, L"C:\\f.part");  // a reconnect that starts over
            sink.BytesWritten(500);
            sample();
            sink.BytesWritten(1500);
            sample();
            sink.TransferFinished(1, 0);
            sample();
        }
        sink.SetRange(1);  // the sites
        sample();
        sink.ShowStep(L"Opening site of C", 9);
        sample();
        sink.SetRange(3);  // the installations
        sample();
        for (const wchar_t* step : {L"Installing A", L"Installing B", L"Installing D"}) {
            sink.ShowStep(step, 9);
            sample();
        }
        sink.TransferFinished(1, 0);
        sample();
        EXPECT_EQ(BarMaximum(window), 6 * kScale);
        sink.TransferFinished(0, 0);
        return 0;
    };
    DownloadProgressDialog dialog(run);
    EXPECT_EQ(dialog.Run(nullptr, L"t"), 1);
    ASSERT_FALSE(positions.empty());
    for (size_t i = 1; i < positions.size(); ++i)
        EXPECT_GE(positions[i], positions[i - 1]) << "sample " << i;
    EXPECT_EQ(positions.back(), 6 * kScale);
}

TEST_F(ProgressWindowTest, ErrorKeepsOrSetsTheTextAndRedrawsTheBarInTheErrorState) {
    ProgressRun run;
    run.phase = [&](DownloadSink& sink) -> uint32_t {
        HWND window = ProgressWindow();
        if (window == nullptr) return 1603;
        sink.SetRange(1);
        sink.ShowStep(L"Downloading A", 9);
        EXPECT_EQ(sink.ReportError(nullptr, 0x20000003u, nullptr), 0x20000003u);
        EXPECT_EQ(ItemText(window, IDC_PROGRESS_STATUS), L"Downloading A");
        EXPECT_TRUE(BarInErrorState(window));
        EXPECT_FALSE(ItemVisible(window, IDC_PROGRESS_BAR));  // hidden until the redraw
        const DWORD start = GetTickCount();
        while (!ItemVisible(window, IDC_PROGRESS_BAR) && GetTickCount() - start < 3000) Sleep(5);
        const DWORD took = GetTickCount() - start;
        EXPECT_TRUE(ItemVisible(window, IDC_PROGRESS_BAR));
        EXPECT_GE(took + 20, DownloadProgressDialog::kErrorRedrawMs);
        EXPECT_EQ(sink.ReportError(L"A failed", 0xE0000024u, nullptr), 0xE0000024u);
        EXPECT_EQ(ItemText(window, IDC_PROGRESS_STATUS), L"A failed");
        // The failure line's name is shortened as a step's is.
        const std::wstring name(80, L'x');
        sink.ReportError((name + L" could not be installed.").c_str(), 0xE0000024u, nullptr);
        const std::wstring shown = ItemText(window, IDC_PROGRESS_STATUS);
        EXPECT_EQ(shown.rfind(name.substr(0, 12), 0), 0u);
        EXPECT_TRUE(shown.size() < name.size() &&
                    shown.substr(shown.size() - 25) == L"\x2026 could not be installed.");
        sink.TransferFinished(0, 0);
        return 0;
    };
    DownloadProgressDialog dialog(run);
    EXPECT_EQ(dialog.Run(nullptr, L"t"), 1);
}

TEST_F(ProgressWindowTest, TheFinalNotificationEndsWithTheMandatoryVerdict) {
    struct Row {
        bool satisfied;
        bool aborted;
        int code;
    };
    for (const Row& row : {Row{true, false, 1}, Row{false, false, 7}, Row{true, true, 2}}) {
        int verdictCalls = 0;
        ProgressRun run;
        run.mandatorySatisfied = [&] {
            ++verdictCalls;
            return row.satisfied;
        };
        run.aborted = [&] { return row.aborted; };
        run.phase = [&](DownloadSink& sink) -> uint32_t {
            sink.TransferFinished(1, 0);
            sink.TransferFinished(1, 0);
            EXPECT_EQ(verdictCalls, 0);
            sink.TransferFinished(0, 0);
            // The window has ended: later calls change nothing and do not fail.
            sink.SetRange(4);
            sink.ShowStep(L"late", 9);
            sink.TransferStarting(1, 10, L"x");
            sink.BytesWritten(5);
            EXPECT_EQ(sink.ReportError(L"late", 5, nullptr), 5u);
            sink.TransferFinished(0, 0);
            return 0;
        };
        DownloadProgressDialog dialog(run);
        EXPECT_EQ(dialog.Run(nullptr, L"t"), row.code) << row.satisfied << row.aborted;
        EXPECT_EQ(verdictCalls, row.aborted ? 0 : 2);
    }
}

TEST_F(ProgressWindowTest, CancelEndsWithTwoAtOnceWhileThePhaseWaits) {
    DWORD clicked = 0;
    DWORD returned = 0;
    ProgressRun run;
    run.phase = [&](DownloadSink& sink) -> uint32_t {
        // A transfer waiting on a stalled server: poll every 10 ms.
        const DWORD start = GetTickCount();
        while (!sink.IsCancelled()) {
            if (GetTickCount() - start > 20000) return 1603;
            Sleep(10);
        }
        sink.ShowStep(L"after cancel", 9);
        sink.ReportError(nullptr, 5, nullptr);
        return 1602;
    };
    DownloadProgressDialog dialog(run);
    std::thread presser([&] {
        HWND window = ProgressWindow();
        ASSERT_NE(window, nullptr);
        Sleep(100);
        clicked = GetTickCount();
        PressButton(window, IDCANCEL);
    });
    const int code = dialog.Run(nullptr, L"t");
    returned = GetTickCount();
    presser.join();
    EXPECT_EQ(code, 2);
    EXPECT_LE(returned - clicked, 100u);
    EXPECT_EQ(dialog.PhaseResult(), 1602u) << "Run returns only after the worker has ended";
}

TEST_F(ProgressWindowTest, APhaseThatStopsOnAFailureLeavesTheErrorShownUntilClosed) {
    HANDLE phaseDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ProgressRun run;
    run.phase = [&](DownloadSink& sink) -> uint32_t {
        sink.SetRange(1);
        sink.ShowStep(L"Installing A", 9);
        SetEvent(phaseDone);
        return 1603;  // no final notification
    };
    DownloadProgressDialog dialog(run);
    std::thread closer([&] {
        HWND window = ProgressWindow();
        ASSERT_NE(window, nullptr);
        WaitForSingleObject(phaseDone, 10000);
        Sleep(300);
        EXPECT_TRUE(IsWindow(window)) << "the window waits for the user";
        EXPECT_TRUE(BarInErrorState(window));
        EXPECT_EQ(ItemText(window, IDC_PROGRESS_STATUS), L"Installing A");
        PostMessageW(window, WM_CLOSE, 0, 0);  // the close box counts as Cancel
    });
    EXPECT_EQ(dialog.Run(nullptr, L"t"), 2);
    closer.join();
    CloseHandle(phaseDone);
    EXPECT_EQ(dialog.PhaseResult(), 1603u);
}

TEST_F(ProgressWindowTest, EndOfSessionSetsTheShutdownFlagOnlyWhenTheSessionEnds) {
    int ending = 0;
    ProgressRun run;
    run.sessionEnding = [&] { ++ending; };
    run.phase = [&](DownloadSink& sink) -> uint32_t {
        HWND window = ProgressWindow();
        if (window == nullptr) return 1603;
        SendMessageW(window, WM_ENDSESSION, FALSE, 0);
        EXPECT_EQ(ending, 0);
        SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
        EXPECT_EQ(ending, 1);
        EXPECT_TRUE(IsWindow(window)) << "nothing else changes";
        sink.TransferFinished(0, 0);
        return 0;
    };
    DownloadProgressDialog dialog(run);
    EXPECT_EQ(dialog.Run(nullptr, L"t"), 1);
}

TEST_F(ProgressWindowTest, ANonexistentOwnerMeansNoWindowAndNoPhase) {
    bool ran = false;
    ProgressRun run;
    run.phase = [&](DownloadSink&) -> uint32_t {
        ran = true;
        return 0;
    };
    DownloadProgressDialog dialog(run);
    HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                nullptr);
    DestroyWindow(gone);
    EXPECT_EQ(dialog.Run(gone, L"t"), -1);
    EXPECT_FALSE(ran);
}
