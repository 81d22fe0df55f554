#include "launch/PackageInstaller.h"

namespace pravel {

namespace {

class NoPackageInstaller : public PackageInstaller {
  public:
    bool Install(const std::wstring&) override { return false; }
};

NoPackageInstaller g_none;
PackageInstaller* g_installer = &g_none;

}  // namespace

PackageInstaller& CurrentPackageInstaller() {
    return *g_installer;
}

bool InstallPackageFile(const std::wstring& path) {
    return CurrentPackageInstaller().Install(path);
}

void SetPackageInstaller(PackageInstaller* installer) {
    g_installer = installer != nullptr ? installer : &g_none;
}

}  // namespace pravel
