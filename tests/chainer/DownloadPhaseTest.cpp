// The download phase in-process against the local HTTP server: which
// prerequisites are fetched, acceptance by size and MD5, what a failure or a
// rejection stops, the target path rule, KeepFiles and the clean-up lists.
#include <gtest/gtest.h>

#include <algorithm>

#include "chainer/DownloadPhase.h"
#include "chainer/PrerequisiteSet.h"
#include "chainer/SystemEnvironment.h"
#include "common/ErrorCodes.h"
#include "config/IniDocument.h"
#include "download/FileDigest.h"
#include "download/LocalServers.h"
#include "launch/LaunchTestLog.h"

using namespace pravel;
using namespace download_test;
using namespace testing_support;

namespace {

// The process computes its download folder once: one for the whole program.
const std::wstring& DownloadFolder() {
    static const std::wstring folder = [] {
        wchar_t temp[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, temp);
        return std::wstring(temp) + L"pt_phase_downloads\\";
    }();
    return folder;
}

const wchar_t kMissing[] =
    L"SearchType1=5\r\nSearchString1=HKCU\\Software\\PravelTests\\PhaseMissing\r\n";

class Phase : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        root_ = new ScratchDir(L"phaseroot");
        content_ = new std::string(MakeContent(300000, 11));
        WriteBytes(*root_ / L"tool.exe", *content_);
        WriteBytes(*root_ / L"other.exe", MakeContent(1000, 12));
        WriteBytes(*root_ / L"empty.exe", "");
        http_ = new LocalServer("http", "phase", root_->Path());
    }
    static void TearDownTestSuite() {
        delete http_;
        delete content_;
        delete root_;
    }
    void SetUp() override {
        ASSERT_TRUE(http_->Running());
        launch_test::TestLogPath();
        http_->ClearLog();
        RemoveTree(DownloadFolder().substr(0, DownloadFolder().size() - 1));
    }
    void TearDown() override {
        set_.SetEnvironment(nullptr);
        RemoveTree(DownloadFolder().substr(0, DownloadFolder().size() - 1));
    }

    static std::wstring Url(const std::wstring& file) { return http_->Base() + L"/files/" + file; }
    static std::wstring Md5Upper() {
        std::wstring md5 = Md5Of(*content_);
        for (wchar_t& c : md5) c = static_cast<wchar_t>(towupper(c));
        return md5;
    }
    static std::wstring Size() { return std::to_wstring(content_->size()); }

    // Loads `prerequisites` with the shared download folder and decides them.
    void Load(const std::wstring& prerequisites, const std::wstring& general = L"") {
        IniDocument document;
        document.Parse(L"[GeneralOptions]\r\nOptions=q\r\nDownloadFolder=" + DownloadFolder() +
                       L"\r\n" + general + prerequisites);
        set_.Load(document, TextExpander());
        set_.SetEnvironment(&environment_);
        set_.EvaluateAll();
    }
    static std::wstring App(int n, const std::wstring& body) {
        return L"[App" + std::to_wstring(n) + L"]\r\n" + body + kMissing;
    }
    // Request paths the server saw, in order.
    static std::vector<std::string> Paths() {
        std::vector<std::string> paths;
        for (const std::string& line : http_->Requests())
            paths.push_back(line.substr(0, line.find('\t')));
        return paths;
    }

    PrerequisiteSet set_;
    SystemEnvironment environment_{set_.Options()};
    RecordingSink sink_;

    static ScratchDir* root_;
    static std::string* content_;
    static LocalServer* http_;
};

ScratchDir* Phase::root_ = nullptr;
std::string* Phase::content_ = nullptr;
LocalServer* Phase::http_ = nullptr;

TEST_F(Phase, AcceptedDownloadIsMarkedAvailableAndRemovedByCleanUp) {
    Load(L"[PREREQUISITES]\r\nApp1=Tool\r\n" +
         App(1, L"Url=" + Url(L"tool.exe") + L"\r\nExactSize=" + Size() + L"\r\nMD5=" + Md5Upper() +
                    L"\r\nFolder=tools\\v1\r\n"));
    ASSERT_EQ(kStateDownload, set_.EffectiveState(0));
    const launch_test::LogMark mark;
    {
        DownloadPhase phase(set_);
        EXPECT_EQ(0u, phase.DownloadAll(&sink_));
        const std::wstring target = DownloadFolder() + L"tools\\v1\\tool.exe";
        ASSERT_EQ(1u, phase.Items().size());
        EXPECT_EQ(target, phase.Items()[0].targetPath);
        EXPECT_EQ(0, phase.Items()[0].status);
        EXPECT_EQ(*content_, ReadBytes(target));
        EXPECT_EQ(kStateAvailableLocally, set_.EffectiveState(0));
        EXPECT_EQ(std::vector<std::wstring>{target}, phase.DownloadedFiles());
        // The download folder itself and both subfolders were created.
        EXPECT_EQ(3u, phase.CreatedFolders().size());
        // Accepted by its keys, it is held open until the clean-up (which
        // deletes it through that handle): others may read it, nobody can
        // change it.
        HANDLE writer =
            CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
        if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
        EXPECT_NE(INVALID_HANDLE_VALUE, phase.Accepted(0));
        EXPECT_EQ(INVALID_HANDLE_VALUE, phase.Accepted(1));
        phase.CleanUp();
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(target.c_str()));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(DownloadFolder().c_str()));
        EXPECT_TRUE(phase.DownloadedFiles().empty());
        EXPECT_TRUE(phase.CreatedFolders().empty());
    }
    const std::vector<std::wstring> expected = {L"Starting download of:Tool",
                                                L"Download completed succesfully.",
                                                L"Downloaded file was accepted."};
    std::vector<std::wstring> phaseLines;
    for (const std::wstring& m : mark.Messages()) {
        if (m.rfind(L"Download", 0) == 0 && m.rfind(L"Download complete:", 0) != 0) {
            phaseLines.push_back(m);
        } else if (m.rfind(L"Starting download", 0) == 0) {
            phaseLines.push_back(m);
        }
    }
    EXPECT_EQ(expected, phaseLines);
}

TEST_F(Phase, RejectedFileIsDeletedAndNothingElseIsDownloaded) {
    std::wstring wrong = Md5Upper();
    wrong[0] = wrong[0] == L'0' ? L'1' : L'0';
    Load(L"[PREREQUISITES]\r\nApp1=Tool\r\nApp2=Other\r\n" +
         App(1, L"Url=" + Url(L"tool.exe") + L"\r\nMD5=" + wrong + L"\r\n") +
         App(2, L"Url=" + Url(L"other.exe") + L"\r\n"));
    const launch_test::LogMark mark;
    DownloadPhase phase(set_);
    EXPECT_EQ(kInstallFailure, phase.DownloadAll(&sink_));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesW((DownloadFolder() + L"tool.exe").c_str()));
    EXPECT_EQ(kStateDownload, set_.EffectiveState(0));
    EXPECT_EQ(std::vector<std::string>{"/files/tool.exe"}, Paths());
    ASSERT_FALSE(sink_.errors.empty());
    EXPECT_EQ(DLERR_REJECTED, sink_.errors.back().code);
    // The failure line names the prerequisite (this program has no string
    // table: the name alone).
    EXPECT_EQ(L"Tool", sink_.errors.back().context);
    bool logged = false;
    for (const std::wstring& m : mark.Messages()) {
        logged |= m == L"Downloaded file was rejected.(Invalid size or MD5).";
    }
    EXPECT_TRUE(logged);
}

// An empty answer is never a file (even one whose MD5 would match): the
// download fails and the prerequisite stays to be downloaded.
TEST_F(Phase, EmptyFileWithAnMd5IsNeverAccepted) {
    Load(L"[PREREQUISITES]\r\nApp1=Empty\r\n" +
         App(1, L"Url=" + Url(L"empty.exe") + L"\r\nMD5=d41d8cd98f00b204e9800998ecf8427e\r\n"));
    DownloadPhase phase(set_);
    EXPECT_EQ(kInstallSuccess, phase.DownloadAll(&sink_));
    EXPECT_EQ(kStateDownload, set_.EffectiveState(0));
    ASSERT_FALSE(sink_.errors.empty());
    EXPECT_EQ(DLERR_UNUSABLE_ANSWER, sink_.errors.back().code);
}

// ExactSize bounds an answer that announces no size: a file that runs
// past it fails the download without being kept.
TEST_F(Phase, SizeIsCheckedOnTheFileWhenTheServerAnnouncesNone) {
    Load(L"[PREREQUISITES]\r\nApp1=Tool\r\n" +
         App(1, L"Url=" + Url(L"tool.exe?no_length=1") + L"\r\nExactSize=12\r\nOptions=m\r\n"));
    DownloadPhase phase(set_);
    EXPECT_EQ(kInstallFailure, phase.DownloadAll(&sink_));
    ASSERT_GE(sink_.errors.size(), 2u);
    EXPECT_EQ(DLERR_SIZE_MISMATCH, sink_.errors[sink_.errors.size() - 2].code);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesW((DownloadFolder() + L"tool.exe").c_str()));
}

TEST_F(Phase, OptionalFailureGoesOnMandatoryFailureStops) {
    Load(L"[PREREQUISITES]\r\nApp1=Gone\r\nApp2=Tool\r\nApp3=GoneToo\r\nApp4=Other\r\n" +
         App(1, L"Url=" + Url(L"gone.exe") + L"\r\n") +
         App(2, L"Url=" + Url(L"tool.exe") + L"\r\n") +
         App(3, L"Url=" + Url(L"gone2.exe") + L"\r\nOptions=m\r\n") +
         App(4, L"Url=" + Url(L"other.exe") + L"\r\n"));
    const launch_test::LogMark mark;
    DownloadPhase phase(set_);
    EXPECT_EQ(kInstallFailure, phase.DownloadAll(&sink_));
    const std::vector<std::string> expected = {"/files/gone.exe", "/files/tool.exe",
                                               "/files/gone2.exe"};
    EXPECT_EQ(expected, Paths());
    EXPECT_EQ(kStateDownload, set_.EffectiveState(0));
    EXPECT_EQ(kStateAvailableLocally, set_.EffectiveState(1));
    ASSERT_FALSE(sink_.errors.empty());
    EXPECT_EQ(DLERR_MANDATORY_FAILED, sink_.errors.back().code);
    EXPECT_EQ(L"GoneToo", sink_.errors.back().context);
    EXPECT_EQ(DLERR_NOT_FOUND, phase.LastError());
    int failures = 0;
    for (const std::wstring& m : mark.Messages()) {
        if (m == L"Download failed. Error:0xE0000018 (the server has no such file)") ++failures;
    }
    EXPECT_EQ(2, failures);
}

TEST_F(Phase, FolderWithANameAndKeepFiles) {
    Load(L"[PREREQUISITES]\r\nApp1=Tool\r\n" +
             App(1, L"Url=" + Url(L"tool.exe") + L"\r\nFolder=sub?fixed.exe\r\n"),
         L"KeepFiles=complete\r\n");
    {
        DownloadPhase phase(set_);
        EXPECT_EQ(0u, phase.DownloadAll(nullptr));
        EXPECT_TRUE(phase.DownloadedFiles().empty());
        EXPECT_EQ(*content_, ReadBytes(DownloadFolder() + L"sub\\fixed.exe"));
    }
    // Kept files keep their folders too.
    EXPECT_EQ(*content_, ReadBytes(DownloadFolder() + L"sub\\fixed.exe"));
}

TEST_F(Phase, CancelBeforeAnItemDownloadsNothing) {
    Load(L"[PREREQUISITES]\r\nApp1=Tool\r\n" + App(1, L"Url=" + Url(L"tool.exe") + L"\r\n"));
    sink_.cancel = true;
    const launch_test::LogMark mark;
    DownloadPhase phase(set_);
    EXPECT_EQ(0u, phase.DownloadAll(&sink_));
    EXPECT_TRUE(Paths().empty());
    const std::vector<std::wstring> messages = mark.Messages();
    EXPECT_NE(messages.end(),
              std::find(messages.begin(), messages.end(), L"Download was canceled."));
}

TEST(FileMd5, HashesExactlyTheFile) {
    ScratchDir dir(L"md5file");
    for (size_t size : {size_t(1), size_t(65535), size_t(65536), size_t(65537), size_t(200000)}) {
        const std::string content = MakeContent(size, static_cast<uint32_t>(size));
        WriteBytes(dir / L"f.bin", content);
        EXPECT_EQ(Md5Of(content), ComputeFileMd5(dir / L"f.bin")) << size;
    }
    WriteBytes(dir / L"empty.bin", "");
    EXPECT_EQ(L"", ComputeFileMd5(dir / L"empty.bin"));
    EXPECT_EQ(L"", ComputeFileMd5(dir / L"missing.bin"));
    // A file another program still writes to is read all the same.
    HANDLE writer = CreateFileW((dir / L"f.bin").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    EXPECT_EQ(Md5Of(MakeContent(200000, 200000)), ComputeFileMd5(dir / L"f.bin"));
    CloseHandle(writer);
}

TEST(DownloadStatus, TextsForTheLog) {
    EXPECT_EQ(L"0xE0000023 (the server announces another size than ExactSize)",
              DownloadStatusText(DLERR_SIZE_MISMATCH));
    // Win32 codes keep the system's text, without its line end.
    const std::wstring text = DownloadStatusText(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(text.empty());
    EXPECT_NE(L'\n', text.back());
    EXPECT_NE(L"2", text);
}

}  // namespace
