#include "detect/PackageIdentity.h"

#include <gtest/gtest.h>

using namespace pravel;

namespace {

std::wstring Text(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
    const uint16_t parts[4] = {a, b, c, d};
    return PackageVersionText(PackageVersionNumber(parts));
}

PackageIdentity Package(const std::wstring& name, const std::wstring& publisher,
                        int32_t architecture) {
    PackageIdentity package;
    package.name = name;
    package.publisher = publisher;
    package.architecture = architecture;
    return package;
}

}  // namespace

TEST(PackageVersionText, PrintsUpToTheLastMeaningfulPartButAtLeastTwo) {
    EXPECT_EQ(L"1.2.3.4", Text(1, 2, 3, 4));
    EXPECT_EQ(L"1.2", Text(1, 2, 0, 0));
    EXPECT_EQ(L"5.0", Text(5, 0, 0, 0));
    EXPECT_EQ(L"10.0", Text(10, 0, 0, 0));
    EXPECT_EQ(L"1.0.3", Text(1, 0, 3, 65535));
    EXPECT_EQ(L"0.0.0.0", Text(0, 0, 0, 0));
    EXPECT_EQ(L"0.0.0.0", Text(65535, 65535, 0, 65535));
    EXPECT_EQ(L"0.0.0.7", Text(0, 0, 0, 7));
    EXPECT_EQ(L"0.3", Text(0, 3, 0, 0));
    EXPECT_EQ(L"1.65535.2", Text(1, 65535, 2, 0));  // only trailing parts are dropped
    EXPECT_EQ(L"65534.0", Text(65534, 0, 0, 0));
}

TEST(PackageVersionText, IsReadBackAsTheSameVersion) {
    const uint16_t parts[4] = {2, 0, 7, 0};
    const VersionNumber version = PackageVersionNumber(parts);
    EXPECT_EQ(4, version.count);
    EXPECT_EQ(0, VersionNumber::Parse(PackageVersionText(version)).Compare(version));
}

TEST(ArchitectureText, KnowsFiveValues) {
    EXPECT_EQ(L"neutral", ArchitectureText(11));
    EXPECT_EQ(L"x64", ArchitectureText(9));
    EXPECT_EQ(L"x86", ArchitectureText(0));
    EXPECT_EQ(L"arm", ArchitectureText(5));
    EXPECT_EQ(L"arm64", ArchitectureText(12));
    for (int32_t other : {1, 6, 10, 14, 65535, -1}) EXPECT_EQ(L"", ArchitectureText(other));
}

TEST(PackageMatches, NameIsExactPublisherAndArchitectureOnlyWhenGiven) {
    const PackageIdentity x64 = Package(L"Contoso.Tool", L"CN=Contoso", 9);
    EXPECT_TRUE(PackageMatches({L"Contoso.Tool", L"", L""}, x64));
    EXPECT_FALSE(PackageMatches({L"contoso.tool", L"", L""}, x64));
    EXPECT_FALSE(PackageMatches({L"Contoso.Too", L"", L""}, x64));
    EXPECT_TRUE(PackageMatches({L"Contoso.Tool", L"CN=Contoso", L""}, x64));
    EXPECT_FALSE(PackageMatches({L"Contoso.Tool", L"CN=contoso", L""}, x64));
    EXPECT_TRUE(PackageMatches({L"Contoso.Tool", L"", L"x64"}, x64));
    EXPECT_FALSE(PackageMatches({L"Contoso.Tool", L"", L"X64"}, x64));
    EXPECT_FALSE(PackageMatches({L"Contoso.Tool", L"", L"neutral"}, x64));
    EXPECT_TRUE(PackageMatches({L"Contoso.Tool", L"CN=Contoso", L"x64"}, x64));
}

TEST(PackageMatches, NeutralIsNotAnyArchitecture) {
    const PackageIdentity neutral = Package(L"P", L"", 11);
    EXPECT_TRUE(PackageMatches({L"P", L"", L"neutral"}, neutral));
    EXPECT_FALSE(PackageMatches({L"P", L"", L"x64"}, neutral));
    EXPECT_FALSE(PackageMatches({L"P", L"", L"x86"}, neutral));
}

TEST(PackageMatches, AnArchitectureWithoutTextMatchesOnlyWhenNoneIsAsked) {
    const PackageIdentity unknown = Package(L"P", L"", 14);
    EXPECT_TRUE(PackageMatches({L"P", L"", L""}, unknown));
    EXPECT_FALSE(PackageMatches({L"P", L"", L"x86"}, unknown));
    EXPECT_FALSE(PackageMatches({L"P", L"", L"14"}, unknown));
}
