#include <gtest/gtest.h>

#include "chainer/LaunchContext.h"
#include "common/PathForms.h"
#include "common/RemovalLists.h"

using namespace pravel;

namespace {

using Paths = std::vector<std::wstring>;

std::wstring PathOfLength(const std::wstring& start, size_t length) {
    std::wstring path = start;
    while (path.size() < length) path += path.size() % 20 == 0 ? L'\\' : L'n';
    path.back() = L'f';
    return path;
}

}  // namespace

TEST(DeletionPathForm, OnlyLongPathsGetThePrefixAndNeverTwice) {
    const std::wstring p259 = PathOfLength(L"C:\\", 259);
    const std::wstring p260 = PathOfLength(L"C:\\", 260);
    EXPECT_EQ(p259, DeletionPathForm(p259));
    EXPECT_EQ(L"\\\\?\\" + p260, DeletionPathForm(p260));
    EXPECT_EQ(L"\\\\?\\" + p260, DeletionPathForm(L"\\\\?\\" + p260));
    const std::wstring share = PathOfLength(L"\\\\server\\share\\", 300);
    EXPECT_EQ(L"\\\\?\\UNC\\" + share.substr(2), DeletionPathForm(share));
    EXPECT_EQ(L"\\\\?\\UNC\\" + share.substr(2),
              DeletionPathForm(L"\\\\?\\UNC\\" + share.substr(2)));
    EXPECT_EQ(L"", DeletionPathForm(L""));
}

TEST(PathKinds, AbsoluteUncAndPrefixed) {
    EXPECT_TRUE(IsFullPath(L"C:\\a"));
    EXPECT_TRUE(IsFullPath(L"c:"));
    EXPECT_TRUE(IsFullPath(L"\\\\srv\\share\\f"));
    EXPECT_FALSE(IsFullPath(L"a\\b.txt"));
    EXPECT_FALSE(IsFullPath(L"\\a\\b.txt"));
    EXPECT_FALSE(IsFullPath(L""));
    EXPECT_TRUE(IsUncPath(L"\\\\srv\\share"));
    EXPECT_TRUE(IsUncPath(L"\\\\?\\UNC\\srv\\share"));
    EXPECT_FALSE(IsUncPath(L"\\\\?\\C:\\x"));
    EXPECT_FALSE(IsUncPath(L"C:\\x"));
}

TEST(IsInsideFolder, BelowTheFolderOnlyIgnoringCaseAndTrailingBackslashes) {
    EXPECT_TRUE(IsInsideFolder(L"C:\\T\\a", L"C:\\T"));
    EXPECT_TRUE(IsInsideFolder(L"C:\\T\\a", L"c:\\t\\"));
    EXPECT_TRUE(IsInsideFolder(L"\\\\?\\C:\\T\\a", L"C:\\T"));
    EXPECT_TRUE(IsInsideFolder(L"C:\\a", L"C:\\"));
    EXPECT_FALSE(IsInsideFolder(L"C:\\T", L"C:\\T"));
    EXPECT_FALSE(IsInsideFolder(L"C:\\T\\", L"C:\\T"));
    EXPECT_FALSE(IsInsideFolder(L"C:\\Tab\\x", L"C:\\T"));  // a longer name is no child
    EXPECT_FALSE(IsInsideFolder(L"C:\\", L"C:\\T"));
    EXPECT_FALSE(IsInsideFolder(L"C:\\T\\a", L""));
}

TEST(FolderChain, FileAndFolderEndings) {
    FolderChainSteps steps = SplitFolderChain(L"C:\\x\\y\\file.txt", false);
    EXPECT_EQ(L"C:", steps.root);
    EXPECT_EQ((Paths{L"C:\\x", L"C:\\x\\y"}), steps.folders);
    EXPECT_FALSE(steps.unc);
    EXPECT_EQ((Paths{L"C:\\x", L"C:\\x\\y", L"C:\\x\\y\\file.txt"}),
              SplitFolderChain(L"C:\\x\\y\\file.txt", true).folders);
    // A trailing backslash names a folder; doubled backslashes make no empty step.
    EXPECT_EQ((Paths{L"C:\\x", L"C:\\x\\y"}), SplitFolderChain(L"C:\\x\\\\y\\", false).folders);
    EXPECT_TRUE(SplitFolderChain(L"C:\\", true).folders.empty());
    EXPECT_EQ((Paths{L"\\x", L"\\x\\y"}), SplitFolderChain(L"\\x\\y", true).folders);
    EXPECT_EQ((Paths{L"x", L"x\\y"}), SplitFolderChain(L"x\\y", true).folders);
}

TEST(FolderChain, RootsWithPrefixesStayWithTheFirstComponent) {
    FolderChainSteps steps = SplitFolderChain(L"\\\\srv\\share\\a\\b", true);
    EXPECT_EQ(L"\\\\srv\\share", steps.root);
    EXPECT_EQ((Paths{L"\\\\srv\\share\\a", L"\\\\srv\\share\\a\\b"}), steps.folders);
    EXPECT_TRUE(steps.unc);

    steps = SplitFolderChain(L"\\\\?\\UNC\\srv\\share\\a\\f.txt", false);
    EXPECT_EQ(L"\\\\?\\UNC\\srv\\share", steps.root);
    EXPECT_EQ((Paths{L"\\\\?\\UNC\\srv\\share\\a"}), steps.folders);
    EXPECT_TRUE(steps.unc);

    steps = SplitFolderChain(L"\\\\?\\C:\\a\\b", true);
    EXPECT_EQ(L"\\\\?\\C:", steps.root);
    EXPECT_EQ((Paths{L"\\\\?\\C:\\a", L"\\\\?\\C:\\a\\b"}), steps.folders);
    EXPECT_FALSE(steps.unc);

    EXPECT_TRUE(SplitFolderChain(L"\\\\srv\\share", true).folders.empty());
    EXPECT_TRUE(SplitFolderChain(L"\\\\srv", true).folders.empty());
}

TEST(FoldersUpTo, StopsBelowTheStopFolder) {
    EXPECT_EQ((Paths{L"C:\\T\\a\\b", L"C:\\T\\a"}), FoldersUpTo(L"C:\\T\\a\\b", L"C:\\T\\"));
    EXPECT_EQ((Paths{L"C:\\T\\a\\b", L"C:\\T\\a"}), FoldersUpTo(L"C:\\T\\a\\b\\", L"C:\\T"));
    EXPECT_EQ((Paths{L"C:\\T\\a"}), FoldersUpTo(L"C:\\T\\a", L"c:\\t"));
    EXPECT_TRUE(FoldersUpTo(L"C:\\T", L"C:\\T").empty());
}

TEST(FoldersUpTo, NeverLeavesTheStopFolderNorListsARoot) {
    // No stop folder: nothing at all.
    EXPECT_TRUE(FoldersUpTo(L"C:\\T\\a", L"").empty());
    // A stop folder the walk never meets: it ends without going above it.
    EXPECT_TRUE(FoldersUpTo(L"D:\\other\\x", L"C:\\T").empty());
    EXPECT_TRUE(FoldersUpTo(L"C:\\Tab\\x", L"C:\\T").empty());
    // A drive or a share as the stop folder: the root itself is never listed.
    EXPECT_EQ((Paths{L"C:\\a\\b", L"C:\\a"}), FoldersUpTo(L"C:\\a\\b", L"C:\\"));
    EXPECT_EQ((Paths{L"C:\\a"}), FoldersUpTo(L"C:\\a", L"C:"));
    EXPECT_EQ((Paths{L"\\\\srv\\share\\a"}), FoldersUpTo(L"\\\\srv\\share\\a", L"\\\\srv"));
    EXPECT_TRUE(FoldersUpTo(L"\\\\srv\\share", L"\\\\srv").empty());
}

TEST(RemoveListed, FilesFirstThenFoldersInnermostFirstKeepingFailures) {
    std::vector<std::wstring> calls;
    RemovalOps ops{[&](const std::wstring& p) {
                       calls.push_back(L"del " + p);
                       return p != L"locked.txt";
                   },
                   [&](const std::wstring& p) {
                       calls.push_back(L"rd " + p);
                       return p != L"C:\\a\\b" && p != L"C:\\a";
                   }};
    Paths files{L"one.txt", L"locked.txt", L"two.txt"};
    Paths folders{L"C:\\a", L"C:\\a\\b", L"C:\\a\\b\\c"};
    EXPECT_FALSE(RemoveListed(files, folders, ops));
    EXPECT_EQ((Paths{L"del one.txt", L"del locked.txt", L"del two.txt", L"rd C:\\a\\b\\c",
                     L"rd C:\\a\\b", L"rd C:\\a"}),
              calls);
    EXPECT_EQ((Paths{L"locked.txt"}), files);
    EXPECT_EQ((Paths{L"C:\\a", L"C:\\a\\b"}), folders);  // failures keep creation order

    ops.deleteFile = [](const std::wstring&) { return true; };
    ops.removeFolder = [](const std::wstring&) { return true; };
    EXPECT_TRUE(RemoveListed(files, folders, ops));
    EXPECT_TRUE(files.empty());
    EXPECT_TRUE(folders.empty());
}

TEST(LaunchContextCleanUp, RunsOnlyWhenEnabledAndStopsOnceComplete) {
    int calls = 0;
    bool folderGoes = false;
    RemovalOps ops{[&](const std::wstring&) { return ++calls > 0; },
                   [&](const std::wstring&) {
                       ++calls;
                       return folderGoes;
                   }};
    LaunchContext context;
    context.createdFiles = {L"C:\\x\\f"};
    context.createdFolders = {L"C:\\x"};
    context.CleanUp(ops);
    EXPECT_EQ(0, calls);  // not enabled

    context.cleanupEnabled = true;
    context.CleanUp(ops);
    EXPECT_EQ(2, calls);
    EXPECT_FALSE(context.cleanupComplete);
    EXPECT_TRUE(context.createdFiles.empty());
    EXPECT_EQ((Paths{L"C:\\x"}), context.createdFolders);

    folderGoes = true;
    context.CleanUp(ops);
    EXPECT_EQ(3, calls);
    EXPECT_TRUE(context.cleanupComplete);
    context.CleanUp(ops);
    EXPECT_EQ(3, calls);
}
