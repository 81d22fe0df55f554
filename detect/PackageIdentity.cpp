#include "detect/PackageIdentity.h"

#include "common/Text.h"

namespace pravel {

namespace {

struct ArchitectureName {
    int32_t value;
    const char* text;
};

constexpr ArchitectureName kArchitectures[] = {
    {11, "neutral"}, {9, "x64"}, {0, "x86"}, {5, "arm"}, {12, "arm64"},
};

bool IsEmptyPart(int32_t part) {
    return part == 0 || part == 65535;
}

}  // namespace

std::wstring ArchitectureText(int32_t architecture) {
    for (const ArchitectureName& entry : kArchitectures) {
        if (entry.value == architecture) return WideFromAscii(entry.text);
    }
    return std::wstring();
}

std::wstring PackageVersionText(const VersionNumber& version) {
    int last = 3;
    while (last >= 0 && IsEmptyPart(version.parts[last])) --last;
    if (last < 0) return L"0.0.0.0";
    if (last < 1) last = 1;
    std::wstring text;
    for (int i = 0; i <= last; ++i) {
        if (i > 0) text += L'.';
        text += ToDecimal(version.parts[i]);
    }
    return text;
}

VersionNumber PackageVersionNumber(const uint16_t (&parts)[4]) {
    VersionNumber version;
    for (int i = 0; i < 4; ++i) version.parts[i] = parts[i];
    version.count = 4;
    return version;
}

bool PackageMatches(const PackageCriteria& criteria, const PackageIdentity& package) {
    if (package.name != criteria.name) return false;
    if (!criteria.publisher.empty() && package.publisher != criteria.publisher) return false;
    if (!criteria.architecture.empty()) {
        const std::wstring text = ArchitectureText(package.architecture);
        if (text.empty() || text != criteria.architecture) return false;
    }
    return true;
}

}  // namespace pravel
