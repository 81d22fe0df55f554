// Replacements for a few libstdc++ hooks, linked straight into pravel.exe.
// Each default would drag large parts of the library into a static program
// only to build message texts nobody reads:
// - the verbose terminate handler pulls in the C++ name demangler (~50 KB);
//   this one reports a translated fault that could not be caught (see
//   ReportFaultAtTerminate) and otherwise aborts;
// - the std::__throw_* helpers pull in std::string, the exception classes of
//   <stdexcept> and their copy-on-write message strings (~90 KB).
// The helpers throw the program's own HResultError instead (E_FAIL for
// string failures, 0x8000000B for an index outside a container,
// E_INVALIDARG), which the prerequisite run catches like every other error.
// An exception that nobody catches ends the process with abort().
//
// The thread-safe initialisation of function-level statics, the per-thread
// exception globals, and the run-once routine and mutex of the unwinder and
// the exception allocator are built on the system's own primitives here.
// The library's versions go through the POSIX thread layer and would link
// most of it (about 30 KB; its mutex alone 4 KiB with its unwind entries and
// imports) for functions the program never calls itself.
#include <windows.h>

#include <cstdlib>
#include <cxxabi.h>
#include <new>

#include "common/HResultError.h"
#include "diag/FaultTranslation.h"
#include "diag/FiberSlot.h"

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    pravel::ReportFaultAtTerminate();
    std::abort();
}
}  // namespace __gnu_cxx

namespace std {
void __throw_length_error(const char*) {
    pravel::ThrowHr(pravel::kHrFail);
}
void __throw_logic_error(const char*) {
    pravel::ThrowHr(pravel::kHrFail);
}
void __throw_out_of_range(const char*) {
    pravel::ThrowHr(pravel::kHrBounds);
}
void __throw_out_of_range_fmt(const char*, ...) {
    pravel::ThrowHr(pravel::kHrBounds);
}
void __throw_invalid_argument(const char*) {
    pravel::ThrowHr(pravel::kHrInvalidArg);
}
void __throw_bad_alloc() {
    throw std::bad_alloc();
}
void __throw_bad_array_new_length() {
    throw std::bad_alloc();
}
}  // namespace std

// --- run once ------------------------------------------------------------------
// The unwinder's pthread_once: `once` starts at 0 (PTHREAD_ONCE_INIT); 1 while
// `init` runs, 2 after. Callers that find it running wait until it is done.
extern "C" int pthread_once(volatile long* once, void (*init)(void)) {
    if (::InterlockedCompareExchange(once, 0, 0) == 2) return 0;
    if (::InterlockedCompareExchange(once, 1, 0) == 0) {
        init();
        ::InterlockedExchange(once, 2);
        return 0;
    }
    while (::InterlockedCompareExchange(once, 0, 0) != 2) ::Sleep(1);
    return 0;
}

// --- mutex ----------------------------------------------------------------------
// The mutex of the unwinder's frame registry and of the exception allocator's
// emergency pool (both initialise it before use): the mutex word holds a
// slim reader/writer lock, taken exclusively. The POSIX static initialiser
// (-1) is turned into an unlocked lock on first use.
static_assert(sizeof(intptr_t) == sizeof(SRWLOCK), "a mutex word holds a lock");

extern "C" int pthread_mutex_init(volatile intptr_t* mutex, const void*) {
    *mutex = 0;  // SRWLOCK_INIT
    return 0;
}
extern "C" int pthread_mutex_destroy(volatile intptr_t*) {
    return 0;
}
extern "C" int pthread_mutex_lock(volatile intptr_t* mutex) {
    ::InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(mutex), nullptr,
                                        reinterpret_cast<void*>(-1));
    ::AcquireSRWLockExclusive(reinterpret_cast<PSRWLOCK>(const_cast<intptr_t*>(mutex)));
    return 0;
}
extern "C" int pthread_mutex_unlock(volatile intptr_t* mutex) {
    ::ReleaseSRWLockExclusive(reinterpret_cast<PSRWLOCK>(const_cast<intptr_t*>(mutex)));
    return 0;
}

namespace __cxxabiv1 {

// --- function-level statics ----------------------------------------------------
// Guard layout: byte 0 set once the object is built (the compiler's inline
// check reads it), byte 1 set while a thread builds it, bytes 4-7 that
// thread's id. Waiters sleep on one condition variable for all guards.
namespace {
SRWLOCK g_guardLock = SRWLOCK_INIT;
CONDITION_VARIABLE g_guardDone = CONDITION_VARIABLE_INIT;

struct GuardBytes {
    volatile unsigned char done;
    volatile unsigned char pending;
    unsigned char unused[2];
    volatile DWORD builder;
};
static_assert(sizeof(GuardBytes) == sizeof(__guard), "guard layout");
}  // namespace

extern "C" int __cxa_guard_acquire(__guard* guard) {
    auto* bytes = reinterpret_cast<GuardBytes*>(guard);
    if (__atomic_load_n(&bytes->done, __ATOMIC_ACQUIRE) != 0) return 0;
    const DWORD self = ::GetCurrentThreadId();
    ::AcquireSRWLockExclusive(&g_guardLock);
    for (;;) {
        if (bytes->done != 0) {
            ::ReleaseSRWLockExclusive(&g_guardLock);
            return 0;
        }
        if (bytes->pending == 0) {
            bytes->pending = 1;
            bytes->builder = self;
            ::ReleaseSRWLockExclusive(&g_guardLock);
            return 1;
        }
        // The object's own initialiser needs the object: a program fault.
        if (bytes->builder == self) std::abort();
        ::SleepConditionVariableSRW(&g_guardDone, &g_guardLock, INFINITE, 0);
    }
}

extern "C" void __cxa_guard_release(__guard* guard) noexcept {
    auto* bytes = reinterpret_cast<GuardBytes*>(guard);
    ::AcquireSRWLockExclusive(&g_guardLock);
    __atomic_store_n(&bytes->done, 1, __ATOMIC_RELEASE);
    bytes->pending = 0;
    ::ReleaseSRWLockExclusive(&g_guardLock);
    ::WakeAllConditionVariable(&g_guardDone);
}

// The initialiser threw: the next thread builds the object.
extern "C" void __cxa_guard_abort(__guard* guard) noexcept {
    auto* bytes = reinterpret_cast<GuardBytes*>(guard);
    ::AcquireSRWLockExclusive(&g_guardLock);
    bytes->pending = 0;
    bytes->builder = 0;
    ::ReleaseSRWLockExclusive(&g_guardLock);
    ::WakeAllConditionVariable(&g_guardDone);
}

// --- per-thread exception globals ------------------------------------------------
// The layout libstdc++ keeps per thread: the caught exceptions and the count
// of exceptions thrown and not yet caught. One fiber-local slot holds each
// thread's block; the system frees it when the thread ends.
struct __cxa_eh_globals {
    void* caughtExceptions;
    unsigned int uncaughtExceptions;
};

namespace {
volatile LONG g_globalsSlot = static_cast<LONG>(FLS_OUT_OF_INDEXES);
__cxa_eh_globals g_sharedGlobals;  // only if the slot or a block cannot be had
}  // namespace

extern "C" __cxa_eh_globals* __cxa_get_globals() noexcept {
    const DWORD slot = pravel::FiberSlotIndex(g_globalsSlot, pravel::FreeFiberBlock);
    if (slot == FLS_OUT_OF_INDEXES) return &g_sharedGlobals;
    void* globals = ::FlsGetValue(slot);
    if (globals == nullptr) globals = pravel::NewFiberBlock(slot, sizeof(__cxa_eh_globals));
    return globals != nullptr ? static_cast<__cxa_eh_globals*>(globals) : &g_sharedGlobals;
}

extern "C" __cxa_eh_globals* __cxa_get_globals_fast() noexcept {
    return __cxa_get_globals();
}

}  // namespace __cxxabiv1
