#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "download/Sha256.h"

using namespace pravel;

namespace {

std::wstring Digest(const std::string& data, size_t chunk = 0) {
    Sha256 sha;
    if (chunk == 0) {
        sha.Update(data.data(), data.size());
    } else {
        for (size_t i = 0; i < data.size(); i += chunk) {
            sha.Update(data.data() + i, std::min(chunk, data.size() - i));
        }
    }
    uint8_t digest[32];
    sha.Final(digest);
    return Sha256::ToHex(digest);
}

// Deterministic bytes that are not a short period.
std::string Pattern(size_t size) {
    std::string data(size, '\0');
    uint32_t x = 2463534242u;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        data[i] = static_cast<char>(x);
    }
    return data;
}

class MemorySource : public ByteSource {
  public:
    MemorySource(std::string data, size_t step, bool failAtEnd = false)
        : data_(std::move(data)), step_(step), failAtEnd_(failAtEnd) {}
    bool Read(uint8_t* buffer, size_t capacity, size_t& got) override {
        got = std::min({capacity, step_, data_.size() - at_});
        if (got == 0 && failAtEnd_) return false;
        std::memcpy(buffer, data_.data() + at_, got);
        at_ += got;
        return true;
    }

  private:
    std::string data_;
    size_t step_;
    bool failAtEnd_;
    size_t at_ = 0;
};

}  // namespace

// FIPS 180-4 examples (one block, two blocks, a million "a") and the empty message.
TEST(Sha256, StandardExamples) {
    EXPECT_EQ(L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", Digest("abc"));
    EXPECT_EQ(L"248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
              Digest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"));
    EXPECT_EQ(L"cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1",
              Digest("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmno"
                     "ijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu"));
    EXPECT_EQ(L"cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0",
              Digest(std::string(1000000, 'a'), 4096));
    EXPECT_EQ(L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", Digest(""));
}

TEST(Sha256, ChunkingAndPaddingBoundariesDoNotChangeTheDigest) {
    const std::string data = Pattern(1000);
    const std::wstring whole = Digest(data);
    for (size_t chunk : {1u, 3u, 55u, 56u, 63u, 64u, 65u, 128u, 999u}) {
        EXPECT_EQ(whole, Digest(data, chunk)) << chunk;
    }
    for (size_t n = 50; n < 140; ++n) {
        EXPECT_EQ(Digest(data.substr(0, n)), Digest(data.substr(0, n), 7)) << n;
    }
}

// The processor's SHA extensions (when present) compute what the portable code does.
TEST(Sha256, AcceleratedCompressionEqualsPortable) {
    const std::string data = Pattern(64 * 37);
    uint32_t portable[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    uint32_t accelerated[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    Sha256CompressPortable(portable, reinterpret_cast<const uint8_t*>(data.data()), 37);
    if (!Sha256CompressAccelerated(accelerated, reinterpret_cast<const uint8_t*>(data.data()),
                                   37)) {
        EXPECT_FALSE(Sha256::Accelerated());
        GTEST_SKIP() << "this processor has no SHA extensions";
    }
    EXPECT_TRUE(Sha256::Accelerated());
    for (int i = 0; i < 8; ++i) EXPECT_EQ(portable[i], accelerated[i]) << i;
}

TEST(Sha256, ConfiguredTextsMatchIgnoringCaseAndOnlyWhenWellFormed) {
    const std::wstring computed =
        L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
    EXPECT_TRUE(IsSha256Text(computed));
    EXPECT_TRUE(Sha256Matches(L"E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855",
                              computed));
    EXPECT_TRUE(Sha256Matches(computed, computed));
    // One digit off, one short, one too long, a non-digit: never a match.
    EXPECT_FALSE(Sha256Matches(L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b856",
                               computed));
    EXPECT_FALSE(Sha256Matches(computed.substr(0, 63), computed));
    EXPECT_FALSE(Sha256Matches(computed + L"0", computed));
    EXPECT_FALSE(IsSha256Text(computed.substr(0, 63) + L"g"));
    EXPECT_FALSE(Sha256Matches(L"", computed));
}

TEST(Sha256, ComputeReadsTheWholeSourceAndRejectsEmptyOrFailingOnes) {
    const std::string data = Pattern(200000);
    std::wstring hex;
    MemorySource source(data, 10007);  // reads shorter than the 64 KiB block
    ASSERT_TRUE(ComputeSha256(source, hex));
    EXPECT_EQ(Digest(data), hex);

    MemorySource empty("", 100);
    EXPECT_FALSE(ComputeSha256(empty, hex));
    EXPECT_TRUE(hex.empty());

    MemorySource failing(data, 70000, true);
    EXPECT_FALSE(ComputeSha256(failing, hex));
    EXPECT_TRUE(hex.empty());
}

TEST(Sha256, AcceptanceStepAfterSizeAndMd5) {
    MemorySource unused("abc", 3);
    EXPECT_TRUE(IsAcceptedBySha256(L"", unused));  // no SHA256 key: nothing to test
    MemorySource abc("abc", 3);
    EXPECT_TRUE(IsAcceptedBySha256(
        L"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD", abc));
    MemorySource other("abd", 3);
    EXPECT_FALSE(IsAcceptedBySha256(
        L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", other));
    MemorySource empty("", 3);
    EXPECT_FALSE(IsAcceptedBySha256(
        L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", empty));
}
