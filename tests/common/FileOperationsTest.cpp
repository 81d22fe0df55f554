#include <gtest/gtest.h>

#include <cstdlib>

#include "common/FileOperations.h"
#include "common/PrivateFolder.h"
#include "common/Text.h"
#include "support/WinTestSupport.h"

using namespace pravel;
using namespace testing_support;

namespace {

using Paths = std::vector<std::wstring>;

const std::wstring kLong = L"\\\\?\\";

// A file whose full path has exactly `length` characters, below `root`,
// created through the long-path form.
std::wstring MakeLongFile(const std::wstring& root, size_t length) {
    std::wstring path = root;
    while (path.size() + 60 < length) {
        path += L"\\" + std::wstring(50, L'd');
        EXPECT_TRUE(CreateDirectoryW((kLong + path).c_str(), nullptr) ||
                    GetLastError() == ERROR_ALREADY_EXISTS);
    }
    path += L"\\";
    path += std::wstring(length - path.size(), L'f');
    WriteBytes(kLong + path, "x");
    return path;
}

bool LongExists(const std::wstring& path) {
    return GetFileAttributesW((kLong + path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

// Wine accepts such paths without the prefix too; LongPathFormTest shows the
// form given to the platform.
TEST(DeletePath, ThreeHundredCharacterPathsGoThroughTheLongForm) {
    ScratchDir dir(L"longpath");
    const std::wstring file = MakeLongFile(dir.Path(), 300);
    ASSERT_EQ(300u, file.size());
    ASSERT_TRUE(LongExists(file));
    EXPECT_TRUE(DeletePath(file));
    EXPECT_FALSE(LongExists(file));

    // Given with the prefix already: no second one.
    const std::wstring again = MakeLongFile(dir.Path(), 300);
    EXPECT_TRUE(DeletePath(kLong + again));
    EXPECT_FALSE(LongExists(again));

    // Folders of that length go the same way.
    const std::wstring deep = MakeLongFile(dir.Path(), 380);
    const std::wstring folder = deep.substr(0, deep.rfind(L'\\'));
    ASSERT_GE(folder.size(), 260u);
    EXPECT_TRUE(DeletePath(deep));
    EXPECT_TRUE(RemoveFolder(folder));
    EXPECT_FALSE(LongExists(folder));
    DeleteFolderContents(dir.Path());
}

TEST(DeletePath, FailuresLeaveTheWin32Error) {
    ScratchDir dir(L"delfail");
    SetLastError(0);
    EXPECT_FALSE(DeletePath(dir / L"missing.txt"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    CreateDirectoryW((dir / L"full").c_str(), nullptr);
    WriteBytes(dir / L"full\\f.txt", "x");
    EXPECT_FALSE(RemoveFolder(dir / L"full"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DIR_NOT_EMPTY), GetLastError());
    EXPECT_TRUE(DirectoryExists(dir / L"full"));
}

TEST(DeleteFolderContents, RemovesReadOnlyFilesAndFoldersAndKeepsTheTop) {
    ScratchDir dir(L"contents");
    const std::wstring top = dir / L"top";
    CreateDirectoryW(top.c_str(), nullptr);
    CreateDirectoryW((top + L"\\ro").c_str(), nullptr);
    CreateDirectoryW((top + L"\\ro\\deeper").c_str(), nullptr);
    WriteBytes(top + L"\\plain.txt", "p");
    WriteBytes(top + L"\\readonly.txt", "r");
    WriteBytes(top + L"\\ro\\deeper\\inner.txt", "i");
    SetFileAttributesW((top + L"\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((top + L"\\ro\\deeper\\inner.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((top + L"\\ro").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY);
    const std::wstring longFile = MakeLongFile(top, 300);

    DeleteFolderContents(top);  // given without a trailing backslash
    EXPECT_TRUE(DirectoryExists(top));
    EXPECT_EQ(0u, CountFolderEntries(top, 10));
    EXPECT_FALSE(LongExists(longFile));

    WriteBytes(top + L"\\again.txt", "a");
    DeleteFolderContents(top + L"\\");
    EXPECT_EQ(0u, CountFolderEntries(top, 10));
    DeleteFolderContents(dir / L"missing");  // nothing to do, no failure
}

TEST(RemoveEmptyParents, RemovesEmptyFoldersUpToButNeverTheStopFolder) {
    ScratchDir dir(L"parents");
    const std::wstring t = dir / L"T";
    CreateDirectoryW(t.c_str(), nullptr);
    CreateDirectoryW((t + L"\\a").c_str(), nullptr);
    CreateDirectoryW((t + L"\\a\\b").c_str(), nullptr);
    RemoveEmptyParents(t + L"\\a\\b", t + L"\\");
    EXPECT_FALSE(DirectoryExists(t + L"\\a"));
    EXPECT_TRUE(DirectoryExists(t));

    // A folder that still holds something stays, and so does its parent.
    CreateDirectoryW((t + L"\\a").c_str(), nullptr);
    CreateDirectoryW((t + L"\\a\\b").c_str(), nullptr);
    CreateDirectoryW((t + L"\\a\\b\\c").c_str(), nullptr);
    WriteBytes(t + L"\\a\\keep.txt", "k");
    RemoveEmptyParents(t + L"\\a\\b\\c", t);
    EXPECT_FALSE(DirectoryExists(t + L"\\a\\b"));
    EXPECT_TRUE(DirectoryExists(t + L"\\a"));

    // The stop folder itself, even when empty, given in another case.
    DeleteFolderContents(t);
    RemoveEmptyParents(t, t);
    RemoveEmptyParents(t + L"\\", dir.Path());  // stops below the scratch folder: T goes
    EXPECT_FALSE(DirectoryExists(t));
    CreateDirectoryW(t.c_str(), nullptr);
    std::wstring upper = t;
    for (auto& c : upper) c = static_cast<wchar_t>(towupper(c));
    RemoveEmptyParents(t, upper);
    EXPECT_TRUE(DirectoryExists(t));
    // No stop folder: nothing is removed.
    RemoveEmptyParents(t, L"");
    EXPECT_TRUE(DirectoryExists(t));
}

TEST(CreateFolderChain, ListsExactlyTheFoldersItCreated) {
    ScratchDir dir(L"chain");
    Paths created;
    EXPECT_EQ(0u, CreateFolderChain(dir / L"x\\y\\file.txt", false, &created));
    EXPECT_EQ((Paths{dir / L"x", dir / L"x\\y"}), created);
    EXPECT_TRUE(DirectoryExists(dir / L"x\\y"));
    EXPECT_FALSE(DirectoryExists(dir / L"x\\y\\file.txt"));

    created.clear();
    EXPECT_EQ(0u, CreateFolderChain(dir / L"x\\y\\z", true, &created));
    EXPECT_EQ((Paths{dir / L"x\\y\\z"}), created);
    created.clear();
    EXPECT_EQ(0u, CreateFolderChain(dir / L"x\\y\\z", true, &created));  // exists already
    EXPECT_TRUE(created.empty());
    EXPECT_EQ(0u, CreateFolderChain(dir / L"x\\n1\\n2\\", false, nullptr));  // trailing "\"
    EXPECT_TRUE(DirectoryExists(dir / L"x\\n1\\n2"));
}

TEST(CreateFolderChain, AFailureRemovesOnlyTheFolderCreatedInTheStepBefore) {
    ScratchDir dir(L"chainfail");
    Paths created;
    const uint32_t error = CreateFolderChain(dir / L"new\\bad*name\\deeper", true, &created);
    EXPECT_NE(0u, error);
    EXPECT_NE(static_cast<uint32_t>(ERROR_ALREADY_EXISTS), error);
    EXPECT_FALSE(DirectoryExists(dir / L"new"));
    EXPECT_TRUE(created.empty());

    // A folder that existed before stays, even when empty.
    CreateDirectoryW((dir / L"old").c_str(), nullptr);
    EXPECT_NE(0u, CreateFolderChain(dir / L"old\\bad*name", true, &created));
    EXPECT_TRUE(DirectoryExists(dir / L"old"));
    // Folders listed by earlier calls stay listed.
    created = {L"C:\\earlier"};
    EXPECT_NE(0u, CreateFolderChain(dir / L"new2\\bad*name", true, &created));
    EXPECT_EQ((Paths{L"C:\\earlier"}), created);
    EXPECT_FALSE(DirectoryExists(dir / L"new2"));
}

TEST(CreateFolderChain, SharesSkipTheServerAndShareAndKeepTheLongPrefix) {
    const TestShare testShare(L"chain");
    if (testShare.Path().empty()) GTEST_SKIP() << "not in a Wine prefix";
    const std::wstring& share = testShare.Path();
    const std::wstring& shareDir = testShare.Folder();
    const std::wstring shareName = FileNameOf(share);

    Paths created;
    EXPECT_EQ(0u, CreateFolderChain(share + L"\\a\\b\\f.txt", false, &created));
    EXPECT_EQ((Paths{share + L"\\a", share + L"\\a\\b"}), created);
    EXPECT_TRUE(DirectoryExists(shareDir + L"\\a\\b"));

    created.clear();
    const std::wstring longShare = L"\\\\?\\UNC\\localhost\\" + shareName;
    EXPECT_EQ(0u, CreateFolderChain(longShare + L"\\a\\c", true, &created));
    EXPECT_EQ((Paths{longShare + L"\\a\\c"}), created);
    EXPECT_TRUE(DirectoryExists(shareDir + L"\\a\\c"));

    created.clear();
    EXPECT_EQ(0u, CreateFolderChain(L"\\\\?\\" + shareDir + L"\\d\\e", true, &created));
    EXPECT_EQ((Paths{L"\\\\?\\" + shareDir + L"\\d", L"\\\\?\\" + shareDir + L"\\d\\e"}), created);
}

TEST(RemoveFilesAndCreatedFolders, DeletesFilesThenEmptyFoldersAndEmptiesTheLists) {
    ScratchDir dir(L"downloads");
    Paths folders;
    ASSERT_EQ(0u, CreateFolderChain(dir / L"dl\\sub\\f.exe", false, &folders));
    WriteBytes(dir / L"dl\\sub\\f.exe", "f");
    WriteBytes(dir / L"dl\\other.txt", "o");  // not a download: its folder stays
    Paths files{dir / L"dl\\sub\\f.exe", dir / L"dl\\missing.exe"};
    RemoveFilesAndCreatedFolders(files, folders);
    EXPECT_TRUE(files.empty());
    EXPECT_TRUE(folders.empty());
    EXPECT_FALSE(FileExists(dir / L"dl\\sub\\f.exe"));
    EXPECT_FALSE(DirectoryExists(dir / L"dl\\sub"));
    EXPECT_TRUE(FileExists(dir / L"dl\\other.txt"));
}

TEST(DeleteFolderContents, ALinkedFolderGoesAsALinkAndItsTargetKeepsItsContent) {
    ScratchDir dir(L"linked");
    const std::wstring top = dir / L"top";
    const std::wstring target = dir / L"target";
    CreateDirectoryW(top.c_str(), nullptr);
    CreateDirectoryW(target.c_str(), nullptr);
    WriteBytes(target + L"\\precious.txt", "p");
    // Wine 8 answers TRUE and creates nothing: the test needs a real link.
    CreateSymbolicLinkW((top + L"\\link").c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
    const DWORD link = GetFileAttributesW((top + L"\\link").c_str());
    if (link == INVALID_FILE_ATTRIBUTES || (link & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        GTEST_SKIP() << "folder links cannot be made here";
    }
    DeleteFolderContents(top);
    EXPECT_TRUE(FileExists(target + L"\\precious.txt"));
    EXPECT_EQ(0u, CountFolderEntries(top, 10));
}

// The private copies are made through the handle: a file put at the path
// after the test is never copied. Each copy has a subfolder of its own;
// Discard removes one, Remove the folder with whatever a setup left in it.
TEST(PrivateFolder, CopiesWhatTheHandleHoldsAndLeavesNothing) {
    ScratchDir dir(L"private");
    WriteBytes(dir / L"setup.exe", "accepted");
    HANDLE original =
        CreateFileW((dir / L"setup.exe").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_TRUE(MoveFileW((dir / L"setup.exe").c_str(), (dir / L"moved.exe").c_str()));
    WriteBytes(dir / L"setup.exe", "swapped");
    PrivateFolder folder(dir.Path());
    std::wstring first, second;
    ASSERT_EQ(0u, folder.CopyIn(original, L"setup.exe", first));
    ASSERT_EQ(0u, folder.CopyIn(original, L"setup.exe", second));
    EXPECT_EQ("accepted", ReadBytes(second));
    EXPECT_EQ(0u, first.find(folder.Path() + L"1\\"));
    EXPECT_EQ(0u, second.find(folder.Path() + L"2\\"));
    folder.Discard(first);
    EXPECT_FALSE(DirectoryExists(FolderOf(first)));
    WriteBytes(FolderOf(second) + L"\\left.txt", "x");
    EXPECT_EQ(0u, folder.Remove());
    EXPECT_EQ(2u, CountFolderEntries(dir.Path(), 10));  // setup.exe, moved.exe
    std::wstring none;
    EXPECT_EQ(static_cast<uint32_t>(ERROR_PATH_NOT_FOUND),
              PrivateFolder(dir / L"missing").CopyIn(original, L"setup.exe", none));
    EXPECT_TRUE(none.empty());
    CloseHandle(original);
}
