// Processor faults on worker threads become SehException with the right
// kind, texts and a stack trace that starts in the faulting function.
#include "diag/FaultTranslation.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cwchar>
#include <memory>
#include <string>

#include "common/HResultError.h"
#include "common/SystemLibrary.h"
#include "common/Text.h"
#include "diag/StackTrace.h"
#include "support/WinTestSupport.h"

namespace pravel {
namespace {

int* volatile g_null = nullptr;
int* volatile g_bad = nullptr;  // a released page
volatile int g_zero = 0;
using Code = void (*)();
Code volatile g_noExec = nullptr;  // a page that may be written but not run

__attribute__((noinline)) int ReadNull() {
    return *g_null + 1;
}
__attribute__((noinline)) int WriteNull() {
    *g_null = 7;
    return 0;
}
__attribute__((noinline)) int ReadBad() {
    return *g_bad + 1;
}
__attribute__((noinline)) int DivideByZero() {
    return 100 / g_zero;
}
__attribute__((noinline)) int RunData() {
    g_noExec();
    return 1;
}

struct Outcome {
    bool caught = false;
    int32_t kind = -1;
    int32_t sehKind = -1;
    uint32_t code = 0;
    std::wstring kindName;
    std::wstring message;
};

struct Job {
    int (*function)();
    Outcome outcome;
};

DWORD WINAPI Worker(void* parameter) {
    InstallExceptionTranslation();
    Job& job = *static_cast<Job*>(parameter);
    try {
        job.function();
    } catch (const SehException& exception) {
        job.outcome.caught = true;
        job.outcome.kind = exception.Kind();
        job.outcome.sehKind = exception.SehKind();
        job.outcome.code = exception.Code();
        job.outcome.kindName = exception.KindName();
        job.outcome.message = exception.Message();
    }
    return 0;
}

Outcome RunOnWorker(int (*function)()) {
    Job job{function, {}};
    HANDLE thread = ::CreateThread(nullptr, 0, Worker, &job, 0, nullptr);
    EXPECT_NE(nullptr, thread);
    if (thread == nullptr) return job.outcome;
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread, 30000));
    ::CloseHandle(thread);
    return job.outcome;
}

// The program-counter addresses of the trace's frame lines, innermost first.
std::vector<uintptr_t> FrameAddresses(const std::wstring& message) {
    std::vector<uintptr_t> frames;
    size_t at = message.find(kStackTraceHeader);
    if (at == std::wstring::npos) return frames;
    at += std::wcslen(kStackTraceHeader);
    while (message.compare(at, 3, L"[0x") == 0) {
        const size_t end = message.find(L"\r\n", at);
        if (end == std::wstring::npos || message.find(L"MODULE_BASE_ADDRESS", at) < end) break;
        frames.push_back(
            static_cast<uintptr_t>(std::wcstoull(message.c_str() + at + 3, nullptr, 16)));
        at = end + 2;
    }
    return frames;
}

bool WithinFunction(uintptr_t address, int (*function)()) {
    const auto start = reinterpret_cast<uintptr_t>(function);
    return address >= start && address < start + 256;
}

// A step of the stack-trace building that fails once, with an error other
// than running out of memory.
void FailOnce() {
    SetStackTraceStepHook(nullptr);
    ThrowHr(kHrFail);
}

long g_liveSlots = -1;
bool g_buildFailed = false;

__attribute__((noinline)) int CountSlotsThenReadNull() {
    g_liveSlots = LiveTranslationSlots();
    return ReadNull();
}

// The first fault's exception cannot be built; the thread then faults again.
__attribute__((noinline)) int FaultTwiceFirstBuildFails() {
    SetStackTraceStepHook(FailOnce);
    try {
        ReadNull();
    } catch (const HResultError& error) {
        g_buildFailed = error.Code() == kHrFail;
    }
    return WriteNull();
}

// Ends the thread of an untranslated fault in WriteNull, which would
// otherwise reach the last-chance report and end the test program.
[[noreturn]] void EndThread() {
    ::ExitThread(1);
}
LONG CALLBACK EndThreadOfUntranslatedWrite(EXCEPTION_POINTERS* pointers) {
    CONTEXT& context = *pointers->ContextRecord;
    if (!WithinFunction(ContextPc(context), WriteNull)) return EXCEPTION_CONTINUE_SEARCH;
    ContextSp(context) = ((ContextSp(context) - 256) & ~static_cast<uintptr_t>(15)) - sizeof(void*);
    ContextPc(context) = reinterpret_cast<uintptr_t>(&EndThread);
    return EXCEPTION_CONTINUE_EXECUTION;
}

void ExpectFault(const Outcome& outcome, int32_t sehKind, const wchar_t* kindName,
                 const std::wstring& prefix) {
    ASSERT_TRUE(outcome.caught);
    EXPECT_EQ(7, outcome.kind);
    EXPECT_EQ(sehKind, outcome.sehKind);
    EXPECT_EQ(std::wstring(kindName), outcome.kindName);
    EXPECT_EQ(0xE0010064u, outcome.code);
    EXPECT_EQ(0u, outcome.message.find(prefix)) << outcome.message;
    EXPECT_NE(std::wstring::npos, outcome.message.find(L") at address [0x")) << outcome.message;
    EXPECT_NE(std::wstring::npos, outcome.message.find(L"MODULE_BASE_ADDRESS\r\n"));
}

TEST(FaultTranslation, NullReadOnWorker) {
    const Outcome outcome = RunOnWorker(ReadNull);
    ExpectFault(outcome, 1, L"SEH_AV_READ_NULLPTR",
                L"[SEH_AV_READ_NULLPTR] ACCESS_VIOLATION (0xc0000005) at address [0x");
    const auto frames = FrameAddresses(outcome.message);
    ASSERT_FALSE(frames.empty()) << outcome.message;
    EXPECT_TRUE(WithinFunction(frames[0], ReadNull)) << outcome.message;
}

TEST(FaultTranslation, NullWriteOnWorker) {
    const Outcome outcome = RunOnWorker(WriteNull);
    ExpectFault(outcome, 3, L"SEH_AV_WRITE_NULLPTR",
                L"[SEH_AV_WRITE_NULLPTR] ACCESS_VIOLATION (0xc0000005) at address [0x");
    const auto frames = FrameAddresses(outcome.message);
    ASSERT_FALSE(frames.empty()) << outcome.message;
    EXPECT_TRUE(WithinFunction(frames[0], WriteNull)) << outcome.message;
}

// Package searches and installations start threads of their own: each
// thread's translation slot is freed when the thread ends.
TEST(FaultTranslation, EachThreadsSlotIsFreedWhenTheThreadEnds) {
    const long before = LiveTranslationSlots();
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(RunOnWorker(CountSlotsThenReadNull).caught);
        EXPECT_EQ(before + 1, g_liveSlots);
    }
    EXPECT_EQ(before, LiveTranslationSlots());
}

// An exception while building a fault's exception leaves in its place, and
// the thread's next fault is translated again, with its stack trace.
TEST(FaultTranslation, AFaultAfterAFailedBuildIsTranslatedAgain) {
    void* safetyNet = ::AddVectoredExceptionHandler(0, EndThreadOfUntranslatedWrite);
    const Outcome outcome = RunOnWorker(FaultTwiceFirstBuildFails);
    ::RemoveVectoredExceptionHandler(safetyNet);
    EXPECT_TRUE(g_buildFailed);
    ExpectFault(outcome, 3, L"SEH_AV_WRITE_NULLPTR",
                L"[SEH_AV_WRITE_NULLPTR] ACCESS_VIOLATION (0xc0000005) at address [0x");
}

TEST(FaultTranslation, BadPointerReadOnWorker) {
    void* page = ::VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(nullptr, page);
    ASSERT_TRUE(::VirtualFree(page, 0, MEM_RELEASE));
    g_bad = static_cast<int*>(page);
    const Outcome outcome = RunOnWorker(ReadBad);
    ExpectFault(outcome, 2, L"SEH_AV_READ_BADPTR",
                L"[SEH_AV_READ_BADPTR] ACCESS_VIOLATION (0xc0000005) at address [0x");
    const auto frames = FrameAddresses(outcome.message);
    ASSERT_FALSE(frames.empty()) << outcome.message;
    EXPECT_TRUE(WithinFunction(frames[0], ReadBad)) << outcome.message;
}

TEST(FaultTranslation, IntegerDivisionByZeroOnWorker) {
    const Outcome outcome = RunOnWorker(DivideByZero);
    ExpectFault(outcome, 0, L"SEH_GENERIC",
                L"[SEH_GENERIC] INT_DIVIDE_BY_ZERO (0xc0000094) at address [0x");
    const auto frames = FrameAddresses(outcome.message);
    ASSERT_FALSE(frames.empty()) << outcome.message;
    EXPECT_TRUE(WithinFunction(frames[0], DivideByZero)) << outcome.message;
}

TEST(FaultTranslation, ExecutingADataPageOnWorker) {
    // 32-bit processes run with execution prevention only when asked to.
    using SetDepFn = BOOL(WINAPI*)(DWORD);
    auto setDep = reinterpret_cast<SetDepFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetProcessDEPPolicy")));
    if (sizeof(void*) == 4 && setDep != nullptr) setDep(1 /* PROCESS_DEP_ENABLE */);
    void* page = ::VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(nullptr, page);
    *static_cast<unsigned char*>(page) = 0xC3;  // ret
    g_noExec = reinterpret_cast<Code>(page);
    const Outcome outcome = RunOnWorker(RunData);
    ::VirtualFree(page, 0, MEM_RELEASE);
    ExpectFault(outcome, 6, L"SEH_AV_DEP_BADPTR",
                L"[SEH_AV_DEP_BADPTR] ACCESS_VIOLATION (0xc0000005) at address [0x");
    const auto frames = FrameAddresses(outcome.message);
    ASSERT_GE(frames.size(), 2u) << outcome.message;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(page), frames[0]) << outcome.message;
    EXPECT_TRUE(WithinFunction(frames[1], RunData)) << outcome.message;
}

// --- faults inside other modules, under RunGuarded ----------------------------

using MemsetFn = void*(__cdecl*)(void*, int, size_t);

// memset of msvcrt.dll: code of another module that handles no fault.
MemsetFn ForeignMemset() {
    HMODULE crt = ::LoadLibraryW(L"msvcrt.dll");
    return reinterpret_cast<MemsetFn>(reinterpret_cast<void*>(::GetProcAddress(crt, "memset")));
}

int GuardedForeignNullWrite() {
    MemsetFn foreignMemset = ForeignMemset();
    auto call = [foreignMemset]() { foreignMemset(g_null, 0, 64); };
    CallOtherModules(call);
    return 0;
}

TEST(GuardedCalls, AFaultInsideAnotherModuleBecomesAnExceptionAtTheGuard) {
    ASSERT_NE(nullptr, ForeignMemset());
    const Outcome outcome = RunOnWorker(GuardedForeignNullWrite);
    ExpectFault(outcome, 3, L"SEH_AV_WRITE_NULLPTR",
                L"[SEH_AV_WRITE_NULLPTR] ACCESS_VIOLATION (0xc0000005) at address [0x");
    // The trace starts at the faulting instruction, inside msvcrt.
    const auto frames = FrameAddresses(outcome.message);
    ASSERT_FALSE(frames.empty()) << outcome.message;
    HMODULE module = nullptr;
    ASSERT_TRUE(::GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(frames[0]), &module));
    EXPECT_EQ(::GetModuleHandleW(L"msvcrt.dll"), module) << outcome.message;
}

struct GuardJourney {
    bool firstCaught = false;
    bool secondCaught = false;
    bool innerCaught = false;
    bool outerCompleted = false;
    bool ownFaultCaught = false;
    bool programExceptionPassed = false;
    int handledByComponent = -1;
};

DWORD WINAPI GuardJourneyWorker(void* parameter) {
    InstallExceptionTranslation();
    GuardJourney& journey = *static_cast<GuardJourney*>(parameter);
    MemsetFn foreignMemset = ForeignMemset();
    auto fault = [foreignMemset]() { foreignMemset(g_null, 0, 64); };
    // The guard can be used again after a fault.
    try {
        CallOtherModules(fault);
    } catch (const SehException&) {
        journey.firstCaught = true;
    }
    try {
        CallOtherModules(fault);
    } catch (const SehException&) {
        journey.secondCaught = true;
    }
    // A fault under an inner guard ends there; the outer one stays in force.
    auto outer = [&]() {
        try {
            CallOtherModules(fault);
        } catch (const SehException&) {
            journey.innerCaught = true;
        }
        char buffer[8];
        foreignMemset(buffer, 1, sizeof(buffer));
        journey.outerCompleted = buffer[7] == 1;
    };
    try {
        CallOtherModules(outer);
    } catch (...) {
    }
    // Faults in this program's own code are translated as everywhere else.
    auto own = []() { ReadNull(); };
    try {
        CallOtherModules(own);
    } catch (const SehException& exception) {
        journey.ownFaultCaught = exception.SehKind() == 1;
    }
    // Program exceptions pass through unchanged.
    auto program = []() { throw Exception(L"thrown through", L"here.cpp", 3); };
    try {
        CallOtherModules(program);
    } catch (const SehException&) {
    } catch (const Exception& exception) {
        journey.programExceptionPassed = exception.Message() == L"thrown through";
    }
    // A fault the other module handles itself stays its own: lstrlenW
    // answers 0 for an unreadable string.
    auto handled = [&]() {
        journey.handledByComponent = ::lstrlenW(reinterpret_cast<LPCWSTR>(g_null));
    };
    try {
        CallOtherModules(handled);
    } catch (...) {
        journey.handledByComponent = -2;
    }
    return 0;
}

TEST(GuardedCalls, GuardsAreReusableNestAndLeaveOtherExceptionsAlone) {
    GuardJourney journey;
    HANDLE thread = ::CreateThread(nullptr, 0, GuardJourneyWorker, &journey, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread, 30000));
    ::CloseHandle(thread);
    EXPECT_TRUE(journey.firstCaught);
    EXPECT_TRUE(journey.secondCaught);
    EXPECT_TRUE(journey.innerCaught);
    EXPECT_TRUE(journey.outerCompleted);
    EXPECT_TRUE(journey.ownFaultCaught);
    EXPECT_TRUE(journey.programExceptionPassed);
    EXPECT_EQ(0, journey.handledByComponent);
}

// A translated fault that cannot reach a handler (it leaves a function that
// must not throw) is reported by the terminate handler with its text and
// ends the process with the fault's code, not with abort's 3.
TEST(FaultTranslation, AFaultThatCannotBeCaughtIsReportedAtTerminate) {
    using testing_support::PathFromEnvironment;
    wchar_t folder[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetTempPathW(MAX_PATH, folder));
    const std::wstring log = std::wstring(folder) + L"terminate-fault-" +
                             std::to_wstring(::GetCurrentProcessId()) + L".log";
    ::DeleteFileW(log.c_str());
    testing_support::Process process(PathFromEnvironment("FIXTURE_TERMINATE_FAULT"),
                                     L"\"" + log + L"\"");
    ASSERT_TRUE(process.Started());
    ASSERT_TRUE(process.WaitFor(30000));
    EXPECT_EQ(0xC0000005u, process.ExitCode());
    const std::wstring text = testing_support::ReadUtf16(log);
    EXPECT_NE(std::wstring::npos,
              text.find(L"The program stopped on a fault that nothing handled:"
                        L"[EXCEPTION_UNHANDLED] [SEH_AV_READ_NULLPTR] ACCESS_VIOLATION "
                        L"(0xc0000005) at address [0x"))
        << testing_support::Narrow(text);
    EXPECT_NE(std::wstring::npos, text.find(L"MODULE_BASE_ADDRESS"));
    ::DeleteFileW(log.c_str());
}

TEST(FaultTranslation, CodesWithoutNameAndWithoutRecord) {
    const SehException none = TranslateFault(nullptr, nullptr);
    EXPECT_EQ(L"Unidentified SEH Exception !", none.Message());
    EXPECT_EQ(117, none.Line());
    EXPECT_EQ(L"platform\\core\\ExceptionHandling", none.SourceFile());
    EXPECT_EQ(0, none.SehKind());

    EXCEPTION_RECORD record{};
    record.ExceptionCode = 0xE06D7363u;
    record.ExceptionAddress = reinterpret_cast<void*>(0x1234);
    const SehException unknown = TranslateFault(&record, nullptr);
    EXPECT_EQ(L"[SEH_GENERIC] Unknown SEH Exception (0xe06d7363) at address [0x00001234]\r\n",
              unknown.Message());
    EXPECT_EQ(0, unknown.SehKind());
    EXPECT_EQ(7, unknown.Kind());
    EXPECT_EQ(92, unknown.Line());
}

TEST(Exceptions, CloneAddsTheTraceOnceAndKeepsTheType) {
    const Exception plain(L"plain failure", L"here.cpp", 12);
    EXPECT_EQ(2, plain.Kind());
    EXPECT_EQ(L"EXCEPTION_GENERIC", plain.KindName());
    EXPECT_EQ(nullptr, plain.ProcessObject());
    std::unique_ptr<IException> once(plain.Clone(true));
    const std::wstring& traced = dynamic_cast<Exception&>(*once).Message();
    ASSERT_EQ(0u, traced.find(L"plain failure\r\n" + std::wstring(kStackTraceHeader))) << traced;
    std::unique_ptr<IException> twice(once->Clone(true));
    EXPECT_EQ(traced, dynamic_cast<Exception&>(*twice).Message());
    std::unique_ptr<IException> bare(plain.Clone(false));
    EXPECT_EQ(L"plain failure", dynamic_cast<Exception&>(*bare).Message());

    const SehException fault(L"f.cpp", 3, 4, L"[SEH_AV_WRITE_BADPTR] x");
    std::unique_ptr<IException> copy(fault.Clone(false));
    EXPECT_EQ(L"SEH_AV_WRITE_BADPTR", copy->KindName());
    EXPECT_EQ(4, dynamic_cast<SehException&>(*copy).SehKind());
    try {
        copy->Raise();
    } catch (const SehException& raised) {
        EXPECT_EQ(4, raised.SehKind());
    } catch (...) {
        ADD_FAILURE() << "Raise threw another type";
    }
}

TEST(StackTrace, OneFrameEndsWithMoreFramesAndModuleBase) {
    std::wstring trace;
    RenderCurrentStackTrace(trace, 1);
    ASSERT_EQ(0u, trace.find(kStackTraceHeader)) << trace;
    const std::wstring tail = WideFromAscii(kMoreFramesLine) + L"[" +
                              HexAddress(reinterpret_cast<uintptr_t>(::GetModuleHandleW(nullptr))) +
                              L"]  MODULE_BASE_ADDRESS\r\n";
    ASSERT_GE(trace.size(), tail.size());
    EXPECT_EQ(tail, trace.substr(trace.size() - tail.size())) << trace;
    EXPECT_EQ(1u, FrameAddresses(trace).size());
    std::wstring nothing;
    RenderStackTrace(nothing, nullptr, 10);
    EXPECT_TRUE(nothing.empty());
}

// A step that fails with another error than running out of memory ends the
// symbol handler's session, and the next trace is complete. SymCleanup finds
// no session left open: Wine, unlike Windows, accepts a second SymInitialize,
// so there the next trace alone would not show a leaked session.
TEST(StackTrace, AFailedStepEndsTheSessionAndTheNextTraceIsComplete) {
    SetStackTraceStepHook(FailOnce);
    std::wstring trace;
    EXPECT_THROW(RenderCurrentStackTrace(trace, 3), HResultError);
    EXPECT_TRUE(trace.empty());
    const auto cleanup = SystemFunction<BOOL(WINAPI*)(HANDLE)>(L"Dbghelp.dll", "SymCleanup");
    ASSERT_NE(nullptr, cleanup);
    EXPECT_FALSE(cleanup(::GetCurrentProcess()));
    RenderCurrentStackTrace(trace, 3);
    EXPECT_EQ(3u, FrameAddresses(trace).size()) << trace;
}

}  // namespace
}  // namespace pravel
