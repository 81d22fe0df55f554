#include "launch/InstallerLauncher.h"

#include <windows.h>

#include "common/ErrorCodes.h"
#include "common/Handles.h"
#include "common/HResultError.h"
#include "common/PathForms.h"
#include "common/ProcessLaunch.h"
#include "common/TempFolder.h"
#include "common/Text.h"
#include "detect/ReferenceExpansion.h"
#include "diag/Logger.h"
#include "launch/PackageInstaller.h"
#include "launch/QuietSwitch.h"
#include "launch/StartCommand.h"

namespace pravel {

namespace {

constexpr DWORD kPauseAfterRebootOrCrashMs = 2000;

// The listener's name in the thread's ANSI code page.
std::string ToThreadAnsi(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size =
        ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                              nullptr, 0, nullptr, nullptr);
    if (size <= 0) ThrowHr(kHrFail);
    std::string narrow(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), static_cast<int>(text.size()), &narrow[0],
                          size, nullptr, nullptr);
    return narrow;
}

// The normalised final path of an .msi file (a link resolved to its target);
// the path as given when the file cannot be opened or the platform lacks
// GetFinalPathNameByHandleW (looked up at run time: Windows XP has none).
std::wstring FinalPathOf(const std::wstring& path) {
    using FinalPathFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
    static const auto finalPath = reinterpret_cast<FinalPathFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
    if (finalPath == nullptr) return path;
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return path;
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length =
        finalPath(file.Get(), buffer, MAX_PATH, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= MAX_PATH) return path;
    return std::wstring(buffer, length);
}

bool IsSuccess(uint32_t code) {
    return code == kInstallSuccess || code == kSuccessRebootRequired;
}

}  // namespace

LaunchItem& InstallerLauncher::Item(int32_t index) {
    if (index < 0 || index >= Count()) ThrowHr(kHrBounds);
    return items_[static_cast<size_t>(index)];
}

bool InstallerLauncher::StartAsLocalSystem(LaunchItem& item) {
    const std::wstring arguments = WithLeadingBlank(ExpandReferences(item.arguments, false));
    if (IsMsiFile(item.filePath)) {
        const std::wstring command = MsiexecCommandLine(FinalPathOf(item.filePath), arguments);
        return CreateProcessAndWait(SystemProgramPath(L"msiexec.exe"), command,
                                    NORMAL_PRIORITY_CLASS, &item.returnCode);
    }
    return CreateProcessAndWait(item.filePath, DirectCommandLine(item.filePath, arguments),
                                NORMAL_PRIORITY_CLASS, &item.returnCode);
}

bool InstallerLauncher::StartThroughShell(LaunchItem& item, bool hidden) {
    bool noProcess = false;
    const bool started = ShellExecuteAndWait(item.filePath, item.arguments, std::wstring(), hidden,
                                             &item.returnCode, &noProcess);
    if (noProcess) {
        Log({"The setup file was handed to a running program; there is no process to wait for:",
             item.filePath});
    }
    return started;
}

bool InstallerLauncher::Launch(int32_t index) {
    LaunchItem& item = Item(index);
    Log({"Launching file:", item.filePath});
    const bool package = IsPackageFile(item.filePath);
    if (logEnabled && !package) {  // packages take no command line
        Log({"Command line as configured:", RedactCommandLine(item.arguments)});
    }
    const bool hidden = HasQuietSwitch(item.arguments);
    // Every start sets its own code; nothing from an earlier launch remains.
    item.returnCode = kFunctionFailed;

    bool started = false;
    if (package) {
        item.returnCode =
            InstallPackageFile(LongPathForm(item.filePath)) ? kInstallSuccess : kFunctionFailed;
        started = item.returnCode == kInstallSuccess;
    } else if (RunsAsLocalSystem()) {
        started = StartAsLocalSystem(item);
    } else {
        started = StartThroughShell(item, hidden);
    }

    const uint32_t code = item.returnCode;
    if (!started) {
        lastLaunchError_ = code;
        Log({"Launch failed. Error:", FormatSystemMessage(code)});
    }
    Log({"Return code of launched file:", DecimalPiece(code)});
    if (listener_ != nullptr) listener_->LaunchFinished(ToThreadAnsi(item.listenerName), code);
    if (code == kSuccessRebootRequired || (code & 0xC0000000u) == 0xC0000000u) {
        ::Sleep(kPauseAfterRebootOrCrashMs);
    }
    return IsSuccess(code);
}

}  // namespace pravel
