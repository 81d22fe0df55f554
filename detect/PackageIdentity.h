// The platform-free rules of the package search: the text of a package's
// processor architecture, the version text of a package version, and when an
// installed package matches the requested name, publisher and architecture.
#pragma once

#include <cstdint>
#include <string>

#include "detect/VersionNumber.h"

namespace pravel {

// What the package manager tells about one installed package.
struct PackageIdentity {
    std::wstring name;
    std::wstring publisher;
    int32_t architecture = 0;  // the platform's ProcessorArchitecture value
    uint16_t version[4] = {};  // major, minor, build, revision
};

// What a type 13 search asks for; publisher and architecture may be empty.
struct PackageCriteria {
    std::wstring name;
    std::wstring publisher;
    std::wstring architecture;
};

// "neutral" (11), "x64" (9), "x86" (0), "arm" (5), "arm64" (12); every other
// value has no text (empty).
std::wstring ArchitectureText(int32_t architecture);

// The version text of four parts: the parts from the major part up to the
// last one that is neither 0 nor 65535, at least major and minor, in decimal
// and separated by "."; "0.0.0.0" when every part is 0 or 65535.
// 1,2,3,4 -> "1.2.3.4"; 1,2,0,0 -> "1.2"; 5,0,0,0 -> "5.0"; 1,0,3,65535 -> "1.0.3".
std::wstring PackageVersionText(const VersionNumber& version);
VersionNumber PackageVersionNumber(const uint16_t (&parts)[4]);

// The name must be equal (case-sensitive); a non-empty publisher must be
// equal; a non-empty architecture must equal the package's architecture text
// (a package whose architecture has no text then never matches).
bool PackageMatches(const PackageCriteria& criteria, const PackageIdentity& package);

}  // namespace pravel
