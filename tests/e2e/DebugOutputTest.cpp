// What the logger sends to the debugger output, read by running pravel.exe
// under this test as its debugger.
#include "e2e/PravelRun.h"

using namespace e2e;

namespace {

// Runs `exe` as a debuggee and returns its debugger-output strings.
std::vector<std::wstring> DebugStrings(const std::wstring& exe) {
    std::vector<std::wstring> strings;
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    const std::wstring folder = exe.substr(0, exe.rfind(L'\\'));
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                        DEBUG_ONLY_THIS_PROCESS, nullptr, folder.c_str(), &startup, &info)) {
        ADD_FAILURE() << "cannot start " << Narrow(exe) << " under the debugger";
        return strings;
    }
    const DWORD deadline = GetTickCount() + 60000;
    bool running = true;
    while (running && GetTickCount() < deadline) {
        DEBUG_EVENT event;
        if (!WaitForDebugEvent(&event, 1000)) continue;
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
            case OUTPUT_DEBUG_STRING_EVENT: {
                const OUTPUT_DEBUG_STRING_INFO& out = event.u.DebugString;
                std::vector<char> bytes(out.nDebugStringLength * (out.fUnicode ? 2 : 1) + 2, 0);
                SIZE_T read = 0;
                ReadProcessMemory(info.hProcess, out.lpDebugStringData, bytes.data(),
                                  bytes.size() - 2, &read);
                if (out.fUnicode) {
                    strings.emplace_back(reinterpret_cast<const wchar_t*>(bytes.data()));
                } else {
                    std::wstring text;
                    for (const char* p = bytes.data(); *p; ++p)
                        text.push_back(static_cast<unsigned char>(*p));
                    strings.push_back(text);
                }
                break;
            }
            case EXCEPTION_DEBUG_EVENT:
                if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
                    status = DBG_EXCEPTION_NOT_HANDLED;
                }
                break;
            case CREATE_PROCESS_DEBUG_EVENT:
                CloseHandle(event.u.CreateProcessInfo.hFile);
                break;
            case LOAD_DLL_DEBUG_EVENT:
                CloseHandle(event.u.LoadDll.hFile);
                break;
            case EXIT_PROCESS_DEBUG_EVENT:
                running = false;
                break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    }
    EXPECT_FALSE(running) << "the debuggee did not end";
    if (running) TerminateProcess(info.hProcess, 99);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return strings;
}

}  // namespace

TEST(DebugOutput, LoggerReportsItsFileToTheDebugger) {
    Installation inst(L"dbgout", L"dbgout.exe");
    const std::wstring log = inst.Dir() / L"run.log";
    inst.WriteIni(IniWithLog(log));
    std::vector<std::wstring> strings = DebugStrings(inst.Exe());
    EXPECT_TRUE(AnyStartsWith(strings, L"Logger::SetLogFile( " + log + L" ) while OLD path is:"));
    EXPECT_TRUE(AnyStartsWith(strings, L"LOGGER->Creating LOG file at:" + log));
    inst.WriteIni(IniWithLog(log));  // a run with [PREREQ_CHAINER] deletes its configuration
    strings = DebugStrings(inst.Exe());
    EXPECT_TRUE(AnyStartsWith(strings, L"LOGGER->Reusing LOG file at:" + log));
}

TEST(DebugOutput, FailedLocationIsReportedBeforeTheFallBack) {
    Installation inst(L"dbgfail", L"dbgfail.exe");
    const std::wstring log = inst.Dir() / L"missing\\run.log";
    inst.WriteIni(IniWithLog(log));
    const std::vector<std::wstring> strings = DebugStrings(inst.Exe());
    EXPECT_TRUE(AnyStartsWith(strings, L"LOGGER->failed to create LOG at:" + log));
    DeleteFileW((CommonAppData() + L"\\QUILLON_LOGS\\dbgfail.LOG").c_str());
}

TEST(DebugOutput, NoLogFileMeansNoLoggerOutput) {
    Installation inst(L"dbgnone", L"dbgnone.exe");
    inst.WriteIni(L"[PREREQUISITES]\r\nApp1=A\r\n[App1]\r\nSetupFile=a.exe\r\n");
    const std::vector<std::wstring> strings = DebugStrings(inst.Exe());
    EXPECT_FALSE(AnyStartsWith(strings, L"Logger::"));
    EXPECT_FALSE(AnyStartsWith(strings, L"LOGGER->"));
}
