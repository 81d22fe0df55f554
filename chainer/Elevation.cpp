#include "chainer/Elevation.h"

#include <shellapi.h>

#include "common/Handles.h"
#include "common/ProcessLaunch.h"
#include "common/Text.h"
#include "diag/Logger.h"
#include "ui/AppModule.h"

namespace pravel {

namespace {

// TokenElevation exists from Windows Vista on; before it there is no
// elevation to ask for.
Elevation QueryElevation() {
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put())) {
        return Elevation::kUnknown;
    }
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!::GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size)) {
        return Elevation::kUnknown;
    }
    return elevation.TokenIsElevated != 0 ? Elevation::kElevated : Elevation::kNotElevated;
}

// The prompt is Windows' own (consent.exe on the secure desktop), not one
// of the shell's error boxes, which SEE_MASK_FLAG_NO_UI leaves out. A
// refused prompt fails with ERROR_CANCELLED.
uint32_t RunElevated(const std::wstring& program, const std::wstring& folder, HWND owner,
                     uint32_t& exitCode) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.hwnd = owner;
    info.lpVerb = L"runas";
    info.lpFile = program.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&info)) return ::GetLastError();
    UniqueHandle process(info.hProcess);
    if (!process) return ERROR_INVALID_HANDLE;  // never for a program, which is no document
    if (!WaitWithMessagePump(process.Get())) return ::GetLastError();
    DWORD code = 0;
    if (!::GetExitCodeProcess(process.Get(), &code)) return ::GetLastError();
    exitCode = code;
    return 0;
}

const ElevationPlatform kWindows = {&QueryElevation, &RunElevated};
const ElevationPlatform* platform = &kWindows;

}  // namespace

void SetElevationPlatform(const ElevationPlatform* replacement) {
    platform = replacement != nullptr ? replacement : &kWindows;
}

const ElevationPlatform& WindowsElevation() {
    return kWindows;
}

ElevatedRun RunElevatedOnce(bool wanted, const std::wstring& programPath, HWND owner) {
    ElevatedRun run;
    if (!wanted) return run;
    switch (platform->query()) {
        case Elevation::kElevated:
            Log({"pravel runs with administrator rights (ElevateOnce): it installs in this run."});
            return run;
        case Elevation::kUnknown:
            Log(
                {"Whether pravel runs with administrator rights cannot be told (Windows without "
                 "elevation): it installs with the rights it has."});
            return run;
        case Elevation::kNotElevated:
            break;
    }
    if (!WindowStationVisible()) {
        Log(
            {"Administrator rights are asked for (ElevateOnce), but nobody can answer the prompt "
             "on this window station: the prerequisites are installed without them."});
        return run;
    }
    Log({"Asking for administrator rights (ElevateOnce): ", programPath,
         " starts again elevated, and this run waits for it."});
    uint32_t exitCode = 0;
    const uint32_t error =
        platform->runElevated(programPath, FolderOf(programPath), owner, exitCode);
    run.exitCode = static_cast<int32_t>(exitCode);
    if (error == 0) {
        run.outcome = ElevatedRun::kEnded;
        Log({"The elevated run ended with exit code ", ToDecimal(run.exitCode), "."});
        return run;
    }
    run.outcome = ElevatedRun::kRefused;
    run.exitCode = 1;
    if (error == ERROR_CANCELLED) {
        Log({"The request for administrator rights was refused: nothing was installed."});
    } else {
        Log({"pravel could not be started with administrator rights (error ", DecimalPiece(error),
             "): nothing was installed."});
    }
    return run;
}

}  // namespace pravel
