#include <gtest/gtest.h>

#include <set>

#include "chainer/CleanupPlan.h"

using namespace pravel;

namespace {

using Paths = std::vector<std::wstring>;

const std::wstring kProgram = L"C:\\Top\\Mid\\Prog\\pravel.exe";
const std::wstring kProgramFolder = L"C:\\Top\\Mid\\Prog\\";
const std::wstring kIni = L"C:\\Top\\Mid\\Prog\\pravel.ini";

ChainerSettings Settings(const std::wstring& files, const std::wstring& folder,
                         const std::wstring& script = L"C:\\Scripts\\clean.ps1") {
    ChainerSettings s;
    s.cleanupFiles = files;
    s.cleanupFolders = folder;
    s.cleanupScript = script;
    return s;
}

CleanupPlan Plan(const ChainerSettings& s, const std::set<std::wstring>& existing = {}) {
    return PlanCleanup(s, kProgram, kProgramFolder, kIni,
                       [&](const std::wstring& p) { return existing.count(p) != 0; });
}

}  // namespace

TEST(CleanupPlan, SplitsFilesAtU0001SkippingEmptyItems) {
    EXPECT_EQ((Paths{L"a", L"b c", L"d"}), SplitCleanupFiles(L"\x0001"
                                                             L"a\x0001\x0001"
                                                             L"b c\x0001"
                                                             L"d\x0001"));
    EXPECT_TRUE(SplitCleanupFiles(L"").empty());
}

TEST(CleanupPlan, OnlyExistingAbsoluteFilesInsideTheFolderThenTheConfiguration) {
    const std::wstring inside = L"C:\\Top\\Data\\in.txt";
    const std::wstring outside = L"C:\\Elsewhere\\out.txt";
    const std::wstring missing = L"C:\\Top\\missing.txt";
    const std::wstring share = L"\\\\srv\\s\\x.txt";
    const std::wstring files = inside + L"\x0001" + outside +
                               L"\x0001"
                               L"rel.txt\x0001" +
                               missing;
    const CleanupPlan plan = Plan(Settings(files, L"C:\\Top"), {inside, outside, L"rel.txt"});
    EXPECT_EQ((Paths{inside, kIni}), plan.files);
    EXPECT_EQ(L"C:\\Top", plan.folder);
    EXPECT_EQ(10, plan.retryCount);

    // The folder test is case-sensitive; without a folder every existing absolute item counts.
    EXPECT_EQ((Paths{kIni}), Plan(Settings(inside, L"c:\\top"), {inside}).files);
    EXPECT_EQ((Paths{inside, share, kIni}), Plan(Settings(inside + L"\x0001" + share +
                                                              L"\x0001"
                                                              L"rel.txt",
                                                          L""),
                                                 {inside, share, L"rel.txt"})
                                                .files);
}

TEST(CleanupPlan, ScriptGetsTheScriptTheProgramAndItsFoldersBelowTheCleanupFolder) {
    const CleanupPlan plan = Plan(Settings(L"", L"C:\\Top"));
    EXPECT_EQ(L"C:\\Scripts\\clean.ps1", plan.scriptPath);
    EXPECT_EQ((Paths{L"C:\\Scripts\\clean.ps1", kProgram, L"C:\\Top\\Mid\\Prog", L"C:\\Top\\Mid"}),
              plan.scriptPaths);
    // The program's own folder as the clean-up folder: no folder at all.
    EXPECT_EQ((Paths{L"C:\\Scripts\\clean.ps1", kProgram}),
              Plan(Settings(L"", L"C:\\Top\\Mid\\Prog")).scriptPaths);
    // Without a folder, or with the program outside it: no folder either.
    EXPECT_EQ((Paths{L"C:\\Scripts\\clean.ps1", kProgram}), Plan(Settings(L"", L"")).scriptPaths);
    EXPECT_EQ((Paths{L"C:\\Scripts\\clean.ps1", kProgram}),
              Plan(Settings(L"", L"D:\\Top")).scriptPaths);
    // No script named: it is not listed.
    EXPECT_EQ((Paths{kProgram, L"C:\\Top\\Mid\\Prog", L"C:\\Top\\Mid"}),
              Plan(Settings(L"", L"C:\\Top", L"")).scriptPaths);
}

TEST(CleanupPlan, FolderWalkThatNeverMeetsTheValueExactlyStillEnds) {
    // A trailing backslash: the clean-up folder itself is still not listed.
    EXPECT_EQ((Paths{L"C:\\Scripts\\clean.ps1", kProgram, L"C:\\Top\\Mid\\Prog", L"C:\\Top\\Mid"}),
              Plan(Settings(L"", L"C:\\Top\\")).scriptPaths);
    // A text prefix that is no folder of the path: nothing above it, no drive root.
    EXPECT_EQ((Paths{L"C:\\Scripts\\clean.ps1", kProgram}),
              Plan(Settings(L"", L"C:\\To")).scriptPaths);
    // The drive as the clean-up folder: every folder down to, not including, the drive.
    EXPECT_EQ((Paths{L"C:\\Scripts\\clean.ps1", kProgram, L"C:\\Top\\Mid\\Prog", L"C:\\Top\\Mid",
                     L"C:\\Top"}),
              Plan(Settings(L"", L"C:\\")).scriptPaths);
    EXPECT_EQ((Paths{L"C:\\Scripts\\clean.ps1", kProgram, L"C:\\Top\\Mid\\Prog", L"C:\\Top\\Mid",
                     L"C:\\Top"}),
              Plan(Settings(L"", L"C:")).scriptPaths);
}
