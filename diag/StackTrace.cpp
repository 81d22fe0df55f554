#include "diag/StackTrace.h"

#include <dbghelp.h>

#include <new>

#include "common/Handles.h"
#include "common/SystemLibrary.h"
#include "common/Text.h"
#include "diag/ExceptionText.h"

namespace pravel {

namespace {

using SymSetOptionsFn = DWORD(WINAPI*)(DWORD);
using SymInitializeFn = BOOL(WINAPI*)(HANDLE, PCSTR, BOOL);
using SymCleanupFn = BOOL(WINAPI*)(HANDLE);
using StackWalk64Fn = BOOL(WINAPI*)(DWORD, HANDLE, HANDLE, LPSTACKFRAME64, PVOID,
                                    PREAD_PROCESS_MEMORY_ROUTINE64,
                                    PFUNCTION_TABLE_ACCESS_ROUTINE64, PGET_MODULE_BASE_ROUTINE64,
                                    PTRANSLATE_ADDRESS_ROUTINE64);
using SymFromAddrFn = BOOL(WINAPI*)(HANDLE, DWORD64, PDWORD64, PSYMBOL_INFO);
using SymGetLineFromAddr64Fn = BOOL(WINAPI*)(HANDLE, DWORD64, PDWORD, PIMAGEHLP_LINE64);

constexpr wchar_t kDbgHelp[] = L"Dbghelp.dll";
// Undecorated names, deferred loads, line information, debug output.
constexpr DWORD kSymbolOptions = 0x80000016u;
constexpr int kNameLength = 2000;
constexpr size_t kLineLimit = 260;  // characters per frame line

#if defined(_M_X64) || defined(__x86_64__)
constexpr DWORD kMachine = IMAGE_FILE_MACHINE_AMD64;
#else
constexpr DWORD kMachine = IMAGE_FILE_MACHINE_I386;
#endif

struct SymbolApi {
    SymSetOptionsFn setOptions;
    SymInitializeFn initialize;
    SymCleanupFn cleanup;
    StackWalk64Fn stackWalk;
    PFUNCTION_TABLE_ACCESS_ROUTINE64 functionTableAccess;
    PGET_MODULE_BASE_ROUTINE64 moduleBase;
    SymFromAddrFn fromAddr;
    SymGetLineFromAddr64Fn lineFromAddr;

    bool Complete() const {
        return setOptions && initialize && cleanup && stackWalk && functionTableAccess &&
               moduleBase && fromAddr;
    }
};

// The lock of every walk; a function-local static is initialised thread-safely.
CRITICAL_SECTION& WalkLock() {
    struct Lock {
        Lock() { ::InitializeCriticalSection(&section); }
        CRITICAL_SECTION section;
    };
    static Lock lock;
    return lock.section;
}

// Looked up once per process (under the walk lock).
const SymbolApi& Api() {
    static const SymbolApi api = {
        SystemFunction<SymSetOptionsFn>(kDbgHelp, "SymSetOptions"),
        SystemFunction<SymInitializeFn>(kDbgHelp, "SymInitialize"),
        SystemFunction<SymCleanupFn>(kDbgHelp, "SymCleanup"),
        SystemFunction<StackWalk64Fn>(kDbgHelp, "StackWalk64"),
        SystemFunction<PFUNCTION_TABLE_ACCESS_ROUTINE64>(kDbgHelp, "SymFunctionTableAccess64"),
        SystemFunction<PGET_MODULE_BASE_ROUTINE64>(kDbgHelp, "SymGetModuleBase64"),
        SystemFunction<SymFromAddrFn>(kDbgHelp, "SymFromAddr"),
        SystemFunction<SymGetLineFromAddr64Fn>(kDbgHelp, "SymGetLineFromAddr64"),
    };
    return api;
}

// The symbol handler's session for the process (SymInitialize done): the
// owner ends it with SymCleanup, however the walk ends.
struct SymbolSessionTraits {
    using Type = HANDLE;
    static Type Empty() { return nullptr; }
    static void Close(Type process) { Api().cleanup(process); }
};

void (*g_stepHook)() = nullptr;

void StartFrame(STACKFRAME64& frame, const CONTEXT& context) {
    ZeroMemory(&frame, sizeof(frame));
#if defined(_M_X64) || defined(__x86_64__)
    frame.AddrPC.Offset = context.Rip;
    frame.AddrFrame.Offset = context.Rbp;
    frame.AddrStack.Offset = context.Rsp;
#else
    frame.AddrPC.Offset = context.Eip;
    frame.AddrFrame.Offset = context.Ebp;
    frame.AddrStack.Offset = context.Esp;
#endif
    frame.AddrPC.Mode = AddrModeFlat;
    frame.AddrFrame.Mode = AddrModeFlat;
    frame.AddrStack.Mode = AddrModeFlat;
}

std::wstring DescribeFrame(const SymbolApi& api, HANDLE process, DWORD64 pc) {
    if (g_stepHook != nullptr) g_stepHook();
    union {
        SYMBOL_INFO info;
        char bytes[sizeof(SYMBOL_INFO) + kNameLength];
    } symbol;
    ZeroMemory(&symbol, sizeof(symbol));
    symbol.info.SizeOfStruct = sizeof(SYMBOL_INFO);
    symbol.info.MaxNameLen = kNameLength - 1;
    DWORD64 displacement = 0;
    const char* name =
        api.fromAddr(process, pc, &displacement, &symbol.info) ? symbol.info.Name : nullptr;
    IMAGEHLP_LINE64 line;
    ZeroMemory(&line, sizeof(line));
    line.SizeOfStruct = sizeof(line);
    DWORD lineDisplacement = 0;
    const bool hasLine = api.lineFromAddr != nullptr &&
                         api.lineFromAddr(process, pc, &lineDisplacement, &line) &&
                         line.FileName != nullptr;
    std::wstring text = FrameLine(pc, name, hasLine ? line.FileName : nullptr,
                                  hasLine ? static_cast<long>(line.LineNumber) : 0);
    if (text.size() > kLineLimit) {
        text.resize(kLineLimit - 2);
        text += L"\r\n";
    }
    return text;
}

// For a program counter in no module: pops the return address like the
// "ret" the frame never reached. False when the counter lies in a module.
bool StepOutOfStrayFrame(const SymbolApi& api, HANDLE process, CONTEXT& context) {
    auto& pc = ContextPc(context);
    auto& sp = ContextSp(context);
    if (api.moduleBase(process, pc) != 0) return false;
    uintptr_t returnAddress = 0;
    SIZE_T read = 0;
    if (!::ReadProcessMemory(process, reinterpret_cast<const void*>(static_cast<uintptr_t>(sp)),
                             &returnAddress, sizeof(returnAddress), &read) ||
        read != sizeof(returnAddress) || returnAddress == 0) {
        return false;
    }
    pc = returnAddress;
    sp += sizeof(returnAddress);
    return true;
}

}  // namespace

void RenderStackTrace(std::wstring& output, const CONTEXT* context, int maxFrames) {
    if (context == nullptr) return;
    struct Held {
        explicit Held(CRITICAL_SECTION& section) : lock(section) { ::EnterCriticalSection(&lock); }
        ~Held() { ::LeaveCriticalSection(&lock); }
        CRITICAL_SECTION& lock;
    } held(WalkLock());
    const SymbolApi& api = Api();
    const HANDLE process = ::GetCurrentProcess();
    if (api.Complete()) {
        CONTEXT copy = *context;
        api.setOptions(kSymbolOptions);
        const UniqueOwner<SymbolSessionTraits> session(
            api.initialize(process, nullptr, TRUE) ? process : nullptr);
        if (!session) return;
        try {
            STACKFRAME64 frame;
            StartFrame(frame, copy);
            std::wstring text = kStackTraceHeader;
            int count = 0;
            // A first frame outside every module (a call into data or to a
            // bad address) is listed, and the walk goes on from the return
            // address its caller pushed.
            if (maxFrames > 0 && StepOutOfStrayFrame(api, process, copy)) {
                text += DescribeFrame(api, process, frame.AddrPC.Offset);
                if (++count == maxFrames) AppendPieces(text, {kMoreFramesLine});
                StartFrame(frame, copy);
            }
            while (count < maxFrames) {
                if (!api.stackWalk(kMachine, process, ::GetCurrentThread(), &frame, &copy, nullptr,
                                   api.functionTableAccess, api.moduleBase, nullptr) ||
                    frame.AddrPC.Offset == 0) {
                    break;
                }
                text += DescribeFrame(api, process, frame.AddrPC.Offset);
                if (++count == maxFrames) AppendPieces(text, {kMoreFramesLine});
            }
            text += ModuleBaseLine(reinterpret_cast<uintptr_t>(::GetModuleHandleW(nullptr)));
            output += text;
        } catch (const std::bad_alloc&) {
            // The trace is shortened to nothing; the caller goes on.
        }
    }
}

void SetStackTraceStepHook(void (*hook)()) {
    g_stepHook = hook;
}

__attribute__((noinline)) void RenderCurrentStackTrace(std::wstring& output, int maxFrames) {
    CONTEXT context;
    ZeroMemory(&context, sizeof(context));
    context.ContextFlags = CONTEXT_FULL;
    ::RtlCaptureContext(&context);
    RenderStackTrace(output, &context, maxFrames);
}

}  // namespace pravel
