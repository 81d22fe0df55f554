#include "download/Sha256.h"

#include <cstring>
#include <vector>

#include "common/Text.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define PRAVEL_SHA_X86 1
#endif

namespace pravel {

namespace {

constexpr uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

inline uint32_t RotateRight(uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

// The compression function of FIPS 180-4, section 6.2.2, over `blocks`
// consecutive 64-byte blocks.
void CompressPortable(uint32_t state[8], const uint8_t* data, size_t blocks) {
    for (; blocks > 0; --blocks, data += 64) {
        uint32_t w[64];
        for (int t = 0; t < 16; ++t) {
            w[t] = (static_cast<uint32_t>(data[4 * t]) << 24) |
                   (static_cast<uint32_t>(data[4 * t + 1]) << 16) |
                   (static_cast<uint32_t>(data[4 * t + 2]) << 8) |
                   static_cast<uint32_t>(data[4 * t + 3]);
        }
        for (int t = 16; t < 64; ++t) {
            const uint32_t s0 =
                RotateRight(w[t - 15], 7) ^ RotateRight(w[t - 15], 18) ^ (w[t - 15] >> 3);
            const uint32_t s1 =
                RotateRight(w[t - 2], 17) ^ RotateRight(w[t - 2], 19) ^ (w[t - 2] >> 10);
            w[t] = w[t - 16] + s0 + w[t - 7] + s1;
        }
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int t = 0; t < 64; ++t) {
            const uint32_t sum1 = RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25);
            const uint32_t choose = (e & f) ^ (~e & g);
            const uint32_t t1 = h + sum1 + choose + kRoundConstants[t] + w[t];
            const uint32_t sum0 = RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22);
            const uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
            const uint32_t t2 = sum0 + majority;
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

#ifdef PRAVEL_SHA_X86

bool ProcessorHasShaExtensions() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid_max(0, nullptr) < 7) return false;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    const bool ssse3 = (ecx & (1u << 9)) != 0;
    const bool sse41 = (ecx & (1u << 19)) != 0;
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    const bool sha = (ebx & (1u << 29)) != 0;
    return ssse3 && sse41 && sha;
}

// The same compression on the SHA extensions. The state is kept as the
// register pair ABEF/CDGH that the round instruction expects; each group of
// four rounds also extends the message schedule by four words. 32-bit
// Windows only guarantees 4-byte stack alignment: the function realigns.
#if defined(__i386__)
__attribute__((force_align_arg_pointer))
#endif
__attribute__((target("sha,sse4.1,ssse3"))) void
CompressSha(uint32_t state[8], const uint8_t* data, size_t blocks) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i tmp = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)),
                                    0xB1);  // CDAB
    __m128i state1 = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)),
                                       0x1B);          // EFGH
    __m128i state0 = _mm_alignr_epi8(tmp, state1, 8);  // ABEF
    state1 = _mm_blend_epi16(state1, tmp, 0xF0);       // CDGH

    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abefSaved = state0;
        const __m128i cdghSaved = state1;
        __m128i w[4];
        for (int i = 0; i < 4; ++i) {
            w[i] = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byteSwap);
        }
#pragma GCC unroll 16
        for (int g = 0; g < 16; ++g) {
            __m128i& current = w[g & 3];
            __m128i& previous = w[(g + 3) & 3];
            __m128i& next = w[(g + 1) & 3];
            __m128i message = _mm_add_epi32(
                current,
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRoundConstants + 4 * g)));
            state1 = _mm_sha256rnds2_epu32(state1, state0, message);
            if (g >= 3 && g <= 14) {
                next = _mm_add_epi32(next, _mm_alignr_epi8(current, previous, 4));
                next = _mm_sha256msg2_epu32(next, current);
            }
            message = _mm_shuffle_epi32(message, 0x0E);
            state0 = _mm_sha256rnds2_epu32(state0, state1, message);
            if (g >= 1 && g <= 12) previous = _mm_sha256msg1_epu32(previous, current);
        }
        state0 = _mm_add_epi32(state0, abefSaved);
        state1 = _mm_add_epi32(state1, cdghSaved);
    }

    tmp = _mm_shuffle_epi32(state0, 0x1B);        // FEBA
    state1 = _mm_shuffle_epi32(state1, 0xB1);     // DCHG
    state0 = _mm_blend_epi16(tmp, state1, 0xF0);  // DCBA
    state1 = _mm_alignr_epi8(state1, tmp, 8);     // HGFE
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), state0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), state1);
}

#endif  // PRAVEL_SHA_X86

using CompressFunction = void (*)(uint32_t*, const uint8_t*, size_t);

CompressFunction ChooseCompression() {
#ifdef PRAVEL_SHA_X86
    if (ProcessorHasShaExtensions()) return CompressSha;
#endif
    return CompressPortable;
}

// Chosen once per process (thread-safe static initialisation).
CompressFunction Compression() {
    static const CompressFunction chosen = ChooseCompression();
    return chosen;
}

}  // namespace

void Sha256CompressPortable(uint32_t state[8], const uint8_t* data, size_t blocks) {
    CompressPortable(state, data, blocks);
}

bool Sha256CompressAccelerated(uint32_t state[8], const uint8_t* data, size_t blocks) {
#ifdef PRAVEL_SHA_X86
    if (Compression() == CompressSha) {
        CompressSha(state, data, blocks);
        return true;
    }
#endif
    (void)state;
    (void)data;
    (void)blocks;
    return false;
}

Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
             0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19},
      buffer_{} {}

bool Sha256::Accelerated() {
    return Compression() != CompressPortable;
}

void Sha256::Update(const void* data, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    const CompressFunction compress = Compression();
    size_t used = static_cast<size_t>(bytes_ % 64);
    bytes_ += size;
    if (used > 0) {
        const size_t take = size < 64 - used ? size : 64 - used;
        std::memcpy(buffer_ + used, bytes, take);
        used += take;
        bytes += take;
        size -= take;
        if (used < 64) return;
        compress(state_, buffer_, 1);
    }
    if (size >= 64) {
        compress(state_, bytes, size / 64);
        bytes += size - size % 64;
        size %= 64;
    }
    if (size > 0) std::memcpy(buffer_, bytes, size);
}

void Sha256::Final(uint8_t digest[32]) {
    const uint64_t bits = bytes_ * 8;
    const uint8_t pad = 0x80;
    Update(&pad, 1);
    const uint8_t zero[64] = {};
    const size_t used = static_cast<size_t>(bytes_ % 64);
    Update(zero, used <= 56 ? 56 - used : 120 - used);
    uint8_t length[8];
    for (int i = 0; i < 8; ++i) length[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    Update(length, 8);
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = static_cast<uint8_t>(state_[i] >> (24 - 8 * j));
    }
}

std::wstring Sha256::ToHex(const uint8_t digest[32]) {
    return LowerHex(digest, 32);
}

bool IsSha256Text(const std::wstring& text) {
    if (text.size() != 64) return false;
    for (wchar_t c : text) {
        if (HexDigitValue(c) < 0) return false;
    }
    return true;
}

bool Sha256Matches(const std::wstring& configured, const std::wstring& computedHex) {
    if (!IsSha256Text(configured) || computedHex.size() != 64) return false;
    for (size_t i = 0; i < 64; ++i) {
        if (HexDigitValue(configured[i]) != HexDigitValue(computedHex[i])) return false;
    }
    return true;
}

bool ComputeSha256(ByteSource& source, std::wstring& hex) {
    hex.clear();
    std::vector<uint8_t> block(65536);
    Sha256 sha;
    uint64_t total = 0;
    while (true) {
        size_t got = 0;
        if (!source.Read(block.data(), block.size(), got)) return false;
        if (got == 0) break;
        sha.Update(block.data(), got);
        total += got;
    }
    if (total == 0) return false;
    uint8_t digest[32];
    sha.Final(digest);
    hex = Sha256::ToHex(digest);
    return true;
}

bool IsAcceptedBySha256(const std::wstring& configured, ByteSource& source) {
    if (configured.empty()) return true;
    std::wstring hex;
    return ComputeSha256(source, hex) && Sha256Matches(configured, hex);
}

}  // namespace pravel
