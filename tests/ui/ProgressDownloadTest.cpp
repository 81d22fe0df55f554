// The progress window with the real Downloader against the local test
// server: a 401 answered through dialog 225, and Cancel while the server
// stalls (the ".part" file stays for a later resume).
#include <winsock2.h>

#include "download/LocalServers.h"
#include "UiTestSupport.h"
#include "common/ErrorCodes.h"
#include "download/Downloader.h"
#include "ui/CredentialsPrompt.h"
#include "ui/DownloadProgressDialog.h"

using namespace ui_test;
using namespace pravel;
using download_test::LocalServer;

namespace {

constexpr size_t kSize = 1 << 20;

std::string Content() {
    std::string content(kSize, '\0');
    for (size_t i = 0; i < kSize; ++i) content[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    return content;
}

class ProgressDownload : public WindowTest {
  protected:
    static void SetUpTestSuite() {
        WindowTest::SetUpTestSuite();
        SetCredentialsPrompt(&PromptWithCredentialsDialog);
        root_ = new ScratchDir(L"uidlroot");
        WriteBytes(*root_ / L"f.bin", Content());
        http_ = new LocalServer("http", "uihttp", root_->Path());
    }
    static void TearDownTestSuite() {
        delete http_;
        delete root_;
        SetCredentialsPrompt(nullptr);
    }
    static ScratchDir* root_;
    static LocalServer* http_;
    ScratchDir out_{L"uidlout"};
};
ScratchDir* ProgressDownload::root_ = nullptr;
LocalServer* ProgressDownload::http_ = nullptr;

LONGLONG FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

TEST_F(ProgressDownload, AServerDemandIsAnsweredThroughTheCredentialsDialog) {
    ASSERT_TRUE(http_->Running());
    const std::wstring target = out_ / L"f.bin";
    const std::wstring url = http_->Base() + L"/files/f.bin?auth=alice:s3cret&realm=Files";
    CredentialsProvider provider;
    uint32_t status = 1;
    ProgressRun run;
    run.phase = [&](DownloadSink& sink) -> uint32_t {
        sink.SetRange(1);
        sink.ShowStep(L"Downloading F", 9);
        Downloader downloader(&sink, &provider);
        status = downloader.Download(url, target);
        sink.TransferFinished(0, 0);
        return status;
    };
    std::wstring caption, explanation;
    bool okAtFirst = true;
    std::thread typist([&] {
        HWND window = WaitForDialog({IDC_CRED_USER, IDC_CRED_PASSWORD}, 30000);
        ASSERT_NE(window, nullptr) << "no credentials dialog";
        caption = WindowText(window);
        explanation = ItemText(window, IDC_CRED_EXPLANATION);
        okAtFirst = ItemEnabled(window, IDOK);
        SetDlgItemTextW(window, IDC_CRED_PASSWORD, L"s3cret");
        SetDlgItemTextW(window, IDC_CRED_USER, L"alice");
        PressButton(window, IDOK);
    });
    DownloadProgressDialog dialog(run);
    EXPECT_EQ(dialog.Run(nullptr, L"t"), 1);
    typist.join();
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(caption, L"Connect to 127.0.0.1");
    EXPECT_EQ(explanation,
              L"The server 127.0.0.1 at Files requires a username and password. Please enter "
              L"them below.");
    EXPECT_FALSE(okAtFirst);
    EXPECT_EQ(ReadBytes(target), Content());
}

TEST_F(ProgressDownload, CancelledDemandFailsTheTransfer) {
    const std::wstring target = out_ / L"g.bin";
    // Other credentials than the test above (the internet library keeps those).
    const std::wstring url = http_->Base() + L"/files/f.bin?auth=bob:other&realm=Other";
    CredentialsProvider provider;
    uint32_t status = 0;
    ProgressRun run;
    DownloadProgressDialog* self = nullptr;
    bool failureShown = false;
    run.phase = [&](DownloadSink& sink) -> uint32_t {
        Downloader downloader(&sink, &provider);
        status = downloader.Download(url, target);
        // The transfer failed for want of credentials: the window shows it.
        failureShown = self->FailureShown();
        sink.TransferFinished(0, 0);
        return 0;
    };
    std::thread typist([&] {
        HWND window = WaitForDialog({IDC_CRED_USER, IDC_CRED_PASSWORD}, 30000);
        ASSERT_NE(window, nullptr);
        PressButton(window, IDCANCEL);
    });
    DownloadProgressDialog dialog(run);
    self = &dialog;
    EXPECT_EQ(dialog.Run(nullptr, L"t"), 1);
    typist.join();
    EXPECT_EQ(status, DLERR_AUTH_REQUIRED);
    EXPECT_TRUE(failureShown) << "the error state, on the bar and the taskbar button";
}

TEST_F(ProgressDownload, CancelWhileTheServerStallsEndsAtOnceAndKeepsThePartFile) {
    const std::wstring target = out_ / L"s.bin";
    const std::wstring part = target + L".part";
    const std::wstring url = http_->Base() + L"/files/f.bin?stall=30&stall_at=200000";
    uint32_t status = 0;
    ProgressRun run;
    run.phase = [&](DownloadSink& sink) -> uint32_t {
        sink.SetRange(1);
        sink.ShowStep(L"Downloading S", 9);
        Downloader downloader(&sink, nullptr);
        status = downloader.Download(url, target);
        return kInstallUserExit;
    };
    DWORD clicked = 0, gone = 0;
    std::thread presser([&] {
        HWND window = WaitForDialog({IDC_PROGRESS_BAR}, 30000);
        ASSERT_NE(window, nullptr);
        for (int i = 0; i < 2000 && FileSize(part) < 200000; ++i) Sleep(10);
        Sleep(300);  // the server now holds the rest back
        clicked = GetTickCount();
        PressButton(window, IDCANCEL);
        while (IsWindow(window) && GetTickCount() - clicked < 5000) Sleep(1);
        gone = GetTickCount();
    });
    DownloadProgressDialog dialog(run);
    const int code = dialog.Run(nullptr, L"t");
    const DWORD returned = GetTickCount();
    presser.join();
    EXPECT_EQ(code, 2);
    EXPECT_LE(gone - clicked, 100u) << "the window ends at once";
    EXPECT_LE(returned - clicked, 2000u) << "the transfer stops soon after";
    EXPECT_EQ(status, DLERR_CANCELLED);
    EXPECT_EQ(FileSize(part), 200000) << "the .part file stays for a resume";
    EXPECT_FALSE(FileExists(target));
}
