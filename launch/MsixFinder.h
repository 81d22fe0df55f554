// Finds an installed MSIX/AppX package of the current user and tells its
// version, for the package search of the prerequisites.
#pragma once

#include <string>
#include <vector>

#include "detect/PackageIdentity.h"

namespace pravel {

class MsixFinder {
  public:
    // The version texts of all the current user's packages (in the
    // platform's order) whose name equals `name` and, where given, whose
    // publisher and architecture text equal `publisher` and `architecture`;
    // empty when none matches. A package whose identity cannot be read is
    // skipped (and logged). The query runs on a thread of its own in the
    // multithreaded COM apartment, which the caller waits for; the caller
    // needs no apartment. A thread that cannot be created, a failed COM
    // initialisation and every failing platform call give the empty result.
    // Never throws.
    std::vector<std::wstring> Find(const std::wstring& name, const std::wstring& publisher,
                                   const std::wstring& architecture) noexcept;

  private:
    PackageCriteria criteria_;
    std::vector<std::wstring> result_;
};

}  // namespace pravel
