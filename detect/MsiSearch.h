// Windows Installer searches. msi.dll is loaded on first use and its
// functions found by ordinal (70, 90, 205); without msi.dll every search
// is simply not found.
#pragma once

#include <string>
#include <vector>

namespace pravel {

// The product's "VersionString", when the product is known.
bool MsiProductVersion(const std::wstring& productCode, std::wstring& version);
// The VersionString of every product related to the upgrade code.
std::vector<std::wstring> MsiRelatedProductVersions(const std::wstring& upgradeCode);
// True when the component is installed locally (3) or runs from source (4).
bool MsiComponentInstalled(const std::wstring& componentCode);

}  // namespace pravel
