// Helpers for Windows tests that run under Wine (64-bit suite under wine64,
// 32-bit suite under WoW64): scratch folders, UTF-16 files, running programs
// with a time limit, and the facts that differ by the suite's bitness.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// A Linux path ("/x/y") as Wine sees it ("Z:\x\y"); Windows paths unchanged.
std::wstring FromHostPath(const std::string& path);
// The path in environment variable `name`, converted; fails the test if unset.
std::wstring PathFromEnvironment(const char* name);
// The pravel.exe of this build (PRAVEL_EXE).
std::wstring PravelExe();

// A fresh folder under the temporary folder, removed with its content.
class ScratchDir {
  public:
    explicit ScratchDir(const std::wstring& tag);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

  private:
    std::wstring path_;
};

// Removes a file or a folder with its content; a folder link is removed
// itself, never what it points to.
void RemoveTree(const std::wstring& path);
bool FileExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);

// The kinds of folder link a test can make on this platform.
enum class LinkKind { None, Junction, SymbolicLink, WineUnixLink };
const char* LinkKindName(LinkKind kind);
// Makes `link` (which must not exist) a link to the folder `target`: a
// junction where the file system allows it, else a symbolic link, else
// (Wine, which makes neither) a Unix symbolic link, which Wine reports as a
// reparse point. None when nothing worked.
LinkKind MakeFolderLink(const std::wstring& link, const std::wstring& target);
// Removes a link made by MakeFolderLink (the target stays).
void RemoveFolderLink(const std::wstring& link);
// Makes `link` a symbolic link to the file `target` that the platform reports
// as a reparse point; false when it cannot (Wine 8 claims success for
// CreateSymbolicLinkW but makes nothing).
bool MakeFileSymbolicLink(const std::wstring& link, const std::wstring& target);

void WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
// Writes UTF-16LE text, with a byte-order mark unless `bom` is false.
void WriteUtf16(const std::wstring& path, const std::wstring& text, bool bom = true);
// Reads a UTF-16LE file as it is (a byte-order mark stays as U+FEFF).
std::wstring ReadUtf16(const std::wstring& path);

struct RunResult {
    bool started = false;
    bool finished = false;  // false: still running after the time limit (then killed)
    DWORD exitCode = 0;
};
// Runs `exe` with `arguments` in its own folder and waits up to `timeoutMs`.
RunResult Run(const std::wstring& exe, const std::wstring& arguments = L"",
              DWORD timeoutMs = 60000);

// A started process the test can watch; with `desktop` ("station\\desktop")
// it runs on that desktop.
class Process {
  public:
    explicit Process(const std::wstring& exe, const std::wstring& arguments = L"",
                     const std::wstring& desktop = L"");
    ~Process();
    bool Started() const { return info_.hProcess != nullptr; }
    // True when it ended within `ms`.
    bool WaitFor(DWORD ms);
    DWORD ExitCode() const;

  private:
    PROCESS_INFORMATION info_ = {};
};

// A window station of its own, created without WSF_VISIBLE (as a service's
// is: no person can see its windows), with a desktop "Default". Programs
// started on Desktop() run there; Wine creates their windows as usual.
class HiddenWindowStation {
  public:
    explicit HiddenWindowStation(const std::wstring& name);
    ~HiddenWindowStation();
    HiddenWindowStation(const HiddenWindowStation&) = delete;
    HiddenWindowStation& operator=(const HiddenWindowStation&) = delete;
    bool Created() const { return desktop_ != nullptr; }
    std::wstring Desktop() const { return name_ + L"\\Default"; }

  private:
    std::wstring name_;
    HWINSTA station_ = nullptr;
    HDESK desktop_ = nullptr;
};

// Splits on "\r\n" (the log's line end).
std::vector<std::wstring> SplitLines(const std::wstring& text);
std::string Narrow(const std::wstring& text);  // for test messages

// The suite this test program belongs to, worked out here and not taken from
// the program under test: 32-bit programs run on 64-bit Windows (WoW64).
constexpr bool kSuite64Bit = sizeof(void*) == 8;
// "x64" in the 64-bit suite, "x86" in the 32-bit one (the log banner).
constexpr const wchar_t* kSuiteArchitecture = kSuite64Bit ? L"x64" : L"x86";

// The native System32 folder and the 32-bit one of 64-bit Windows
// ("...\\SysWOW64"), whatever the bitness of the caller.
std::wstring NativeSystemFolder();
std::wstring Wow64SystemFolder();
// A file placed in a system folder with file-system redirection off (so that
// a 32-bit test writes where the path says), removed again by the destructor.
class SystemFile {
  public:
    SystemFile(const std::wstring& folder, const std::wstring& name, const std::wstring& source);
    ~SystemFile();
    SystemFile(const SystemFile&) = delete;
    SystemFile& operator=(const SystemFile&) = delete;
    bool Placed() const { return placed_; }

  private:
    std::wstring path_;
    bool placed_ = false;
};

// A share \\localhost\<name> made for the test: under Wine a folder below
// <prefix>\dosdevices\unc\localhost (the prefix from WINEPREFIX), removed
// with its content again. Path() is empty where there is no Wine prefix.
class TestShare {
  public:
    explicit TestShare(const std::wstring& tag);
    ~TestShare();
    TestShare(const TestShare&) = delete;
    TestShare& operator=(const TestShare&) = delete;
    const std::wstring& Path() const { return share_; }     // \\localhost\<name>
    const std::wstring& Folder() const { return folder_; }  // the folder behind it
    std::wstring operator/(const std::wstring& name) const { return share_ + L"\\" + name; }

  private:
    std::wstring hosts_;
    std::wstring folder_;
    std::wstring share_;
};

}  // namespace testing_support
