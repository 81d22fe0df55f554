#include <gtest/gtest.h>

#include "download/DownloadTarget.h"

using namespace pravel;

TEST(FileNameFromUrl, CommonUrls) {
    EXPECT_EQ(L"file.exe", FileNameFromUrl(L"http://host/dir/file.exe"));
    EXPECT_EQ(L"f.exe", FileNameFromUrl(L"http://h/f.exe?x=1&y=2"));
    EXPECT_EQ(L"setup.msi", FileNameFromUrl(L"ftp://user@host:21/pub/setup.msi"));
    EXPECT_EQ(L"noext", FileNameFromUrl(L"http://h/noext"));
    EXPECT_EQ(L"", FileNameFromUrl(L""));
    EXPECT_EQ(L"", FileNameFromUrl(L"http://h/dir/"));
}

TEST(FileNameFromUrl, SecondSchemeEndsTheUrl) {
    // The end position is the ":" of the inner "://", itself reserved.
    EXPECT_EQ(L"", FileNameFromUrl(L"http://r/go?to=http://h/x.exe"));
}

TEST(FileNameFromUrl, LongNamesKeepTheirLast41Characters) {
    const std::wstring longName(60, L'n');
    const std::wstring name = FileNameFromUrl(L"http://h/" + longName + L".exe");
    EXPECT_EQ(41u, name.size());
    EXPECT_EQ(L".exe", name.substr(name.size() - 4));
    EXPECT_EQ(L"abc.exe", FileNameFromUrl(L"abc.exe"));  // no reserved character, short
}

TEST(DownloadTargetPath, FolderAndFileParts) {
    EXPECT_EQ(L"C:\\dl\\f.exe", DownloadTargetPath(L"C:\\dl\\", L"http://h/f.exe", L""));
    EXPECT_EQ(L"C:\\dl\\f.exe", DownloadTargetPath(L"C:\\dl", L"http://h/f.exe", L""));
    EXPECT_EQ(L"C:\\dl\\sub\\f.exe", DownloadTargetPath(L"C:\\dl\\", L"http://h/f.exe", L"sub"));
    EXPECT_EQ(L"C:\\dl\\sub\\mine.exe",
              DownloadTargetPath(L"C:\\dl\\", L"http://h/f.exe", L"sub?mine.exe"));
    EXPECT_EQ(L"C:\\dl\\mine.exe",
              DownloadTargetPath(L"C:\\dl\\", L"http://h/f.exe", L"?mine.exe"));
    EXPECT_EQ(L"C:\\dl\\given.bin",
              DownloadTargetPath(L"C:\\dl\\", L"http://h/f.exe", L"sub", L"given.bin"));
}

TEST(PackageDownloadPath, ThePlaceOfTheDownloadBelowDownloadsBesideTheProgram) {
    EXPECT_EQ(L"C:\\pkg\\downloads\\f.exe",
              PackageDownloadPath(L"C:\\pkg\\", L"http://h/f.exe", L""));
    EXPECT_EQ(L"C:\\pkg\\downloads\\sub\\mine.exe",
              PackageDownloadPath(L"C:\\pkg", L"http://h/f.exe", L"sub?mine.exe"));
}

TEST(DownloadPlaceProblem, OnlyAFileBelowTheFolderIsAPlace) {
    const struct {
        const wchar_t* url;
        const wchar_t* folder;
        const char* problem;  // null: a place below the folder
    } cases[] = {
        {L"http://h/f.exe", L"", nullptr},
        {L"http://h/f.exe", L"a\\b?c.exe", nullptr},
        {L"http://h/f.exe", L"a/b..c", nullptr},
        {L"http://h/f.exe", L"..", "climbs out of the folder"},
        {L"http://h/f.exe", L"a\\..\\..", "climbs out of the folder"},
        {L"http://h/f.exe", L"?../x.exe", "climbs out of the folder"},
        {L"http://h/f.exe", L"a\\. .", "climbs out of the folder"},
        {L"http://h/f.exe", L"a\\...", "climbs out of the folder"},
        {L"http://h/f.exe", L"C:\\Windows", "names a drive or a stream"},
        {L"http://h/f.exe", L"?f.exe:stream", "names a drive or a stream"},
        {L"http://h/dir/", L"", "names no file"},
    };
    for (const auto& c : cases) {
        const char* problem = DownloadPlaceProblem(c.url, c.folder);
        EXPECT_STREQ(c.problem, problem) << std::string(c.folder, c.folder + wcslen(c.folder));
    }
}
