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
