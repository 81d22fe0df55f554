#include "ui/AppModule.h"

#include <algorithm>
#include <new>

#include "common/HResultError.h"

namespace pravel {

bool interactive = true;

namespace {

bool ProcessWindowStationVisible() {
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    return !::GetUserObjectInformationW(::GetProcessWindowStation(), UOI_FLAGS, &flags,
                                        sizeof(flags), &needed) ||
           (flags.dwFlags & WSF_VISIBLE) != 0;
}

bool (*g_windowStationProbe)() = nullptr;

}  // namespace

bool WindowStationVisible() {
    return g_windowStationProbe != nullptr ? g_windowStationProbe() : ProcessWindowStationVisible();
}

void SetWindowStationProbe(bool (*probe)()) {
    g_windowStationProbe = probe;
}

void AppModule::Init(HINSTANCE instance) {
    instance_ = instance;
    try {
        creating_.reserve(4);
        windows_.reserve(4);
    } catch (const std::bad_alloc&) {
        ThrowHr(kHrOutOfMemory);
    }
    ::InitializeCriticalSection(&lock_);
    initialised_ = true;
}

void AppModule::Term() {
    if (!initialised_) return;
    std::vector<HWND> windows;
    ::EnterCriticalSection(&lock_);
    windows.swap(windows_);
    creating_.clear();
    ::LeaveCriticalSection(&lock_);
    for (HWND window : windows) {
        if (::IsWindow(window)) ::DestroyWindow(window);
    }
    while (!termCallbacks_.empty()) {
        auto callback = termCallbacks_.back();
        termCallbacks_.pop_back();
        callback();
    }
    ::DeleteCriticalSection(&lock_);
    initialised_ = false;
}

void AppModule::AddCreateData(void* dialog) {
    ::EnterCriticalSection(&lock_);
    creating_.push_back(CreateEntry{dialog, ::GetCurrentThreadId()});
    ::LeaveCriticalSection(&lock_);
}

void* AppModule::ExtractCreateData() {
    void* dialog = nullptr;
    const DWORD thread = ::GetCurrentThreadId();
    ::EnterCriticalSection(&lock_);
    for (auto it = creating_.begin(); it != creating_.end(); ++it) {
        if (it->threadId == thread) {
            dialog = it->dialog;
            creating_.erase(it);
            break;
        }
    }
    ::LeaveCriticalSection(&lock_);
    return dialog;
}

void AppModule::TrackWindow(HWND window) {
    ::EnterCriticalSection(&lock_);
    windows_.push_back(window);
    ::LeaveCriticalSection(&lock_);
}

void AppModule::UntrackWindow(HWND window) {
    ::EnterCriticalSection(&lock_);
    windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
    ::LeaveCriticalSection(&lock_);
}

void AppModule::AddTermCallback(void (*callback)()) {
    termCallbacks_.push_back(callback);
}

AppModule& TheModule() {
    static AppModule module;
    return module;
}

}  // namespace pravel
