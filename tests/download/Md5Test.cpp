#include <gtest/gtest.h>

#include <string>

#include "download/Md5.h"

using pravel::Md5;

namespace {

std::wstring Digest(const std::string& data, size_t chunk = 0) {
    Md5 md5;
    if (chunk == 0) {
        md5.Update(data.data(), data.size());
    } else {
        for (size_t i = 0; i < data.size(); i += chunk) {
            md5.Update(data.data() + i, std::min(chunk, data.size() - i));
        }
    }
    uint8_t digest[16];
    md5.Final(digest);
    return Md5::ToHex(digest);
}

}  // namespace

TEST(Md5, Rfc1321TestSuite) {
    EXPECT_EQ(L"d41d8cd98f00b204e9800998ecf8427e", Digest(""));
    EXPECT_EQ(L"0cc175b9c0f1b6a831c399e269772661", Digest("a"));
    EXPECT_EQ(L"900150983cd24fb0d6963f7d28e17f72", Digest("abc"));
    EXPECT_EQ(L"f96b697d7cb7938d525a2f31aaf161d0", Digest("message digest"));
    EXPECT_EQ(L"c3fcd3d76192e4007dfb496cca67e13b", Digest("abcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ(L"d174ab98d277d9f5a5611c2c9f419d9f",
              Digest("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"));
    EXPECT_EQ(L"57edf4a22be3c955ac49da2e2107b67a",
              Digest("1234567890123456789012345678901234567890"
                     "1234567890123456789012345678901234567890"));
}

TEST(Md5, ChunkingDoesNotChangeTheDigest) {
    std::string data;
    for (int i = 0; i < 1000; ++i) data.push_back(static_cast<char>(i * 7));
    const std::wstring whole = Digest(data);
    for (size_t chunk : {1u, 3u, 55u, 56u, 63u, 64u, 65u, 128u, 999u}) {
        EXPECT_EQ(whole, Digest(data, chunk)) << chunk;
    }
    // Lengths around the padding boundary.
    for (size_t n = 54; n < 130; ++n)
        EXPECT_EQ(Digest(data.substr(0, n)), Digest(data.substr(0, n), 7));
}
