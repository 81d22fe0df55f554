// A folder of the run's own, from which accepted setup files are started.
//
// A setup file is tested through a handle that nobody can write through
// (download/Acceptance.h), but a setup is started by a path, and the path
// is looked up again at the start: every folder on it that is a link (a
// junction, a symbolic link, a mount point), and every folder that others
// may rename or write, can name another file by then. Windows follows links
// in every component of a path when it opens a file (CreateFileW, "Symbolic
// Link Effects on File Systems Functions"; junctions and mount points are
// name-surrogate reparse points, "Reparse Points"); whoever may write a link
// can point it elsewhere ("Creating Symbolic Links", FSCTL_SET_REPARSE_POINT),
// and FILE_DELETE_CHILD on a folder lets others rename or replace what lies
// in it whatever its own access list says ("File Security and Access
// Rights"). A share is served by another machine. Whether a folder is safe
// would mean checking the owner and access list of every folder on the way
// and every link's target for every file; pravel does not try: an accepted
// file is always copied, through the handle it was tested through, into
// this folder, and the copy is tested and started. (Wine shows only part of
// this: it makes no junctions and reports a Unix symbolic link as a reparse
// point; the tests point such a link elsewhere.)
//
// The folder is made on first use inside the program's temporary folder
// (common/TempFolder.h: the account's own, or for LocalSystem one only
// LocalSystem and Administrators may use) under a new "QL_" name, with a
// protected access list for the account, LocalSystem (Windows Installer and
// the package deployment service read the file as LocalSystem) and the
// Administrators group only: nobody else can create, rename or replace
// anything in it. A folder of that name that exists already is never used.
// The temporary folder is a folder on the system volume, not the download
// folder's: a folder made on another volume would lie under folders that
// others may rename (the download folder, a share), so the copy crosses
// volumes when DownloadFolder names another one.
//
// Each copy lies in a numbered subfolder of its own under its own file
// name (setups read their own name, and two prerequisites may bring files
// of the same name). Nothing here logs; failures are results.
#pragma once

#include <cstdint>
#include <string>

namespace pravel {

class PrivateFolder {
  public:
    // `parent` (tests): where the folder is made; empty: the program's
    // temporary folder.
    explicit PrivateFolder(std::wstring parent = std::wstring()) : parent_(std::move(parent)) {}
    // Remove().
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    // Copies the file open as `source` (a HANDLE with read access; read from
    // its start through that handle, its size taken once) into a new
    // subfolder under `name`, making the folder first when needed. 0, with
    // `copy` set to the copy's path, or the Win32 error of the step that
    // failed (a copy shorter than the file gives ERROR_HANDLE_EOF); nothing
    // of a failed copy remains.
    uint32_t CopyIn(void* source, const std::wstring& name, std::wstring& copy);

    // Deletes `copy` (a path CopyIn gave) and its subfolder, the copy
    // through a handle that opens the name itself, never a link's target.
    // A copy still in use (a setup's program still running) stays for
    // Remove().
    void Discard(const std::wstring& copy);

    // Removes the folder with everything in it (a link in it as a link).
    // 0 when nothing is left, else the Win32 error of removing the folder
    // (its path stays known for another try).
    uint32_t Remove();

    // The folder with a trailing backslash; empty until it is made.
    const std::wstring& Path() const { return path_; }

  private:
    uint32_t Make();

    std::wstring parent_;
    std::wstring path_;
    uint32_t copies_ = 0;
};

}  // namespace pravel
