// Processor faults (structured exceptions such as access violations) become
// C++ exceptions of type SehException, and a fault that nobody catches is
// reported by the last-chance filter.
//
// The translation is per thread: a thread that runs program work calls
// InstallExceptionTranslation at its start. A process-wide vectored handler
// then turns a fault of such a thread, raised in this program's own code
// (or, for an execution fault, called from it), into a throw at the
// faulting instruction: it saves the fault in the thread's slot, pushes a
// return address just after the faulting instruction, resumes at a function
// that throws, and the normal unwinder takes over (the program is built with
// -fnon-call-exceptions). When building that exception throws (no memory
// left, say), that exception is thrown there instead; the thread's later
// faults are translated as before. Faults in other modules, faults of
// threads without the translation, stack overflows and non-continuable
// exceptions are left to the system and reach the last-chance filter when
// nobody handles them.
#pragma once

#include <windows.h>

#include "diag/Exception.h"

namespace pravel {

// Installs the translation for the calling thread; on the first call in the
// process also the last-chance filter as the unhandled-exception filter.
// Never throws; a thread whose slot cannot be allocated stays untranslated.
// The thread's slot is freed when the thread ends.
void InstallExceptionTranslation() noexcept;

// Runs `call(argument)`, which calls into components of other modules (the
// platform's package manager), so that a fault raised inside such a
// component that nothing there handles becomes an SehException thrown from
// here (with the text and stack trace of the faulting context) instead of
// ending the process. Faults the component handles itself stay its own.
// The frames between this call and the fault are abandoned without their
// clean-up: what they owned is leaked and the component may be left in a
// broken state, so a caller does not use it again after such an exception.
// Exceptions thrown by `call` pass through unchanged. Without the
// translation on the calling thread, `call` runs unguarded.
void RunGuarded(void (*call)(void*), void* argument);

template <typename Work>
void CallOtherModules(Work& work) {
    RunGuarded([](void* w) { (*static_cast<Work*>(w))(); }, &work);
}

// The exception for a fault (`record` and `context` may be null): message
// "[SEH_KIND] NAME (0x........) at address [0x........]\r\n" followed by the
// stack trace of `context`, with the source location of the faulting frame
// when symbols give one.
SehException TranslateFault(const EXCEPTION_RECORD* record, const CONTEXT* context);

// The text of the last-chance report for a fault: "[EXCEPTION_UNHANDLED] ",
// the code and address line and the stack trace.
std::wstring UnhandledFaultReport(const EXCEPTION_RECORD* record, const CONTEXT* context);

// The last-chance filter. Interactive runs show the error report; a run that
// is not interactive (silent, or without a visible window station) writes
// the report to the log (when logging is on) and to the debugger output.
// Then the process ends with the fault's code (never 0).
LONG WINAPI LastChanceFilter(EXCEPTION_POINTERS* pointers);

// For the terminate handler: when the exception that ends the program is a
// translated fault (the unwinder could not carry it to a handler, for
// example out of a function that must not throw), reports it like a fault
// that nothing handled, with its text and stack trace, and ends the process
// with the fault's code. Returns for any other reason to terminate.
void ReportFaultAtTerminate() noexcept;

// --- Seams for the tests that link the library ------------------------------
// The number of threads whose translation slot is allocated and not yet
// freed (threads that installed the translation and have not ended).
long LiveTranslationSlots() noexcept;

}  // namespace pravel
