#include "download/Md5.h"

#include <cstring>

#include "common/Text.h"

namespace pravel {

namespace {

// The four rounds written out step by step: the per-step constants become
// immediates and nothing branches, which is what makes the hash keep up
// with the disk (the loop form with a table and a switch per step is about
// three times slower).
inline uint32_t RotateLeft(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}
inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) {
    return z ^ (x & (y ^ z));
}
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) {
    return y ^ (z & (x ^ y));
}
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) {
    return x ^ y ^ z;
}
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) {
    return y ^ (x | ~z);
}

#define PRAVEL_MD5_STEP(f, a, b, c, d, m, k, s) a = b + RotateLeft(a + f(b, c, d) + (m) + (k), s)

}  // namespace

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476}, buffer_{} {}

void Md5::Transform(const uint8_t block[64]) {
    uint32_t m[16];
    for (int i = 0; i < 16; ++i) {
        m[i] = static_cast<uint32_t>(block[4 * i]) |
               (static_cast<uint32_t>(block[4 * i + 1]) << 8) |
               (static_cast<uint32_t>(block[4 * i + 2]) << 16) |
               (static_cast<uint32_t>(block[4 * i + 3]) << 24);
    }
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];

    PRAVEL_MD5_STEP(F, a, b, c, d, m[0], 0xd76aa478, 7);
    PRAVEL_MD5_STEP(F, d, a, b, c, m[1], 0xe8c7b756, 12);
    PRAVEL_MD5_STEP(F, c, d, a, b, m[2], 0x242070db, 17);
    PRAVEL_MD5_STEP(F, b, c, d, a, m[3], 0xc1bdceee, 22);
    PRAVEL_MD5_STEP(F, a, b, c, d, m[4], 0xf57c0faf, 7);
    PRAVEL_MD5_STEP(F, d, a, b, c, m[5], 0x4787c62a, 12);
    PRAVEL_MD5_STEP(F, c, d, a, b, m[6], 0xa8304613, 17);
    PRAVEL_MD5_STEP(F, b, c, d, a, m[7], 0xfd469501, 22);
    PRAVEL_MD5_STEP(F, a, b, c, d, m[8], 0x698098d8, 7);
    PRAVEL_MD5_STEP(F, d, a, b, c, m[9], 0x8b44f7af, 12);
    PRAVEL_MD5_STEP(F, c, d, a, b, m[10], 0xffff5bb1, 17);
    PRAVEL_MD5_STEP(F, b, c, d, a, m[11], 0x895cd7be, 22);
    PRAVEL_MD5_STEP(F, a, b, c, d, m[12], 0x6b901122, 7);
    PRAVEL_MD5_STEP(F, d, a, b, c, m[13], 0xfd987193, 12);
    PRAVEL_MD5_STEP(F, c, d, a, b, m[14], 0xa679438e, 17);
    PRAVEL_MD5_STEP(F, b, c, d, a, m[15], 0x49b40821, 22);

    PRAVEL_MD5_STEP(G, a, b, c, d, m[1], 0xf61e2562, 5);
    PRAVEL_MD5_STEP(G, d, a, b, c, m[6], 0xc040b340, 9);
    PRAVEL_MD5_STEP(G, c, d, a, b, m[11], 0x265e5a51, 14);
    PRAVEL_MD5_STEP(G, b, c, d, a, m[0], 0xe9b6c7aa, 20);
    PRAVEL_MD5_STEP(G, a, b, c, d, m[5], 0xd62f105d, 5);
    PRAVEL_MD5_STEP(G, d, a, b, c, m[10], 0x02441453, 9);
    PRAVEL_MD5_STEP(G, c, d, a, b, m[15], 0xd8a1e681, 14);
    PRAVEL_MD5_STEP(G, b, c, d, a, m[4], 0xe7d3fbc8, 20);
    PRAVEL_MD5_STEP(G, a, b, c, d, m[9], 0x21e1cde6, 5);
    PRAVEL_MD5_STEP(G, d, a, b, c, m[14], 0xc33707d6, 9);
    PRAVEL_MD5_STEP(G, c, d, a, b, m[3], 0xf4d50d87, 14);
    PRAVEL_MD5_STEP(G, b, c, d, a, m[8], 0x455a14ed, 20);
    PRAVEL_MD5_STEP(G, a, b, c, d, m[13], 0xa9e3e905, 5);
    PRAVEL_MD5_STEP(G, d, a, b, c, m[2], 0xfcefa3f8, 9);
    PRAVEL_MD5_STEP(G, c, d, a, b, m[7], 0x676f02d9, 14);
    PRAVEL_MD5_STEP(G, b, c, d, a, m[12], 0x8d2a4c8a, 20);

    PRAVEL_MD5_STEP(H, a, b, c, d, m[5], 0xfffa3942, 4);
    PRAVEL_MD5_STEP(H, d, a, b, c, m[8], 0x8771f681, 11);
    PRAVEL_MD5_STEP(H, c, d, a, b, m[11], 0x6d9d6122, 16);
    PRAVEL_MD5_STEP(H, b, c, d, a, m[14], 0xfde5380c, 23);
    PRAVEL_MD5_STEP(H, a, b, c, d, m[1], 0xa4beea44, 4);
    PRAVEL_MD5_STEP(H, d, a, b, c, m[4], 0x4bdecfa9, 11);
    PRAVEL_MD5_STEP(H, c, d, a, b, m[7], 0xf6bb4b60, 16);
    PRAVEL_MD5_STEP(H, b, c, d, a, m[10], 0xbebfbc70, 23);
    PRAVEL_MD5_STEP(H, a, b, c, d, m[13], 0x289b7ec6, 4);
    PRAVEL_MD5_STEP(H, d, a, b, c, m[0], 0xeaa127fa, 11);
    PRAVEL_MD5_STEP(H, c, d, a, b, m[3], 0xd4ef3085, 16);
    PRAVEL_MD5_STEP(H, b, c, d, a, m[6], 0x04881d05, 23);
    PRAVEL_MD5_STEP(H, a, b, c, d, m[9], 0xd9d4d039, 4);
    PRAVEL_MD5_STEP(H, d, a, b, c, m[12], 0xe6db99e5, 11);
    PRAVEL_MD5_STEP(H, c, d, a, b, m[15], 0x1fa27cf8, 16);
    PRAVEL_MD5_STEP(H, b, c, d, a, m[2], 0xc4ac5665, 23);

    PRAVEL_MD5_STEP(I, a, b, c, d, m[0], 0xf4292244, 6);
    PRAVEL_MD5_STEP(I, d, a, b, c, m[7], 0x432aff97, 10);
    PRAVEL_MD5_STEP(I, c, d, a, b, m[14], 0xab9423a7, 15);
    PRAVEL_MD5_STEP(I, b, c, d, a, m[5], 0xfc93a039, 21);
    PRAVEL_MD5_STEP(I, a, b, c, d, m[12], 0x655b59c3, 6);
    PRAVEL_MD5_STEP(I, d, a, b, c, m[3], 0x8f0ccc92, 10);
    PRAVEL_MD5_STEP(I, c, d, a, b, m[10], 0xffeff47d, 15);
    PRAVEL_MD5_STEP(I, b, c, d, a, m[1], 0x85845dd1, 21);
    PRAVEL_MD5_STEP(I, a, b, c, d, m[8], 0x6fa87e4f, 6);
    PRAVEL_MD5_STEP(I, d, a, b, c, m[15], 0xfe2ce6e0, 10);
    PRAVEL_MD5_STEP(I, c, d, a, b, m[6], 0xa3014314, 15);
    PRAVEL_MD5_STEP(I, b, c, d, a, m[13], 0x4e0811a1, 21);
    PRAVEL_MD5_STEP(I, a, b, c, d, m[4], 0xf7537e82, 6);
    PRAVEL_MD5_STEP(I, d, a, b, c, m[11], 0xbd3af235, 10);
    PRAVEL_MD5_STEP(I, c, d, a, b, m[2], 0x2ad7d2bb, 15);
    PRAVEL_MD5_STEP(I, b, c, d, a, m[9], 0xeb86d391, 21);

    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

#undef PRAVEL_MD5_STEP

void Md5::Update(const void* data, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    size_t used = static_cast<size_t>(bytes_ % 64);
    bytes_ += size;
    if (used != 0) {
        const size_t take = size < 64 - used ? size : 64 - used;
        std::memcpy(buffer_ + used, bytes, take);
        used += take;
        bytes += take;
        size -= take;
        if (used < 64) return;
        Transform(buffer_);
    }
    for (; size >= 64; bytes += 64, size -= 64) Transform(bytes);
    if (size != 0) std::memcpy(buffer_, bytes, size);
}

void Md5::Final(uint8_t digest[16]) {
    const uint64_t bits = bytes_ * 8;
    static const uint8_t kPad[64] = {0x80};
    const size_t used = static_cast<size_t>(bytes_ % 64);
    Update(kPad, used < 56 ? 56 - used : 120 - used);
    uint8_t length[8];
    for (int i = 0; i < 8; ++i) length[i] = static_cast<uint8_t>(bits >> (8 * i));
    Update(length, 8);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(state_[i] >> (8 * j));
    }
}

std::wstring Md5::ToHex(const uint8_t digest[16]) {
    return LowerHex(digest, 16);
}

}  // namespace pravel
