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

    // Through an open handle, from the start whatever its file pointer.
    HANDLE file = CreateFileW(abc.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    char skipped[2];
    DWORD read = 0;
    ReadFile(file, skipped, 2, &read, nullptr);
    ASSERT_TRUE(pravel::ComputeSha256Of(file, hex));
    CloseHandle(file);
    EXPECT_TRUE(pravel::Sha256Matches(
        L"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD", hex));
    EXPECT_FALSE(pravel::Sha256Matches(
        L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ae", hex));

    // Missing and empty files fail, so a configured digest rejects them.
    const std::wstring empty = dir / L"empty.bin";
    WriteBytes(empty, "");
    EXPECT_FALSE(pravel::ComputeFileSha256(empty, hex));
    EXPECT_FALSE(pravel::ComputeFileSha256(dir / L"missing.bin", hex));
}
