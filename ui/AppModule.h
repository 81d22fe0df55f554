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

// Process-wide: message boxes are shown only while this is set.
extern bool interactive;

}  // namespace pravel
