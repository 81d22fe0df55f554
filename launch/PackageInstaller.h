// Installs one MSIX/AppX package through the platform package manager. The
// installer launcher hands package files (.msix, .msixbundle, .appx) here.
// Until the package support is built in, the default installer answers false
// (the launch then fails with 1627); tests replace it through
// SetPackageInstaller.
#pragma once

#include <string>

namespace pravel {

class PackageInstaller {
  public:
    virtual ~PackageInstaller() = default;
    // Installs the package at `path` (a full path); true when the platform
    // reports the deployment as completed. Never throws.
    virtual bool Install(const std::wstring& path) = 0;
};

PackageInstaller& CurrentPackageInstaller();

// The installer launcher's package step: runs CurrentPackageInstaller().Install
// for `path` (already in its long-path form where needed) and answers its
// result. Throws HResultError when the thread it needs cannot be created.
bool InstallPackageFile(const std::wstring& path);
void SetPackageInstaller(PackageInstaller* installer);  // null restores the default

}  // namespace pravel
