// Finds the installed MSIX/AppX packages of the current user for the package
// search (type 13). The default finder asks the platform package manager
// (MsixFinder); tests may replace it through SetPackageFinder. The search
// itself calls it only on Windows 10 or later.
#pragma once

#include <string>
#include <vector>

namespace pravel {

class PackageFinder {
  public:
    virtual ~PackageFinder() = default;
    // The version texts of every installed package that matches, in the
    // platform's order (framework packages live side by side in several
    // versions); empty when none does. Never throws.
    virtual std::vector<std::wstring> FindVersions(const std::wstring& name,
                                                   const std::wstring& architecture,
                                                   const std::wstring& publisher) = 0;
};

PackageFinder& CurrentPackageFinder();
void SetPackageFinder(PackageFinder* finder);  // null restores the default

}  // namespace pravel
