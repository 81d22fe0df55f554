// The running Windows version as a plain record, so that naming and the log
// header can be tested anywhere; detect/OsVersionReader.h reads it.
#pragma once

#include <cstdint>
#include <string>

namespace pravel {

// ProductOptions "ProductType" values.
enum OsProductType : uint16_t {
    kProductWorkstation = 1,
    kProductDomainController = 2,
    kProductServer = 3,
};

struct OsVersionInfo {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    int32_t servicePack = 0;
    std::wstring csdVersion;  // at most 127 characters
    uint16_t productType = kProductWorkstation;
    uint16_t suiteMask = 0;
    bool isServer = false;
    bool is64BitOs = false;
    int32_t releaseId = 1507;
};

}  // namespace pravel
