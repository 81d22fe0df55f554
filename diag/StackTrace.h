// The stack trace of a processor context as text, through the system's
// symbol handler (dbghelp, loaded at run time from the system folder).
//
// Failure behaviour: a missing dbghelp, a failing symbol initialisation, a
// failing walk or running out of memory shortens the trace, down to nothing.
// Any other exception of a step (a translated fault, an HResultError) passes
// to the caller after the symbol handler's session has ended and the lock
// is released: the next trace is complete again. All walks in the process
// are serialised by one lock.
#pragma once

#include <windows.h>

#include <string>

namespace pravel {

constexpr int kMaxTraceFrames = 200;

// The program counter and the stack pointer of a processor context: the one
// place that names them for each processor.
#if defined(_M_X64) || defined(__x86_64__)
inline DWORD64& ContextPc(CONTEXT& context) {
    return context.Rip;
}
inline DWORD64& ContextSp(CONTEXT& context) {
    return context.Rsp;
}
#else
inline DWORD& ContextPc(CONTEXT& context) {
    return context.Eip;
}
inline DWORD& ContextSp(CONTEXT& context) {
    return context.Esp;
}
#endif

// Appends the trace of `context` (header, at most `maxFrames` frame lines,
// the MORE-FRAMES line when the limit was reached, the module-base line) to
// `output`. Does nothing without a context.
void RenderStackTrace(std::wstring& output, const CONTEXT* context, int maxFrames);

// The same for the calling point (the caller's own frame comes first).
void RenderCurrentStackTrace(std::wstring& output, int maxFrames);

// --- Seams for the tests that link the library ------------------------------
// Called before each frame line of every walk while set (null, as in the
// program: nothing); what it throws leaves the walk like a failing step.
void SetStackTraceStepHook(void (*hook)());

}  // namespace pravel
