// File searches and file versions on the Wine file system.
#include <shlobj.h>

#include "common/Wow64.h"
#include "detect/FileSearch.h"
#include "detect/FileVersion.h"
#include "detect/SearchTestSupport.h"
#include "support/WinTestSupport.h"

using namespace pravel;
using namespace search_test;
using namespace testing_support;

namespace {

std::wstring VersionedDll() {
    return PathFromEnvironment("FIXTURE_VERSIONED_DLL");
}
std::wstring PlainDll() {
    return PathFromEnvironment("FIXTURE_PLAIN_DLL");
}

class FileSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const wchar_t* sub : {L"a", L"a\\b", L"a\\b\\c", L"z"}) {
            CreateDirectoryW((tree_ / sub).c_str(), nullptr);
        }
        ASSERT_TRUE(CopyFileW(VersionedDll().c_str(), (tree_ / L"a\\b\\app.dll").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(PlainDll().c_str(), (tree_ / L"z\\plain.dll").c_str(), FALSE));
    }
    ScratchDir tree_{L"filesearch"};
};

}  // namespace

TEST_F(FileSearch, DirectPathReportsTheFileVersion) {
    Outcome o = RunSearch(kSearchFile, tree_ / L"a\\b\\app.dll", L"1.2.3.4", L"1.2.3.4");
    EXPECT_TRUE(o.found);
    EXPECT_EQ(std::vector<std::wstring>{L"1.2.3.4"}, o.values);
    EXPECT_EQ(L"read \"1.2.3.4\" (accepted); VerMin=1.2.3.4, VerMax=1.2.3.4: found", o.line);
    o = RunSearch(kSearchFile, tree_ / L"a\\b\\app.dll", L"1.2.3.5");
    EXPECT_FALSE(o.found);
    EXPECT_EQ(L"read \"1.2.3.4\" (below VerMin); VerMin=1.2.3.5, VerMax=: not found", o.line);
    EXPECT_EQ(L"nothing read: not found", RunSearch(kSearchFile, tree_ / L"missing.dll").line);
}

TEST_F(FileSearch, FileWithoutVersionIsZeroAndFoundOnlyWithoutBounds) {
    Outcome o = RunSearch(kSearchFile, tree_ / L"z\\plain.dll");
    EXPECT_TRUE(o.found);
    EXPECT_EQ(std::vector<std::wstring>{L"0.0.0.0"}, o.values);
    EXPECT_EQ(L"read \"0.0.0.0\"; no VerMin or VerMax: any value counts: found", o.line);
    o = RunSearch(kSearchFile, tree_ / L"z\\plain.dll", L"0.1");
    EXPECT_FALSE(o.found);
    EXPECT_EQ(L"read \"0.0.0.0\" (no version); VerMin=0.1, VerMax=: not found", o.line);
}

TEST_F(FileSearch, DepthCountsSubfolderLevels) {
    EXPECT_FALSE(RunSearch(kSearchFile, tree_ / L"app.dll").found);
    EXPECT_FALSE(RunSearch(kSearchFile, tree_ / L"app.dll?1").found);
    EXPECT_TRUE(RunSearch(kSearchFile, tree_ / L"app.dll?2").found);
    EXPECT_TRUE(RunSearch(kSearchFile, tree_ / L"app.dll?9").found);
    EXPECT_FALSE(RunSearch(kSearchFile, tree_ / L"missing.dll?3").found);
}

TEST_F(FileSearch, WildcardNameIsReadFromTheFileItMatched) {
    Outcome o = RunSearch(kSearchFile, tree_ / L"a\\app*.dll?1", L"1.2");
    EXPECT_TRUE(o.found);
    EXPECT_EQ(std::vector<std::wstring>{L"1.2.3.4"}, o.values);
    EXPECT_EQ(L"read \"1.2.3.4\" from " + (tree_ / L"a\\b\\app.dll") +
                  L" (accepted); VerMin=1.2, VerMax=: found",
              o.line);
    EXPECT_FALSE(RunSearch(kSearchFile, tree_ / L"a\\b\\zz*.dll").found);
}

TEST_F(FileSearch, ReferencesInThePathAreExpanded) {
    SetEnvironmentVariableW(L"PRAVEL_TEST_TREE", tree_.Path().c_str());
    EXPECT_TRUE(RunSearch(kSearchFile, L"%PRAVEL_TEST_TREE%\\a\\b\\app.dll", L"1.2").found);
}

TEST(FileSearchDrives, BareNameIsLookedForAtTheRootOfEveryFixedDrive) {
    const std::wstring name = L"pravel_bare_" + std::to_wstring(GetCurrentProcessId()) + L".dll";
    const std::wstring atRoot = L"C:\\" + name;
    ASSERT_TRUE(
        CopyFileW(PathFromEnvironment("FIXTURE_VERSIONED_DLL").c_str(), atRoot.c_str(), FALSE));
    Outcome o = RunSearch(kSearchFile, name, L"1.2.3");
    DeleteFileW(atRoot.c_str());
    EXPECT_TRUE(o.found);
    EXPECT_EQ(std::vector<std::wstring>{L"1.2.3.4"}, o.values);
    EXPECT_FALSE(RunSearch(kSearchFile, name).found);
}

TEST(FileSearchDrives, BareNameWithDepthLooksBelowTheRoots) {
    const std::wstring folder = L"C:\\pravel_depth_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\inner").c_str(), nullptr);
    const std::wstring name = L"pravel_deep_" + std::to_wstring(GetCurrentProcessId()) + L".dll";
    ASSERT_TRUE(CopyFileW(PathFromEnvironment("FIXTURE_VERSIONED_DLL").c_str(),
                          (folder + L"\\inner\\" + name).c_str(), FALSE));
    EXPECT_FALSE(RunSearch(kSearchFile, name + L"?1").found);
    EXPECT_TRUE(RunSearch(kSearchFile, name + L"?2").found);
    RemoveTree(folder);
}

TEST_F(FileSearch, SubfolderNames) {
    Outcome o = RunSearch(kSearchSubfolderNames, tree_.Path());
    EXPECT_TRUE(o.found);
    EXPECT_EQ(2u, o.values.size());  // a, z
    CreateDirectoryW((tree_ / L"12.0").c_str(), nullptr);
    o = RunSearch(kSearchSubfolderNames, tree_.Path(), L"11");
    EXPECT_TRUE(o.found);
    // The names in listing order, each judged up to the accepted one.
    EXPECT_EQ(L"read \"12.0\" (accepted) and 2 more; VerMin=11, VerMax=: found", o.line);
    o = RunSearch(kSearchSubfolderNames, tree_.Path(), L"13");
    EXPECT_FALSE(o.found);
    EXPECT_EQ(
        L"read \"12.0\" (below VerMin), \"a\" (no version), \"z\" (no version); VerMin=13, "
        L"VerMax=: not found",
        o.line);
    EXPECT_FALSE(RunSearch(kSearchSubfolderNames, tree_ / L"missing").found);
}

// A runtime folder with only a pre-release is not the release.
TEST_F(FileSearch, PreReleaseFolderNamesAreNotReleases) {
    ScratchDir runtime(L"runtime");
    CreateDirectoryW((runtime / L"10.0.0-rc.2.25502.107").c_str(), nullptr);
    CreateDirectoryW((runtime / L"10.0.0-preview.7.25380.108").c_str(), nullptr);
    EXPECT_FALSE(RunSearch(kSearchSubfolderNames, runtime.Path(), L"10.0").found);
    EXPECT_FALSE(RunSearch(kSearchSubfolderNames, runtime.Path(), L"10.0", L"10.0.99").found);
    EXPECT_TRUE(RunSearch(kSearchSubfolderNames, runtime.Path(), L"10.0.0-rc.1").found);
    EXPECT_TRUE(RunSearch(kSearchSubfolderNames, runtime.Path()).found);  // no bounds
    CreateDirectoryW((runtime / L"10.0.1").c_str(), nullptr);
    EXPECT_TRUE(RunSearch(kSearchSubfolderNames, runtime.Path(), L"10.0").found);
}

TEST(FileVersionRead, VersionedAndPlainFixtures) {
    FileVersion version;
    EXPECT_EQ(0u, GetFileVersion(PathFromEnvironment("FIXTURE_VERSIONED_DLL"), version));
    EXPECT_EQ(L"1.2.3.4", FormatFileVersion(version));
    EXPECT_NE(0u, GetFileVersion(PathFromEnvironment("FIXTURE_PLAIN_DLL"), version));
    EXPECT_EQ(L"0.0.0.0", FormatFileVersion(version));
    EXPECT_NE(0u, GetFileVersion(L"C:\\no\\such\\file.dll", version));
}

TEST(FileVersionRead, CopyInTheTemporaryFolderIsUsedAndRemoved) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring kernel = std::wstring(system) + L"\\kernel32.dll";
    FileVersion direct;
    ASSERT_EQ(0u, GetFileVersionThroughCopy(kernel, false, direct, nullptr));
    FileVersion copied;
    std::wstring copyPath;
    ASSERT_EQ(0u, GetFileVersionThroughCopy(kernel, true, copied, &copyPath));
    EXPECT_EQ(FormatFileVersion(direct), FormatFileVersion(copied));
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    EXPECT_EQ(0u, copyPath.find(std::wstring(temp) + L"shim_clone")) << Narrow(copyPath);
    EXPECT_FALSE(FileExists(copyPath));
}

TEST(FileVersionRead, ShellLibraryVersion) {
    uint32_t major = 0;
    EXPECT_TRUE(GetShellLibraryVersion(L"shlwapi.dll", major));
    EXPECT_GE(major, 5u);
    // No DllGetVersion: the file version's major part.
    EXPECT_TRUE(GetShellLibraryVersion(PathFromEnvironment("FIXTURE_VERSIONED_DLL"), major));
    EXPECT_EQ(1u, major);
    EXPECT_FALSE(GetShellLibraryVersion(L"C:\\no\\such.dll", major));
}

namespace {

// A file name of this test process in the System32 folders.
std::wstring SystemTestName() {
    return L"pravel_view_" + std::to_wstring(GetCurrentProcessId()) + L".dll";
}

}  // namespace

// A 32-bit program on 64-bit Windows sees SysWOW64 under the System32 path;
// Options "x" turns redirection off for the search in both bitnesses.
TEST(FileSearchRedirection, FileOnlyInSysWow64IsFoundThroughSystem32Only32Bit) {
    SystemFile wow(Wow64SystemFolder(), SystemTestName(), PlainDll());
    ASSERT_TRUE(wow.Placed());
    const std::wstring path = NativeSystemFolder() + L"\\" + SystemTestName();
    EXPECT_EQ(!kSuite64Bit, RunSearch(kSearchFile, path).found);
    EXPECT_FALSE(RunSearch(kSearchFile, path, L"", L"", L"", true).found);
}

TEST(FileSearchRedirection, FileOnlyInTheNativeSystem32IsHiddenFrom32BitUnless64IsChosen) {
    SystemFile native(NativeSystemFolder(), SystemTestName(), VersionedDll());
    ASSERT_TRUE(native.Placed());
    const std::wstring path = NativeSystemFolder() + L"\\" + SystemTestName();
    EXPECT_EQ(kSuite64Bit, RunSearch(kSearchFile, path).found);
    Outcome o = RunSearch(kSearchFile, path, L"1.2.3.4", L"1.2.3.4", L"", true);
    EXPECT_TRUE(o.found);
    EXPECT_EQ(std::vector<std::wstring>{L"1.2.3.4"}, o.values);
}

// The "shim_clone" copy is taken in the caller's view, like a read in
// place: a 32-bit caller gets the SysWOW64 file unless it has switched
// redirection off.
TEST(FileVersionRead, CopyOfASystemFileIsTakenInTheCallersView) {
    SystemFile native(NativeSystemFolder(), SystemTestName(), VersionedDll());
    SystemFile wow(Wow64SystemFolder(), SystemTestName(), PlainDll());
    ASSERT_TRUE(native.Placed() && wow.Placed());
    BOOL redirected = FALSE;
    IsWow64Process(GetCurrentProcess(), &redirected);
    const std::wstring path = NativeSystemFolder() + L"\\" + SystemTestName();
    for (const bool copyFirst : {true, false}) {
        FileVersion version;
        std::wstring copyPath;
        const uint32_t status = GetFileVersionThroughCopy(path, copyFirst, version, &copyPath);
        EXPECT_EQ(!redirected, status == 0) << copyFirst;
        EXPECT_EQ(redirected ? L"0.0.0.0" : L"1.2.3.4", FormatFileVersion(version)) << copyFirst;
        EXPECT_EQ(copyFirst, copyPath.find(L"shim_clone") != std::wstring::npos)
            << Narrow(copyPath);
        pravel::FsRedirectionOff nativeView;
        EXPECT_EQ(0u, GetFileVersionThroughCopy(path, copyFirst, version, nullptr));
        EXPECT_EQ(L"1.2.3.4", FormatFileVersion(version)) << copyFirst;
    }
}

// CopyFileW gives the copy the source's attributes (on Windows also when it
// copies over the empty file made first; Wine then does not): a read-only
// copy must go all the same.
TEST(FileVersionRead, AReadOnlyCopyIsRemovedToo) {
    ScratchDir dir(L"readonly");
    const std::wstring readOnly = dir / L"copy.tmp";
    WriteBytes(readOnly, "copy");
    ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(DeleteTemporaryCopy(readOnly));
    EXPECT_FALSE(FileExists(readOnly));

    const std::wstring source = dir / L"readonly.dll";
    ASSERT_TRUE(CopyFileW(VersionedDll().c_str(), source.c_str(), FALSE));
    ASSERT_TRUE(SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_READONLY));
    FileVersion version;
    std::wstring copyPath;
    EXPECT_EQ(0u, GetFileVersionThroughCopy(source, true, version, &copyPath));
    EXPECT_EQ(L"1.2.3.4", FormatFileVersion(version));
    ASSERT_FALSE(copyPath.empty());
    EXPECT_FALSE(FileExists(copyPath)) << Narrow(copyPath);
    SetFileAttributesW(copyPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(copyPath.c_str());
    SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL);
}
