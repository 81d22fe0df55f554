// Text layout of the log file: the banner and machine description written
// at every opening, and the time stamp that starts every record.
#pragma once

#include <cstdint>
#include <string>

#include "common/OsVersionInfo.h"

namespace pravel {

struct LogTime {
    uint32_t year, month, day, hour, minute, second;
};

// "\r\n<< Quillon (x86) Log >>\r\n" (x64 in the 64-bit build).
std::wstring LogBanner();

// "OS Version: 6.1.7601 SP1 (workstation) [x64]\r\n"
std::wstring FormatOsLine(const OsVersionInfo& os);

// Banner, "Program version: 1.0.0\r\n" (the project's version, as in the
// version resources), OS line, "CPU: <brand>\r\n" and an empty line.
std::wstring FormatLogHeader(const OsVersionInfo& os, const std::wstring& cpuBrand);

// "2026-12-07 21-40-42" (date, blank, time with hyphens).
std::wstring FormatLogTimestamp(const LogTime& time);

}  // namespace pravel
