// Installs one MSIX/AppX package through the platform package manager. The
// installer launcher hands package files (.msix, .msixbundle, .appx) here.
// The default installer adds the package through the Windows Runtime package
// manager; tests replace it through SetPackageInstaller.
#pragma once

#include <string>

namespace pravel {

class PackageInstaller {
  public:
    virtual ~PackageInstaller() = default;
    // Installs the package at `path` (a full path); true when the platform
    // reports the deployment as completed. Runs on a thread that has entered
    // the multithreaded COM apartment. Never throws.
    virtual bool Install(const std::wstring& path) = 0;
};

PackageInstaller& CurrentPackageInstaller();

// The installer launcher's package step: runs CurrentPackageInstaller().Install
// for `path` (already in its long-path form where needed) and answers its
// result. The work runs on a dedicated thread, which in turn runs the
// installation on one more thread that enters the multithreaded apartment
// (CoInitializeEx with COINIT_MULTITHREADED); each waits for the one it
// started. A failed COM initialisation, and anything thrown inside, give
// false. Throws HResultError (the Win32 error of CreateThread) when either
// thread cannot be created.
bool InstallPackageFile(const std::wstring& path);
void SetPackageInstaller(PackageInstaller* installer);  // null restores the default

}  // namespace pravel
