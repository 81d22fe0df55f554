#include "launch/PackageInstaller.h"

#include <windows.h>
#include <objbase.h>

#include "common/HResultError.h"
#include "common/Text.h"
#include "common/WorkerThread.h"
#include "diag/FaultTranslation.h"
#include "diag/Logger.h"
#include "launch/PackageManager.h"

namespace pravel {

namespace {

class PlatformPackageInstaller : public PackageInstaller {
  public:
    bool Install(const std::wstring& path) override { return DeployPackage(path); }
};

PlatformPackageInstaller g_platform;
PackageInstaller* g_installer = &g_platform;

void LogQuietly(std::initializer_list<TextPiece> pieces) noexcept {
    try {
        Log(pieces);
    } catch (...) {
    }
}

// What the two threads share with the caller: the path (read) and the
// results (written before each thread ends, read after the wait).
struct PackageJob {
    const std::wstring* path = nullptr;
    bool installed = false;
    DWORD threadError = 0;  // the inner thread could not be created
};

// The installation thread: enters the multithreaded apartment and installs.
void InstallInApartment(PackageJob& job) noexcept {
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hr)) {
        LogQuietly({"Package installation: COM initialisation failed:", HResultPiece(hr)});
        return;
    }
    InstallExceptionTranslation();
    try {
        job.installed = CurrentPackageInstaller().Install(*job.path);
    } catch (...) {
        job.installed = false;
    }
    ::CoUninitialize();
}

// The dedicated package thread.
void RunPackageThread(PackageJob& job) noexcept {
    // Faults on this thread become exceptions, first thing on the thread.
    InstallExceptionTranslation();
    try {
        auto inner = [&job]() noexcept { InstallInApartment(job); };
        DWORD error = 0;
        if (!RunOnNewThread(inner, error)) job.threadError = error;
    } catch (...) {
        job.installed = false;
    }
}

}  // namespace

PackageInstaller& CurrentPackageInstaller() {
    return *g_installer;
}

bool InstallPackageFile(const std::wstring& path) {
    PackageJob job;
    job.path = &path;
    auto outer = [&job]() noexcept { RunPackageThread(job); };
    DWORD error = 0;
    if (!RunOnNewThread(outer, error)) job.threadError = error;
    if (job.threadError != 0) {
        Log({"Package installation: a thread could not be created:",
             DecimalPiece(job.threadError)});
        ThrowWin32(job.threadError);
    }
    return job.installed;
}

void SetPackageInstaller(PackageInstaller* installer) {
    g_installer = installer != nullptr ? installer : &g_platform;
}

}  // namespace pravel
