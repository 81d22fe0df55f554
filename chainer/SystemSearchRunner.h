// Runs the fifteen search types against the running system. The values a
// search reads are kept in its result's foundValues (type 9: the value it
// compared, when it could be read).
#pragma once

#include "detect/SearchEvaluation.h"

namespace pravel {

class PrerequisiteSet;

class SystemSearchRunner : public SearchRunner {
  public:
    explicit SystemSearchRunner(const PrerequisiteSet& set) : set_(set) {}
    bool Run(const PrerequisiteSearch& search, bool use64, SearchResult& result) override;
    // Logs what the search read and why it was found or not (SearchReport.h).
    void Decided(size_t number, const PrerequisiteSearch& search,
                 const SearchResult& result) override;

  private:
    const PrerequisiteSet& set_;  // resolves payload files of type 10
};

}  // namespace pravel
