// The running Windows version, read once per process from the registry
// (so the compatibility layer cannot lie about it).
#pragma once

#include "common/OsVersionInfo.h"

namespace pravel {

// The process-wide record, filled on first use (thread-safe). Windows only.
const OsVersionInfo& GetOsVersionInfo();
// Reads the record afresh from the registry (what GetOsVersionInfo keeps).
OsVersionInfo ReadOsVersionInfo();

}  // namespace pravel
