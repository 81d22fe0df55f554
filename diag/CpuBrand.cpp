#include "diag/CpuBrand.h"

#include <cpuid.h>

#include <cstring>

#include "common/Text.h"

namespace pravel {

std::wstring CpuBrandString() {
    unsigned int regs[4] = {0, 0, 0, 0};
    __cpuid(0x80000000u, regs[0], regs[1], regs[2], regs[3]);
    if (regs[0] <= 0x80000003u) return L"UnkownCPU";
    char brand[49] = {};
    for (unsigned int i = 0; i < 3; ++i) {
        __cpuid(0x80000002u + i, regs[0], regs[1], regs[2], regs[3]);
        std::memcpy(brand + i * 16, regs, 16);
    }
    return WidenLatin1(std::string(brand));
}

}  // namespace pravel
