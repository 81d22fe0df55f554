#include "launch/PackageFinder.h"

#include "launch/MsixFinder.h"

namespace pravel {

namespace {

class PlatformPackages : public PackageFinder {
  public:
    std::vector<std::wstring> FindVersions(const std::wstring& name,
                                           const std::wstring& architecture,
                                           const std::wstring& publisher) override {
        return MsixFinder().Find(name, publisher, architecture);
    }
};

PlatformPackages g_platform;
PackageFinder* g_finder = &g_platform;

}  // namespace

PackageFinder& CurrentPackageFinder() {
    return *g_finder;
}

void SetPackageFinder(PackageFinder* finder) {
    g_finder = finder != nullptr ? finder : &g_platform;
}

}  // namespace pravel
