// Finds an installed MSIX/AppX package of the current user. Until package
// installation exists in this program the finder answers "not installed";
// tests and the package support replace it through SetPackageFinder.
#pragma once

#include <string>

namespace pravel {

class PackageFinder {
  public:
    virtual ~PackageFinder() = default;
    // The installed version of the package, or an empty text.
    virtual std::wstring FindVersion(const std::wstring& name, const std::wstring& architecture,
                                     const std::wstring& publisher) = 0;
};

PackageFinder& CurrentPackageFinder();
void SetPackageFinder(PackageFinder* finder);  // null restores the default

}  // namespace pravel
