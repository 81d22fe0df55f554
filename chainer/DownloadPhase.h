// The download phase of a run: fetches every prerequisite that must be
// downloaded into the download folder and accepts each file by its exact
// size, MD5, SHA-256 and publisher's signature (download/Acceptance.h), each
// as configured (a file so accepted stays held open until the end of the
// run, see Accepted; a file the package brings along in its "downloads"
// folder is taken in place of the download when it passes them, see
// download/PackageLookup.h), then opens the web page of every prerequisite
// that the user must fetch from a site. What it downloaded (unless KeepFiles
// keeps it) and the folders it created are removed by CleanUp, at the end of
// the run.
//
// Runs on one thread at a time (the progress window's worker, or the main
// thread in a silent run); the sink may be null everywhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "download/CredentialsProvider.h"

namespace pravel {

class DownloadSink;
class PrerequisiteSet;

// One file to download, in prerequisite order.
struct DownloadItem {
    std::wstring url;           // the prerequisite's Url
    uint32_t expectedSize = 0;  // ExactSize; 0 = no size test
    std::wstring fileName;      // empty: the name comes from Folder or the URL
    std::wstring targetPath;    // set by the download step
    int32_t status = 4;         // 4 pending, 0 transferred
    int32_t prerequisiteIndex = 0;
    std::wstring folderSpec;  // the prerequisite's Folder: "sub", "sub?name.exe" or "?name.exe"
    UniqueFile accepted;      // the file, held open once it passed its acceptance keys
};

class DownloadPhase {
  public:
    explicit DownloadPhase(PrerequisiteSet& set);
    // Removes what the phase left (CleanUp).
    ~DownloadPhase();
    DownloadPhase(const DownloadPhase&) = delete;
    DownloadPhase& operator=(const DownloadPhase&) = delete;

    // Downloads every prerequisite whose effective state is "must be
    // downloaded". 0 when done, also when a non-mandatory download failed or
    // the sink cancelled before an item (the caller looks at the sink);
    // 1603 when a mandatory download failed or any file was rejected (nothing
    // else is downloaded then). An accepted file marks its prerequisite as
    // available locally, so the installation step installs it.
    uint32_t DownloadAll(DownloadSink* sink);

    // Opens the site of every prerequisite in state "open a site" through an
    // internet shortcut. With a sink, and unless the general options hold
    // "q", a message box tells the user about each page.
    void OpenSites(DownloadSink* sink);

    // The folder of the program (with or without a trailing backslash): a
    // download its package brings along in "downloads" is taken from there
    // instead (download/PackageLookup.h). Empty (the default): not looked up.
    void SetPackageFolder(const std::wstring& folder) { packageFolder_ = folder; }

    // Where this run's phase put the file of prerequisite `prerequisiteIndex`
    // (downloaded, or found in the package); empty when it has none.
    std::wstring FileOf(int32_t prerequisiteIndex) const;

    // The downloaded file of prerequisite `prerequisiteIndex`, when it passed
    // its acceptance keys: it is held open from its test to CleanUp (others
    // can read, rename or delete it; nobody can change it), and this lends
    // that handle, to copy the file through it. INVALID_HANDLE_VALUE when
    // there is none.
    HANDLE Accepted(int32_t prerequisiteIndex) const;

    // Deletes the downloaded files (failures ignored; an accepted one
    // through its handle, DeleteThroughHandle, never by its path) and
    // removes the folders the downloads created, newest first, when empty;
    // deletes the internet shortcuts that OpenSites made, each once it is
    // kShortcutLifetimeMs old (the shell's handler reads it after the shell
    // returned: the wait is at most that long in all). The lists are empty
    // afterwards.
    void CleanUp();
    static constexpr uint32_t kShortcutLifetimeMs = 5000;

    // The status of the last transfer (0 before any).
    uint32_t LastError() const { return lastError_; }
    CredentialsProvider& Credentials() { return credentials_; }
    const std::vector<DownloadItem>& Items() const { return items_; }
    const std::vector<std::wstring>& DownloadedFiles() const { return downloadedFiles_; }
    const std::vector<std::wstring>& CreatedFolders() const { return createdFolders_; }

  private:
    uint32_t DownloadOne(DownloadItem& item);
    // Once, when something is downloaded to the download folder or found in
    // it: a log line for every link on the way to it
    // ("The download folder <folder> is reached through a link: <link>").
    void ReportDownloadFolderLinks();

    PrerequisiteSet& set_;
    std::wstring packageFolder_;
    DownloadSink* sink_ = nullptr;
    CredentialsProvider credentials_;
    std::vector<DownloadItem> items_;
    uint32_t lastError_ = 0;
    std::vector<std::wstring> createdFolders_;
    std::vector<std::wstring> downloadedFiles_;
    struct Shortcut {
        std::wstring path;
        uint32_t openedAt;  // GetTickCount
    };
    std::vector<Shortcut> shortcuts_;
    bool linksReported_ = false;
};

// The text written after "Download failed. Error:": the system's text for a
// Win32 or WinINet code, or, for the download statuses (which have none),
// the code in hexadecimal and a short meaning.
std::wstring DownloadStatusText(uint32_t code);

}  // namespace pravel
