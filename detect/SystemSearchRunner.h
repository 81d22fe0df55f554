// Runs the fifteen search types against the running system.
#pragma once

#include "detect/SearchEvaluation.h"

namespace pravel {

class PrerequisiteSet;

class SystemSearchRunner : public SearchRunner {
  public:
    explicit SystemSearchRunner(const PrerequisiteSet& set) : set_(set) {}
    bool Run(const PrerequisiteSearch& search, bool use64, SearchResult& result) override;

  private:
    const PrerequisiteSet& set_;  // resolves payload files of type 10
};

}  // namespace pravel
