// The module object: the program's instance handle (resources: dialogs and
// the string table) and the dialogs under creation. A dialog registers
// itself before CreateDialog and is claimed by the dialog procedure of the
// same thread when its first message arrives.
#pragma once

#include <windows.h>

#include <vector>

namespace pravel {

class AppModule {
  public:
    // Throws HResultError(E_OUTOFMEMORY) when its list cannot be allocated.
    void Init(HINSTANCE instance);
    // Destroys windows still tracked, frees the list and calls the
    // termination callbacks (last added first).
    void Term();

    HINSTANCE Instance() const { return instance_; }

    // Registers `dialog` as being created by the calling thread.
    void AddCreateData(void* dialog);
    // Takes the dialog registered by the calling thread, or null.
    void* ExtractCreateData();
    // A window the module destroys at Term unless it is untracked first.
    void TrackWindow(HWND window);
    void UntrackWindow(HWND window);
    void AddTermCallback(void (*callback)());

  private:
    struct CreateEntry {
        void* dialog;
        DWORD threadId;
    };
    HINSTANCE instance_ = nullptr;
    bool initialised_ = false;
    CRITICAL_SECTION lock_;
    std::vector<CreateEntry> creating_;
    std::vector<HWND> windows_;
    std::vector<void (*)()> termCallbacks_;
};

// The process-wide module object.
AppModule& TheModule();

// Process-wide: questions and message boxes are shown, and windows wait for
// a person, only while this is set. The run sets it when it is not silent
// and its window station is visible (WindowStationVisible); otherwise every
// question is answered as in a silent run.
extern bool interactive;

// False when the process's window station is not visible, so that no person
// can see its windows (a service or a task started as LocalSystem in
// session 0); true when it is visible or its flags cannot be read. The one
// test of WSF_VISIBLE: the run and the error report ask it.
bool WindowStationVisible();
// Replaces the test (tests only; null restores it).
void SetWindowStationProbe(bool (*probe)());

}  // namespace pravel
