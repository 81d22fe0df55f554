// The warnings about one prerequisite section, [App<n>]: location keys
// behind the one pravel uses, digests and numbers in the wrong form, search
// numbering and types, downloads that nothing checks, command lines that are
// never passed, parents and language lists, and relative setup files.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "checker/ConfigCheck.h"
#include "checker/DocumentIndex.h"
#include "config/Configuration.h"
#include "config/IniDocument.h"

namespace pravel {

struct PrerequisiteContext {
    std::wstring displayName;                               // App2 "Name"
    const std::vector<std::wstring>* listedNames;           // names in [PREREQUISITES]
    const std::unordered_set<std::wstring>* listedNameSet;  // the same, for look-ups
    const GeneralOptions* options;                          // as pravel loads them
};

// Appends the warnings about `section` to `findings`.
void CheckPrerequisiteSection(const IndexedSection& section, const PrerequisiteContext& context,
                              std::vector<Finding>& findings);

}  // namespace pravel
