// Why the run ended as it did: the exit code and its reason in the run's
// last log line. (The line after a change of selection, which says whether
// the prerequisite is now to be installed, is
// PrerequisiteSet::LogSelectionChange, defined beside this.)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chainer/PrerequisiteSet.h"

namespace pravel {

// The restart that stopped the installations.
struct RestartStop {
    std::wstring askedBy;               // the prerequisite whose restart it is
    bool installerNeeds = false;        // its installer returned 3010 (else its option r asked)
    std::vector<std::wstring> leftFor;  // prerequisites left for after it, in list order
};

// The run's last line, "Exit code <n>: <why>", after the run over `set`
// (its prerequisites as last decided; `exitCode` is one of the run's codes
// -1, 0 and 1, any other counts as 1):
//  -1: a restart is pending; with `restart`, the prerequisite that needs
//      it ("X returned 3010" or "X asked for it, option r") and those left
//      for after it;
//   1: the mandatory prerequisite that the run's verdict finds missing
//      (PrerequisiteSet::MandatoryPresent: by its decision, selected or
//      not), or "was not decided" when no decision reached it; "the lines
//      before say why" when none is missing (the run stopped on an error);
//   0: in a run whose Options have neither "q" nor "b", the prerequisites
//      selected for installing would be installed, and a missing mandatory
//      one (which such a run does not report by its code) is named;
//      otherwise every mandatory prerequisite is present.
std::wstring ExitCodeLine(const PrerequisiteSet& set, int32_t exitCode,
                          const RestartStop* restart = nullptr);

}  // namespace pravel
