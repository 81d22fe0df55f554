// The log line that says why a search found a prerequisite or not: what it
// read and the comparison that decided it. Text only; the SystemSearchRunner
// logs it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "config/Configuration.h"

namespace pravel {

// "Search <number> (<SearchString>): <what>: found" (or "not found").
// <what> for the types that collect values (and type 9): "nothing read", or
// "read" and the values read in quotes (at most ten, then "and <n> more"),
// each with its verdict against VerMin and VerMax up to the first accepted
// one (accepted, no version, pre-release, below VerMin, above VerMax), then
// the bounds ("; VerMin=<min>, VerMax=<max>") or "; no VerMin or VerMax: any
// value counts"; a file search (type 0) names the file it read after its
// version ("from <path>", result.value) unless that is the path written in
// SearchString; type 9 instead names its RefContent comparison and whether
// it holds. The other types say what the system answered ("the key opened",
// "the value does not exist", ...). `result` carries the decided found flag.
std::wstring DescribeSearch(size_t number, const PrerequisiteSearch& search,
                            const SearchResult& result);

}  // namespace pravel
