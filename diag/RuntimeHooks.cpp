// Replacements for a few libstdc++ hooks, linked straight into pravel.exe.
// Each default would drag large parts of the library into a static program
// only to build message texts nobody reads:
// - the verbose terminate handler pulls in the C++ name demangler (~50 KB);
// - the std::__throw_* helpers pull in std::string, the exception classes of
//   <stdexcept> and their copy-on-write message strings (~90 KB).
// The helpers throw the program's own HResultError instead (E_FAIL for
// string failures, 0x8000000B for an index outside a container,
// E_INVALIDARG), which the prerequisite run catches like every other error.
// An exception that nobody catches ends the process with abort().
#include <cstdlib>
#include <new>

#include "common/HResultError.h"

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx

namespace std {
void __throw_length_error(const char*) {
    pravel::ThrowHr(pravel::kHrFail);
}
void __throw_logic_error(const char*) {
    pravel::ThrowHr(pravel::kHrFail);
}
void __throw_out_of_range(const char*) {
    pravel::ThrowHr(pravel::kHrBounds);
}
void __throw_out_of_range_fmt(const char*, ...) {
    pravel::ThrowHr(pravel::kHrBounds);
}
void __throw_invalid_argument(const char*) {
    pravel::ThrowHr(pravel::kHrInvalidArg);
}
void __throw_bad_alloc() {
    throw std::bad_alloc();
}
void __throw_bad_array_new_length() {
    throw std::bad_alloc();
}
}  // namespace std
