#include "chainer/DownloadPhase.h"

#include <windows.h>

#include <algorithm>

#include "chainer/PrerequisiteSet.h"
#include "chainer/SystemEnvironment.h"
#include "common/ErrorCodes.h"
#include "common/FileOperations.h"
#include "common/Handles.h"
#include "common/ProcessLaunch.h"
#include "common/SystemLibrary.h"
#include "common/TempFolder.h"
#include "common/Text.h"
#include "diag/Logger.h"
#include "download/Acceptance.h"
#include "download/Downloader.h"
#include "download/DownloadRules.h"
#include "download/DownloadSink.h"
#include "download/DownloadTarget.h"
#include "download/FileLocation.h"
#include "download/InternetShortcut.h"
#include "download/PackageLookup.h"
#include "download/TransferText.h"
#include "ui/AppModule.h"
#include "ui/MessageBox.h"
#include "ui/ResourceIds.h"

namespace pravel {

namespace {

constexpr int32_t kStepKind = 9;

bool IsMandatory(const Prerequisite& p) {
    return Contains(p.options, L"m");
}

// The text of a WinINet code from wininet.dll's message table (the system
// table has none of them); empty when it has no text either.
std::wstring WinInetMessage(uint32_t code) {
    // Looked up once per process through the one loader.
    static const HMODULE wininet = LoadSystemLibrary(L"wininet.dll");
    if (wininet == nullptr) return std::wstring();
    wchar_t* text = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                             FORMAT_MESSAGE_FROM_HMODULE,
                         wininet, code, 0x400, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    UniqueLocalMem owner(text);
    if (length == 0 || text == nullptr) return std::wstring();
    return std::wstring(text, length);
}

}  // namespace

std::wstring DownloadStatusText(uint32_t code) {
    const std::wstring status = DescribeDownloadStatus(code);
    if (!status.empty()) return status;
    std::wstring text;
    if (code >= 12000 && code < 12200) text = WinInetMessage(code);
    if (text.empty()) text = FormatSystemMessage(code);
    return TrimWhite(text);
}

DownloadPhase::DownloadPhase(PrerequisiteSet& set) : set_(set) {}

DownloadPhase::~DownloadPhase() {
    CleanUp();
}

uint32_t DownloadPhase::DownloadAll(DownloadSink* sink) {
    items_.clear();
    downloadedFiles_.clear();
    sink_ = sink;

    for (size_t i = 0; i < set_.Count(); ++i) {
        if (set_.EffectiveState(i) != kStateDownload) continue;
        const Prerequisite& p = set_.At(i);
        DownloadItem item;
        item.url = p.location;
        item.expectedSize = static_cast<uint32_t>(p.exactSize);
        item.prerequisiteIndex = static_cast<int32_t>(i);
        item.folderSpec = p.folder;
        items_.push_back(std::move(item));
    }
    if (sink_ != nullptr) sink_->SetRange(static_cast<int32_t>(items_.size()));
    ReportDownloadFolderLinks();

    const int32_t keep = set_.Options().keepFiles;
    // The downloads that a stop leaves out, each with why.
    auto logSkipped = [this](const DownloadItem& stop, const char* why) {
        const std::wstring& name = set_.At(static_cast<size_t>(stop.prerequisiteIndex)).name;
        for (const DownloadItem* next = &stop + 1; next != items_.data() + items_.size(); ++next) {
            Log({"Download of ", set_.At(static_cast<size_t>(next->prerequisiteIndex)).name,
                 " skipped: the download of ", name, AsciiPiece(why)});
        }
    };
    for (DownloadItem& item : items_) {
        Prerequisite& p = set_.At(static_cast<size_t>(item.prerequisiteIndex));
        if (sink_ != nullptr && sink_->IsCancelled()) {
            Log({"Download was canceled."});
            return kInstallSuccess;
        }
        if (sink_ != nullptr) {
            sink_->ShowStep(LoadFormatted(IDS_DOWNLOADING, {p.name}).c_str(), kStepKind);
        }
        if (TakeFromPackage(p, packageFolder_, item.targetPath, item.accepted)) {
            item.status = 0;
            p.availableLocally = 1;
            if (sink_ != nullptr) sink_->TransferFinished(1, 0);
            continue;
        }
        Log({"Starting download of:", p.name});
        lastError_ = DownloadOne(item);
        if (lastError_ != 0) {
            Log({"Download failed. Error:", DownloadStatusText(lastError_)});
            if (IsMandatory(p)) {
                if (sink_ != nullptr) {
                    sink_->ReportError(LoadFormatted(IDS_FAILED, {p.name}).c_str(),
                                       DLERR_MANDATORY_FAILED, nullptr);
                }
                logSkipped(item, " (mandatory) failed.");
                return kInstallFailure;
            }
            continue;
        }
        Log({"Download completed succesfully."});
        const bool removed = keep != kKeepComplete && keep != kKeepPrereqs;
        if (removed) downloadedFiles_.push_back(item.targetPath);
        // Tested through a handle that then stays open until the end of the
        // run: the file runs from a copy made through it and is deleted
        // through it, whatever its path names by then.
        const wchar_t* reason =
            HasAcceptanceKeys(p) ? AcceptFile(p, item.expectedSize, item.targetPath, item.accepted)
                                 : nullptr;
        if (reason != nullptr) {
            if (item.accepted) {
                DeleteThroughHandle(item.accepted.Get());
                item.accepted.Reset();
                if (removed) downloadedFiles_.pop_back();
            }
            Log({"Downloaded file was rejected.(", std::wstring_view(reason), ")."});
            if (sink_ != nullptr) {
                sink_->ReportError(LoadFormatted(IDS_FAILED, {p.name}).c_str(), DLERR_REJECTED,
                                   nullptr);
            }
            logSkipped(item, " was rejected.");
            return kInstallFailure;
        }
        Log({"Downloaded file was accepted."});
        p.availableLocally = 1;
    }
    return kInstallSuccess;
}

void DownloadPhase::ReportDownloadFolderLinks() {
    if (linksReported_) return;
    bool used = false;  // something is downloaded to it or found in it
    for (const Prerequisite& p : set_.Items()) {
        used = used || (p.selected && p.locationKind == kLocationUrl &&
                        !ParseFileLocation(p.location).isFile);
    }
    if (!used) return;
    linksReported_ = true;
    const std::wstring& folder = ProcessDownloadFolder(set_.Options());
    for (const std::wstring& link : LinkedFoldersOf(folder))
        Log({"The download folder ", folder, " is reached through a link: ", link});
}

uint32_t DownloadPhase::DownloadOne(DownloadItem& item) {
    Downloader downloader(sink_, &credentials_);
    const std::wstring folder = ProcessDownloadFolder(set_.Options());
    item.targetPath = item.fileName.empty() ? DownloadTargetPath(folder, item.url, item.folderSpec)
                                            : WithTrailingBackslash(folder) + item.fileName;
    CreateFolderChain(item.targetPath, false, &createdFolders_);
    if (item.expectedSize != 0) downloader.SetExpectedSize(item.expectedSize);
    const GeneralOptions& options = set_.Options();
    downloader.SetTimeLimit(options.downloadTimeLimit > 0 ? options.downloadTimeLimit : 0,
                            options.downloadMinRate > 0 ? options.downloadMinRate : 0);
    const uint32_t status = downloader.Download(item.url, item.targetPath);
    if (status == 0) item.status = 0;
    return status;
}

void DownloadPhase::OpenSites(DownloadSink* sink) {
    std::vector<size_t> sites;
    for (size_t i = 0; i < set_.Count(); ++i) {
        if (set_.EffectiveState(i) == kStateOpenSite) sites.push_back(i);
    }
    if (sink != nullptr && !sites.empty()) sink->SetRange(static_cast<int32_t>(sites.size()));
    const bool quiet = Contains(set_.Options().options, L"q");
    for (size_t index : sites) {
        const Prerequisite& p = set_.At(index);
        const std::wstring caption = LoadFormatted(IDS_OPENING_SITE, {p.name});
        if (sink != nullptr) {
            if (sink->IsCancelled()) return;
            sink->ShowStep(caption.c_str(), kStepKind);
        }
        HWND owner = ::GetForegroundWindow();
        Log({"Launching URL:", RedactUrl(p.location)});
        uint32_t openError = 0;
        const std::wstring shortcut =
            OpenUrlThroughShortcut(p.location, ProgramTempFolder(), !interactive, openError);
        if (shortcut.empty()) {
            Log({"The site of ", p.name, " could not be opened: no shortcut file in ",
                 ProgramTempFolder()});
        } else {
            shortcuts_.push_back(Shortcut{shortcut, ::GetTickCount()});
        }
        if (openError != 0) {
            Log({"The site of ", p.name, " could not be opened (error ", DecimalPiece(openError),
                 ": ", DownloadStatusText(openError), ")."});
        }
        if (sink != nullptr && !quiet) {
            const std::wstring message = LoadFormatted(IDS_OPEN_SITE_MESSAGE, {p.name});
            if (interactive) {
                ShowMessage(owner, MB_ICONINFORMATION | MB_OK, message.c_str(), caption.c_str());
            } else {
                // Nobody could see the box or close it: its text goes to the log.
                Log({"Message not shown (window station not visible):", caption, ": ", message});
            }
        }
    }
}

std::wstring DownloadPhase::FileOf(int32_t prerequisiteIndex) const {
    for (const DownloadItem& item : items_) {
        if (item.prerequisiteIndex == prerequisiteIndex && item.status == 0) return item.targetPath;
    }
    return std::wstring();
}

HANDLE DownloadPhase::Accepted(int32_t prerequisiteIndex) const {
    for (const DownloadItem& item : items_) {
        if (item.prerequisiteIndex == prerequisiteIndex && item.accepted)
            return item.accepted.Get();
    }
    return INVALID_HANDLE_VALUE;
}

void DownloadPhase::CleanUp() {
    // An accepted file goes through the handle it was tested through, never
    // by its path: a link on it may name another file by now.
    for (DownloadItem& item : items_) {
        const auto listed =
            std::find(downloadedFiles_.begin(), downloadedFiles_.end(), item.targetPath);
        if (item.accepted && listed != downloadedFiles_.end()) {
            DeleteThroughHandle(item.accepted.Get());
            downloadedFiles_.erase(listed);
        }
        item.accepted.Reset();
    }
    RemoveFilesAndCreatedFolders(downloadedFiles_, createdFolders_);
    for (const Shortcut& shortcut : shortcuts_) {
        const uint32_t age = ::GetTickCount() - shortcut.openedAt;
        if (age < kShortcutLifetimeMs) ::Sleep(kShortcutLifetimeMs - age);
        ::DeleteFileW(shortcut.path.c_str());
    }
    shortcuts_.clear();
}

}  // namespace pravel
