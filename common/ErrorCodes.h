// Numeric codes shared by the whole program: exit codes, HRESULTs that the
// program throws itself, and the download statuses. Every value is explicit
// because callers, logs and installers outside the program rely on them.
#pragma once

#include <cstdint>

namespace pravel {

// Process exit codes of pravel.
enum ExitCode : int32_t {
    kExitSuccess = 0,           // nothing to install, or everything needed is present
    kExitMandatoryMissing = 1,  // a mandatory prerequisite is missing, or the run was not started
    kExitRebootPending = -1,    // a reboot is pending
};

// HRESULTs carried by HResultError.
constexpr int32_t kHrFail = static_cast<int32_t>(0x80004005u);         // E_FAIL
constexpr int32_t kHrInvalidArg = static_cast<int32_t>(0x80070057u);   // E_INVALIDARG
constexpr int32_t kHrOutOfMemory = static_cast<int32_t>(0x8007000Eu);  // E_OUTOFMEMORY
constexpr int32_t kHrBounds = static_cast<int32_t>(0x8000000Bu);       // index outside an array

// Turns a Win32 error into an HRESULT the way HRESULT_FROM_WIN32 does.
constexpr int32_t HResultFromWin32(uint32_t error) {
    return error == 0 || (error & 0x80000000u) != 0
               ? static_cast<int32_t>(error)
               : static_cast<int32_t>((error & 0x0000FFFFu) | 0x80070000u);
}

// Windows Installer style results of the download and installation steps.
constexpr uint32_t kInstallSuccess = 0;
constexpr uint32_t kInstallUserExit = 1602;
constexpr uint32_t kInstallFailure = 1603;
constexpr uint32_t kFunctionFailed = 1627;  // ERROR_FUNCTION_FAILED
constexpr uint32_t kSuccessRebootRequired = 3010;
constexpr uint32_t kErrorRetry = 1237;  // ERROR_RETRY: credentials were supplied, try again

// Reported to the progress window by the installation step.
constexpr uint32_t kErrorMandatoryFailed = 0xE0000024u;  // a mandatory prerequisite failed
constexpr uint32_t kErrorRebootNeeded = 0xE0000025u;     // a restart was started or is needed

}  // namespace pravel

namespace pravel {

// Exit codes of the configuration checker, pravel-check.
enum CheckerExitCode : int32_t {
    kCheckClean = 0,          // no findings
    kCheckFoundWarnings = 1,  // warnings only
    kCheckFoundErrors = 2,    // at least one error (or the file could not be read)
};

// Download statuses: 32-bit codes above the Win32 range, returned by the
// Downloader like Win32 and WinINet errors.
constexpr uint32_t DLERR_BAD_TARGET = 0xE0000005u;         // the target path is not absolute
constexpr uint32_t DLERR_CANCELLED = 0xE0000008u;          // the user cancelled
constexpr uint32_t DLERR_INCOMPLETE = 0xE000000Fu;         // the source ended early
constexpr uint32_t DLERR_OFFSET_BEYOND_END = 0xE0000010u;  // the resume offset lies past the end
constexpr uint32_t DLERR_AUTH_REQUIRED = 0xE0000012u;      // 401/407 without usable credentials
constexpr uint32_t DLERR_NOT_MODIFIED = 0xE0000013u;       // HTTP 304
constexpr uint32_t DLERR_FORBIDDEN = 0xE0000016u;          // HTTP 403
constexpr uint32_t DLERR_NOT_FOUND = 0xE0000018u;          // HTTP 404 and 410
constexpr uint32_t DLERR_REJECTED = 0xE0000022u;           // the downloaded file failed acceptance
constexpr uint32_t DLERR_SIZE_MISMATCH = 0xE0000023u;      // announced size differs from ExactSize
constexpr uint32_t DLERR_MANDATORY_FAILED = 0xE0000024u;   // a mandatory download failed
// The server answered with an error status (5xx, a 4xx without a status of
// its own, 416, an unfollowed 3xx): nothing is saved as the file.
constexpr uint32_t DLERR_HTTP_ERROR_STATUS = 0xE0000026u;
// An HTTPS download was redirected to plain HTTP: nothing of that answer is
// used.
constexpr uint32_t DLERR_INSECURE_REDIRECT = 0xE0000027u;
// The download did not complete within its time limit (max(DownloadTime,
// size / DownloadMinRate), see download/TransferText.h): the ".part" file is
// kept for the next run.
constexpr uint32_t DLERR_TIME_LIMIT = 0xE0000028u;
// The server's answer cannot be part of the file (204, an empty answer, a
// partial answer without its range or total, a multipart answer): nothing
// of it is saved; the request is tried again like a broken connection.
constexpr uint32_t DLERR_UNUSABLE_ANSWER = 0xE0000029u;

}  // namespace pravel

namespace pravel {

// The code that every program exception (Exception, SehException) carries.
constexpr uint32_t kProgramExceptionCode = 0xE0010064u;
// Exit code of a process ended by the last-chance report when the fault
// record gives no code of its own.
constexpr uint32_t kExitUnhandledFault = 0xE0010064u;

}  // namespace pravel
