// Runs a piece of work on a thread of its own and waits for it: for platform
// work that needs a thread in a particular COM apartment. The work object
// lives in the caller's frame; the thread ends before RunOnNewThread returns,
// so it may read the caller's data and write its results there.
#pragma once

#include <windows.h>

#include "common/Handles.h"

namespace pravel {

namespace detail {
template <typename Work>
DWORD WINAPI RunWork(void* work) {
    (*static_cast<Work*>(work))();
    return 0;
}
}  // namespace detail

// Calls `work()` on a new thread (default stack) and waits for it without
// time-out. `work` must not throw. False when the thread cannot be created;
// `error` then receives the Win32 error (never 0).
template <typename Work>
bool RunOnNewThread(Work& work, DWORD& error) noexcept {
    UniqueHandle thread(::CreateThread(nullptr, 0, &detail::RunWork<Work>, &work, 0, nullptr));
    if (!thread) {
        error = ::GetLastError();
        if (error == 0) error = ERROR_NOT_ENOUGH_MEMORY;
        return false;
    }
    ::WaitForSingleObject(thread.Get(), INFINITE);
    return true;
}

}  // namespace pravel
