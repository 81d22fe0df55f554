// WOW64 facts of the running process. The 32-bit deliverable asks the
// system; the 64-bit build is 64-bit Windows by construction.
#pragma once

namespace pravel {

// True when this process is a 32-bit process on 64-bit Windows
// ("IsWow64Process" looked up by name; absent means false).
bool IsWow64Process32();

// True on 64-bit Windows, whatever the bitness of this build.
bool Is64BitWindows();

}  // namespace pravel

namespace pravel {

// Switches file-system redirection off for the calling thread while it
// lives (only a 32-bit process on 64-bit Windows is redirected) and
// restores it on every path.
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
