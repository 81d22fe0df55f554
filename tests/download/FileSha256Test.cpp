#include <gtest/gtest.h>

#include "download/FileSha256.h"
#include "download/Sha256.h"
#include "support/WinTestSupport.h"

using namespace testing_support;

TEST(FileSha256, HashesFilesAndDecidesAcceptance) {
    ScratchDir dir(L"sha256");
    const std::wstring abc = dir / L"abc.bin";
    WriteBytes(abc, "abc");
    std::wstring hex;
    ASSERT_TRUE(pravel::ComputeFileSha256(abc, hex));
    EXPECT_EQ(L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", hex);

    // Several 64 KiB blocks and a partial one.
    std::string big(3 * 65536 + 17, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + (i >> 11));
    const std::wstring bigPath = dir / L"big.bin";
    WriteBytes(bigPath, big);
    pravel::Sha256 sha;
    sha.Update(big.data(), big.size());
    uint8_t digest[32];
    sha.Final(digest);
    ASSERT_TRUE(pravel::ComputeFileSha256(bigPath, hex));
    EXPECT_EQ(pravel::Sha256::ToHex(digest), hex);

    EXPECT_TRUE(pravel::IsFileAcceptedBySha256(L"", bigPath));  // no SHA256 key
    EXPECT_TRUE(pravel::IsFileAcceptedBySha256(
        L"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD", abc));
    EXPECT_FALSE(pravel::IsFileAcceptedBySha256(
        L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ae", abc));

    // Missing and empty files fail, so a configured digest rejects them.
    const std::wstring empty = dir / L"empty.bin";
    WriteBytes(empty, "");
    EXPECT_FALSE(pravel::ComputeFileSha256(empty, hex));
    EXPECT_FALSE(pravel::ComputeFileSha256(dir / L"missing.bin", hex));
    EXPECT_FALSE(pravel::IsFileAcceptedBySha256(
        L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", empty));
}
