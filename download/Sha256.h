// SHA-256 (FIPS 180-4), the program's own portable code: used to accept
// downloaded files whose configuration gives a SHA256 value. On x86
// processors with the SHA extensions the compression runs on them (chosen
// once per process at run time); the result is the same either way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pravel {

class Sha256 {
  public:
    Sha256();
    void Update(const void* data, size_t size);
    // Finishes the digest; the object must not be updated afterwards.
    void Final(uint8_t digest[32]);
    // 64 lowercase hexadecimal digits of a finished digest.
    static std::wstring ToHex(const uint8_t digest[32]);

    // True when the processor's SHA extensions are used.
    static bool Accelerated();

  private:
    uint32_t state_[8];
    uint64_t bytes_ = 0;
    uint8_t buffer_[64];
};

// The two compressions over `blocks` 64-byte blocks, for tests that compare
// them. The accelerated one returns false (state untouched) when the
// processor lacks the SHA extensions.
void Sha256CompressPortable(uint32_t state[8], const uint8_t* data, size_t blocks);
bool Sha256CompressAccelerated(uint32_t state[8], const uint8_t* data, size_t blocks);

// True when `text` is exactly 64 hexadecimal digits (either case): the form
// a SHA256 key must have.
bool IsSha256Text(const std::wstring& text);

// Compares a configured SHA256 value with a computed digest text, ignoring
// the letter case of the configured value. A configured value that is not
// exactly 64 hexadecimal digits never matches.
bool Sha256Matches(const std::wstring& configured, const std::wstring& computedHex);

// Where the bytes of a file come from: the Windows reader, or a test's.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Reads up to `capacity` bytes into `buffer`; sets `got` (0 at the end).
    // False on a read error.
    virtual bool Read(uint8_t* buffer, size_t capacity, size_t& got) = 0;
};

// Hashes everything `source` delivers, in blocks of 65536 bytes. False (and
// `hex` empty) when a read fails or the source delivers no byte at all: an
// empty download is never accepted by its digest.
bool ComputeSha256(ByteSource& source, std::wstring& hex);

// The SHA-256 step of download acceptance, after the size and MD5 tests:
// true when `configured` is empty (no SHA256 key), or when the digest of
// what `source` delivers matches it. A read failure or an empty file rejects.
bool IsAcceptedBySha256(const std::wstring& configured, ByteSource& source);

}  // namespace pravel
