// The program's ordinary failure: an exception that carries only an HRESULT.
// Thrown for failed platform calls, allocation failures (E_FAIL or
// E_OUTOFMEMORY) and indexes outside a list (0x8000000B); the prerequisite
// run catches it, logs the code and goes on with what it has.
#pragma once

#include <cstdint>

#include "common/ErrorCodes.h"

namespace pravel {

class HResultError {
  public:
    explicit HResultError(int32_t hr) noexcept : hr_(hr) {}
    int32_t Code() const noexcept { return hr_; }

  private:
    int32_t hr_;
};

[[noreturn]] inline void ThrowHr(int32_t hr) {
    throw HResultError(hr);
}
[[noreturn]] inline void ThrowWin32(uint32_t error) {
    throw HResultError(HResultFromWin32(error));
}

}  // namespace pravel
