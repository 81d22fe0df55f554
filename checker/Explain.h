// The --explain text of the configuration checker: for the run as a whole
// and for every loaded prerequisite, a few plain sentences on what pravel
// will do with it (how it is detected, what happens when it is missing, the
// command line per run mode, its option letters and its restrictions).
#pragma once

#include <string>

#include "chainer/PrerequisiteSet.h"
#include "checker/ConfigCheck.h"
#include "config/IniDocument.h"

namespace pravel {

// Lines separated by "\n", ending with one, for a readable report.
std::wstring ExplainConfiguration(const CheckReport& report);

// The arguments an installer gets for `prerequisite` in run mode `uiMode`
// (0 silent, 1 basic UI, 2 neither): CommandLine, completed by the first of
// its letters "b", "q", "j", "n" with one blank and BasicUiCommandLine or
// NoUiCommandLine.
std::wstring InstallerArguments(const Prerequisite& prerequisite, int uiMode);

// One search in words, e.g. "the registry value HKCU\X\Version holds a
// version of at least 2.1".
std::wstring DescribeSearch(const PrerequisiteSearch& search);

}  // namespace pravel
