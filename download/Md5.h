// MD5 (RFC 1321), the program's own: used to accept downloaded files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pravel {

class Md5 {
  public:
    Md5();
    void Update(const void* data, size_t size);
    // Finishes the digest; the object must not be updated afterwards.
    void Final(uint8_t digest[16]);
    // 32 lowercase hexadecimal digits of the finished digest.
    static std::wstring ToHex(const uint8_t digest[16]);

  private:
    void Transform(const uint8_t block[64]);
    uint32_t state_[4];
    uint64_t bytes_ = 0;
    uint8_t buffer_[64];
};

}  // namespace pravel
