// The download phase's platform-free rules: the MD5 comparison of the
// acceptance step, the texts of the download statuses, name formatting.
#include <gtest/gtest.h>

#include "common/ErrorCodes.h"
#include "download/DownloadRules.h"

using namespace pravel;

namespace {

const std::wstring kDigest = L"9e107d9d372bb6826bd81d3542a419d6";

TEST(Md5Matches, ComparesAgainstTheComputedDigest) {
    EXPECT_TRUE(Md5Matches(kDigest, kDigest));
    EXPECT_TRUE(Md5Matches(kDigest, L"9E107D9D372BB6826BD81D3542A419D6"));  // upper case
    EXPECT_TRUE(Md5Matches(kDigest, L"9e107D9d372bB6826bd81d3542a419D6"));  // mixed
    // Characters after the 32 digits are not looked at.
    EXPECT_TRUE(Md5Matches(kDigest, kDigest + L"  trailing"));
}

TEST(Md5Matches, RejectsEveryDifference) {
    EXPECT_FALSE(Md5Matches(kDigest, L"9e107d9d372bb6826bd81d3542a419d7"));
    EXPECT_FALSE(Md5Matches(kDigest, L"9e107d9d372bb6826bd81d3542a419d"));  // short
    EXPECT_FALSE(Md5Matches(kDigest, L""));
    EXPECT_FALSE(Md5Matches(kDigest, L" 9e107d9d372bb6826bd81d3542a419d6"));
    // Only A-F are folded: other upper-case letters stay different.
    EXPECT_FALSE(Md5Matches(L"g", L"G"));
    // No digest (the file could not be hashed) never matches.
    EXPECT_FALSE(Md5Matches(L"", kDigest));
    EXPECT_FALSE(Md5Matches(L"", L""));
}

TEST(DownloadStatusText, EveryStatusHasAMeaningAndItsCodeInHex) {
    const uint32_t statuses[] = {DLERR_BAD_TARGET,        DLERR_CANCELLED,       DLERR_INCOMPLETE,
                                 DLERR_OFFSET_BEYOND_END, DLERR_AUTH_REQUIRED,   DLERR_NOT_MODIFIED,
                                 DLERR_FORBIDDEN,         DLERR_NOT_FOUND,       DLERR_REJECTED,
                                 DLERR_SIZE_MISMATCH,     DLERR_MANDATORY_FAILED};
    for (uint32_t code : statuses) {
        EXPECT_FALSE(DownloadStatusMeaning(code).empty()) << std::hex << code;
    }
    EXPECT_EQ(DescribeDownloadStatus(DLERR_NOT_FOUND), L"0xE0000018 (the server has no such file)");
    EXPECT_EQ(DescribeDownloadStatus(DLERR_SIZE_MISMATCH).substr(0, 11), L"0xE0000023 ");
}

TEST(DownloadStatusText, OtherCodesAreNoStatuses) {
    EXPECT_TRUE(DescribeDownloadStatus(0).empty());
    EXPECT_TRUE(DescribeDownloadStatus(12029).empty());
    EXPECT_TRUE(DescribeDownloadStatus(0xE0000001u).empty());
}

}  // namespace
