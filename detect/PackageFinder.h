// Finds an installed MSIX/AppX package of the current user for the package
// search (type 13). The default finder asks the platform package manager
// (MsixFinder); tests may replace it through SetPackageFinder. The search
// itself calls it only on Windows 10 or later.
#pragma once

#include <string>

namespace pravel {

class PackageFinder {
  public:
    virtual ~PackageFinder() = default;
    // The installed version of the package, or an empty text. Never throws.
    virtual std::wstring FindVersion(const std::wstring& name, const std::wstring& architecture,
                                     const std::wstring& publisher) = 0;
};

PackageFinder& CurrentPackageFinder();
void SetPackageFinder(PackageFinder* finder);  // null restores the default

}  // namespace pravel
