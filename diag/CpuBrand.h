#pragma once

#include <string>

namespace pravel {

// The processor brand string of CPUID 0x80000002..0x80000004, or
// "UnkownCPU" when the processor has no such functions.
std::wstring CpuBrandString();

}  // namespace pravel
