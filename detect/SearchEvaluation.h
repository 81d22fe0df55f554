// The platform-free rules of the prerequisite searches: which search types
// collect values that version acceptance then judges, how the searches of
// one prerequisite combine, the value comparisons of type 9, and the
// parsing of file-search strings. The platform part is a SearchRunner.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/Configuration.h"

namespace pravel {

enum SearchType : int32_t {
    kSearchFile = 0,            // file version (path, optional "?depth")
    kSearchSubkeyNames = 1,     // names of a key's subkeys
    kSearchRegistryValue = 2,   // a value's data as text
    kSearchMsiProduct = 3,      // a product's VersionString
    kSearchMsiUpgradeCode = 4,  // VersionString of every related product
    kSearchKeyExists = 5,
    kSearchKeyMissing = 6,
    kSearchValueExists = 7,
    kSearchValueMissing = 8,
    kSearchValueCompare = 9,     // a value compared with RefContent
    kSearchRunProgram = 10,      // a payload program exits with 0
    kSearchMsiComponent = 11,    // a component installed locally or from source
    kSearchValueNames = 12,      // names of a key's values
    kSearchPackage = 13,         // an MSIX/AppX package's version
    kSearchSubfolderNames = 14,  // names of a folder's subfolders
};

// Runs one search against the system. For the collecting types (0-4 and
// 12-14) it fills result.foundValues; for the others it returns the found
// flag. It never throws for "not found"; only real errors propagate.
class SearchRunner {
  public:
    virtual ~SearchRunner() = default;
    virtual bool Run(const PrerequisiteSearch& search, bool use64, SearchResult& result) = 0;
    // Told every search that ran, numbered from 1, once its found flag is
    // decided (the system runner logs why). Nothing by default.
    virtual void Decided(size_t, const PrerequisiteSearch&, const SearchResult&) {}
};

bool IsCollectingSearch(int32_t type);

// Runs `searches` in order and combines them: operator 0 needs all to be
// found, operator 1 one; any other operator stays false. Stops as soon as
// the answer cannot change; only searches that ran leave a result.
bool EvaluateSearches(const std::vector<PrerequisiteSearch>& searches,
                      std::vector<SearchResult>& results, int32_t op, bool use64,
                      SearchRunner& runner);

// Type 9: the first character of `refContent` is the operator (M D C X S E
// G L), the rest the reference text. Case-sensitive; G and L need decimal
// digits only on both sides.
bool CompareWithReference(const std::wstring& value, const std::wstring& refContent);

struct FileSearchTarget {
    std::wstring path;
    int32_t depth = 0;
};
// "path?depth": a "?" after the first character splits off the depth.
FileSearchTarget ParseFileSearchString(const std::wstring& searchString);
// A path without "\", "]", "%" and "!" is a bare name looked for on every fixed drive.
bool IsBareFileName(const std::wstring& path);

}  // namespace pravel
