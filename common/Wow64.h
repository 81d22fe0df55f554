// WOW64 facts of the running process. The 32-bit deliverable asks the
// system; the 64-bit build is 64-bit Windows by construction.
#pragma once

#include <string>

namespace pravel {

// True when this process is a 32-bit process on 64-bit Windows
// ("IsWow64Process" looked up by name; absent means false).
bool IsWow64Process32();

// True on 64-bit Windows, whatever the bitness of this build.
bool Is64BitWindows();

// `text` with its %variables% expanded from the process environment (unset
// ones stay as written). With `native` in a 32-bit process on 64-bit
// Windows, %ProgramFiles% and %CommonProgramFiles% (any letter case) name
// the native folders, as a 64-bit program reads them (%ProgramW6432%,
// %CommonProgramW6432%). `text` unchanged when the expansion fails.
std::wstring ExpandEnvironment(const std::wstring& text, bool native);

}  // namespace pravel

namespace pravel {

// Switches file-system redirection off for the calling thread while it
// lives (only a 32-bit process on 64-bit Windows is redirected) and
// restores it on every path. A search that reads the native view (option
// "x") holds one for all its file-system steps, so that each step sees the
// same files; inactive, it leaves the process's own view.
class FsRedirectionOff {
  public:
    explicit FsRedirectionOff(bool active = true);
    ~FsRedirectionOff();
    FsRedirectionOff(const FsRedirectionOff&) = delete;
    FsRedirectionOff& operator=(const FsRedirectionOff&) = delete;

  private:
    void* oldValue_ = nullptr;
    bool disabled_ = false;
};

}  // namespace pravel
