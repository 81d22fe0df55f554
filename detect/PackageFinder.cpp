#include "detect/PackageFinder.h"

namespace pravel {

namespace {

class NoPackages : public PackageFinder {
  public:
    std::wstring FindVersion(const std::wstring&, const std::wstring&,
                             const std::wstring&) override {
        return std::wstring();
    }
};

NoPackages g_noPackages;
PackageFinder* g_finder = &g_noPackages;

}  // namespace

PackageFinder& CurrentPackageFinder() {
    return *g_finder;
}

void SetPackageFinder(PackageFinder* finder) {
    g_finder = finder != nullptr ? finder : &g_noPackages;
}

}  // namespace pravel
