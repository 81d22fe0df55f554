#include "diag/FaultTranslation.h"

#include <cxxabi.h>
#include <memory>
#include <typeinfo>
#include <type_traits>
#include <new>

#include "common/ErrorCodes.h"
#include "diag/ErrorReport.h"
#include "diag/FiberSlot.h"
#include "diag/Logger.h"
#include "diag/StackTrace.h"

namespace pravel {

namespace {

constexpr char kSource[] = "platform\\core\\ExceptionHandling";
constexpr int32_t kLineNoRecord = 117;
constexpr int32_t kLineDefault = 92;
constexpr size_t kMessageBuffer = 1024;
constexpr DWORD kAccessViolation = 0xC0000005u;
constexpr DWORD kStackOverflow = 0xC00000FDu;
constexpr DWORD kMisalignment = 0x80000002u;
constexpr ULONG_PTR kExecuteAccess = 8;

// The innermost RunGuarded of a thread.
struct Guard {
    void* jump[5] = {};  // __builtin_setjmp buffer
    bool active = false;
#if defined(__i386__)
    void* sehChain = nullptr;  // the frame-based handler chain at the guard
#endif
};

// What the vectored handler leaves for the throwing function of its thread.
struct ThreadSlot {
    EXCEPTION_RECORD record;
    CONTEXT context;
    volatile LONG throwing;  // set while the fault is being turned into an exception
    Guard guard;
    SehException* guardedFault;  // the fault that ended the guarded call, or null
};

// Freed by the system when their thread ends: nothing in them needs clean-up.
static_assert(std::is_trivially_destructible_v<ThreadSlot>);

volatile LONG g_slotIndex = static_cast<LONG>(FLS_OUT_OF_INDEXES);
volatile LONG g_liveSlots = 0;  // allocated and not yet freed
uintptr_t g_moduleStart = 0;
uintptr_t g_moduleEnd = 0;
volatile LONG g_installed = 0;

// The image range of the module that holds this code (the program itself).
void FindOwnModule() {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&FindOwnModule), &module)) {
        return;
    }
    const auto base = reinterpret_cast<uintptr_t>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    g_moduleStart = base;
    g_moduleEnd = base + nt->OptionalHeader.SizeOfImage;
}

bool InOwnModule(uintptr_t address) {
    return address >= g_moduleStart && address < g_moduleEnd;
}

// Faults worth a C++ exception: error-severity status codes and misaligned
// data, not stack overflows (no room left to throw).
bool IsTranslated(const EXCEPTION_RECORD& record) {
    if ((record.ExceptionFlags & EXCEPTION_NONCONTINUABLE) != 0) return false;
    const DWORD code = record.ExceptionCode;
    if (code == kStackOverflow) return false;
    return (code & 0xF0000000u) == 0xC0000000u || code == kMisalignment;
}

ThreadSlot* CurrentSlot() {
    const auto index = static_cast<DWORD>(g_slotIndex);
    if (index == FLS_OUT_OF_INDEXES) return nullptr;
    return static_cast<ThreadSlot*>(::FlsGetValue(index));
}

// The slot's release callback: the system calls it when the thread ends.
void NTAPI ReleaseSlot(void* slot) {
    if (slot == nullptr) return;
    FreeFiberBlock(slot);
    ::InterlockedDecrement(&g_liveSlots);
}

// Marks the thread's slot while a fault is turned into an exception (a
// fault meanwhile stays untranslated) until the exception, or one thrown
// while building it, leaves the throwing frame.
class ThrowingMark {
  public:
    explicit ThrowingMark(ThreadSlot& slot) : slot_(slot) { slot_.throwing = 1; }
    ~ThrowingMark() { slot_.throwing = 0; }
    ThrowingMark(const ThrowingMark&) = delete;
    ThrowingMark& operator=(const ThrowingMark&) = delete;

  private:
    ThreadSlot& slot_;
};

// Runs in place of the faulting instruction, as if that instruction had
// called it: the unwinder sees the faulting frame as its caller.
#if defined(__i386__)
__attribute__((force_align_arg_pointer))
#endif
[[noreturn]] __attribute__((noinline, used)) void
ThrowPendingFault() {
    ThreadSlot* slot = CurrentSlot();
    const EXCEPTION_RECORD record = slot->record;
    const CONTEXT context = slot->context;
    // An exception of the building itself is thrown in place of the fault.
    const ThrowingMark mark(*slot);
    throw TranslateFault(&record, &context);
}

#if defined(__x86_64__)
// Entered like a call from the faulting instruction when the fault left the
// stack pointer 8 bytes off the call alignment (a frameless function):
// calling on from here gives ThrowPendingFault the alignment the calling
// convention promises, and the unwind data describes this frame.
extern "C" void PravelThrowPendingFaultAligned();
extern "C" {
__attribute__((used)) void (*PravelThrowTarget)() = nullptr;
}
asm(".text\n"
    ".globl PravelThrowPendingFaultAligned\n"
    ".def PravelThrowPendingFaultAligned; .scl 2; .type 32; .endef\n"
    ".seh_proc PravelThrowPendingFaultAligned\n"
    "PravelThrowPendingFaultAligned:\n"
    ".seh_endprologue\n"
    "    call *PravelThrowTarget(%rip)\n"
    "    int3\n"
    ".seh_endproc\n");
#endif

LONG CALLBACK TranslatingHandler(EXCEPTION_POINTERS* pointers) {
    ThreadSlot* slot = CurrentSlot();
    if (slot == nullptr || slot->throwing != 0) return EXCEPTION_CONTINUE_SEARCH;
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    CONTEXT& context = *pointers->ContextRecord;
    if (!IsTranslated(record)) return EXCEPTION_CONTINUE_SEARCH;
    auto& ip = ContextPc(context);
    auto& sp = ContextSp(context);
    // A call into memory that cannot run (or to address 0) faults at the
    // target: throw from the call site, whose return address is on the stack.
    const bool calledAway = record.ExceptionCode == kAccessViolation &&
                            record.NumberParameters >= 2 &&
                            (record.ExceptionInformation[0] == kExecuteAccess ||
                             record.ExceptionInformation[1] == static_cast<ULONG_PTR>(ip)) &&
                            !InOwnModule(ip);
    if (calledAway) {
        if (!InOwnModule(*reinterpret_cast<const uintptr_t*>(sp))) return EXCEPTION_CONTINUE_SEARCH;
    } else if (!InOwnModule(ip)) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    slot->record = record;
    slot->context = context;
    if (!calledAway) {
        sp -= sizeof(void*);
        *reinterpret_cast<uintptr_t*>(sp) = ip + 1;
    }
#if defined(__x86_64__)
    // At a function's entry the stack pointer is 8 modulo 16.
    if (sp % 16 == 0) {
        ip = reinterpret_cast<uintptr_t>(&PravelThrowPendingFaultAligned);
        return EXCEPTION_CONTINUE_EXECUTION;
    }
#endif
    ip = reinterpret_cast<uintptr_t>(&ThrowPendingFault);
    return EXCEPTION_CONTINUE_EXECUTION;
}

#if defined(__i386__)
// The head of the thread's frame-based exception handler chain (the first
// word of the thread information block).
void* SehChainHead() {
    void* head = nullptr;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}
void SetSehChainHead(void* head) {
    asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}
#endif

// Entered in place of the faulting instruction of a guarded call: back to
// the guard, which throws.
[[noreturn]] __attribute__((noinline, used)) void JumpToGuard() {
    __builtin_longjmp(CurrentSlot()->guard.jump, 1);
}

// Calls `call(argument)`; false when it ended through JumpToGuard.
__attribute__((noinline)) bool CallUnderGuard(ThreadSlot* slot, void (*call)(void*),
                                              void* argument) {
    if (__builtin_setjmp(slot->guard.jump) != 0) return false;
    call(argument);
    return true;
}

// Puts the enclosing guard back when a guarded call ends in any way.
class GuardScope {
  public:
    explicit GuardScope(ThreadSlot& slot) : slot_(slot), saved_(slot.guard) {}
    ~GuardScope() { slot_.guard = saved_; }
    GuardScope(const GuardScope&) = delete;
    GuardScope& operator=(const GuardScope&) = delete;

  private:
    ThreadSlot& slot_;
    Guard saved_;
};

// For a fault that nothing handled on a thread inside RunGuarded: builds the
// exception on the faulting stack (its frames are still intact) and resumes
// the thread at JumpToGuard. False when the thread is not guarded.
bool ResumeAtGuard(EXCEPTION_POINTERS* pointers) {
    ThreadSlot* slot = CurrentSlot();
    if (slot == nullptr || !slot->guard.active || pointers == nullptr ||
        pointers->ExceptionRecord == nullptr || pointers->ContextRecord == nullptr ||
        !IsTranslated(*pointers->ExceptionRecord)) {
        return false;
    }
    slot->guard.active = false;  // a fault while building the text is reported
    SehException* fault = nullptr;
    try {
        fault =
            new SehException(TranslateFault(pointers->ExceptionRecord, pointers->ContextRecord));
    } catch (...) {
        fault = nullptr;  // the guard throws the generic exception
    }
    slot->guardedFault = fault;
    CONTEXT& context = *pointers->ContextRecord;
    // Below the faulting frame, aligned as at a function's entry.
    auto& sp = ContextSp(context);
    sp = ((sp - 256) & ~static_cast<uintptr_t>(15)) - sizeof(void*);
    ContextPc(context) = reinterpret_cast<uintptr_t>(&JumpToGuard);
    return true;
}

[[noreturn]] void EndProcess(DWORD code) {
    ::TerminateProcess(::GetCurrentProcess(), code != 0 ? code : kExitUnhandledFault);
    ::ExitProcess(code != 0 ? code : kExitUnhandledFault);
}

}  // namespace

void InstallExceptionTranslation() noexcept {
    if (::InterlockedCompareExchange(&g_installed, 1, 0) == 0) {
        FindOwnModule();
#if defined(__x86_64__)
        PravelThrowTarget = &ThrowPendingFault;
#endif
        FiberSlotIndex(g_slotIndex, ReleaseSlot);
        ::AddVectoredExceptionHandler(1, TranslatingHandler);
        ::SetUnhandledExceptionFilter(LastChanceFilter);
        ::InterlockedExchange(&g_installed, 2);
    }
    while (g_installed != 2) ::Sleep(0);
    const auto index = static_cast<DWORD>(g_slotIndex);
    if (index == FLS_OUT_OF_INDEXES || CurrentSlot() != nullptr) return;
    // One slot per thread (about 1.5 KB), freed when the thread ends.
    if (void* block = NewFiberBlock(index, sizeof(ThreadSlot))) {
        new (block) ThreadSlot();
        ::InterlockedIncrement(&g_liveSlots);
    }
}

long LiveTranslationSlots() noexcept {
    return g_liveSlots;
}

void RunGuarded(void (*call)(void*), void* argument) {
    ThreadSlot* slot = CurrentSlot();
    if (slot == nullptr) {
        call(argument);
        return;
    }
    GuardScope scope(*slot);
    slot->guard.active = true;
#if defined(__i386__)
    slot->guard.sehChain = SehChainHead();
#endif
    if (CallUnderGuard(slot, call, argument)) return;
#if defined(__i386__)
    // The abandoned frames' handler records lie below the stack pointer now.
    SetSehChainHead(slot->guard.sehChain);
#endif
    std::unique_ptr<SehException> fault(slot->guardedFault);
    slot->guardedFault = nullptr;
    if (!fault) throw TranslateFault(nullptr, nullptr);
    throw SehException(*fault);
}

SehException TranslateFault(const EXCEPTION_RECORD* record, const CONTEXT* context) {
    if (record == nullptr)
        return SehException(WideFromAscii(kSource), kLineNoRecord, kSehGeneric,
                            WideFromAscii("Unidentified SEH Exception !"));
    const auto address = reinterpret_cast<uintptr_t>(record->ExceptionAddress);
    std::wstring message = FaultFirstLine(record->ExceptionCode, address);
    if (message.size() > kMessageBuffer - 1) message.resize(kMessageBuffer - 1);
    RenderStackTrace(message, context, kMaxTraceFrames);
    const bool hasInfo = record->NumberParameters >= 2;
    const int32_t kind =
        ClassifyFault(record->ExceptionCode, hasInfo, hasInfo ? record->ExceptionInformation[0] : 0,
                      hasInfo ? record->ExceptionInformation[1] : 0);
    message.insert(0, Concat({"[", AsciiPiece(SehKindName(kind)), "] "}));
    std::wstring file = WideFromAscii(kSource);
    int32_t line = kLineDefault;
    std::wstring oneFrame;
    RenderStackTrace(oneFrame, context, 1);
    ParseFrameSource(oneFrame, file, line);
    return SehException(file, line, kind, message);
}

std::wstring UnhandledFaultReport(const EXCEPTION_RECORD* record, const CONTEXT* context) {
    std::wstring text = Concat({"[", AsciiPiece(ExceptionKindName(kKindUnhandled)), "] "});
    if (record != nullptr) {
        text += UnhandledFaultLine(record->ExceptionCode,
                                   reinterpret_cast<uintptr_t>(record->ExceptionAddress));
    }
    RenderStackTrace(text, context, kMaxTraceFrames);
    return text;
}

namespace {

// Shows or logs a report once per process, then ends the process with
// `code` (never 0). A fault while reporting ends the process at once; a
// second thread waits for the first report, which ends the process.
volatile LONG g_reporter = 0;  // the thread that reports, or 0

template <typename BuildText>
[[noreturn]] void ReportAndEnd(DWORD code, BuildText buildText) noexcept {
    volatile LONG& reporter = g_reporter;
    const LONG self = static_cast<LONG>(::GetCurrentThreadId());
    const LONG previous = ::InterlockedCompareExchange(&reporter, self, 0);
    if (previous == self) EndProcess(code);
    if (previous != 0) {
        for (;;) ::Sleep(INFINITE);
    }
    try {
        const std::wstring text = buildText();
        if (CanShowErrorReport()) {
            ShowReportWindow(nullptr, TextBeforeStackTrace(text), text,
                             WideFromAscii(ExceptionKindName(kKindUnhandled)),
                             WideFromAscii(kSource));
        } else {
            ::OutputDebugStringW(text.c_str());
            Log({"The program stopped on a fault that nothing handled:", text});
        }
    } catch (...) {
        ::OutputDebugStringW(L"[EXCEPTION_UNHANDLED] the report could not be built");
    }
    EndProcess(code);
}

}  // namespace

LONG WINAPI LastChanceFilter(EXCEPTION_POINTERS* pointers) {
    if (ResumeAtGuard(pointers)) return EXCEPTION_CONTINUE_EXECUTION;
    const EXCEPTION_RECORD* record = pointers != nullptr ? pointers->ExceptionRecord : nullptr;
    const CONTEXT* context = pointers != nullptr ? pointers->ContextRecord : nullptr;
    const DWORD code = record != nullptr ? record->ExceptionCode : 0;
    ReportAndEnd(code, [&]() { return UnhandledFaultReport(record, context); });
}

void ReportFaultAtTerminate() noexcept {
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (type == nullptr || *type != typeid(SehException)) return;
    std::wstring message;
    try {
        throw;  // the exception the terminate handler was called for
    } catch (const SehException& fault) {
        try {
            message = fault.Message();
        } catch (...) {
        }
    } catch (...) {
        return;
    }
    const ThreadSlot* slot = CurrentSlot();
    const DWORD code = slot != nullptr ? slot->record.ExceptionCode : 0;
    ReportAndEnd(code, [&]() {
        return Concat({"[", AsciiPiece(ExceptionKindName(kKindUnhandled)), "] ", message});
    });
}

}  // namespace pravel
