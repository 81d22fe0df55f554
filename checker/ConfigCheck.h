// The configuration checker: reads a configuration file's bytes with the
// program's own decoding, parser and loader, and reports where pravel would
// not do what the file seems to say. Errors: pravel loses part of the file
// (wrong encoding, a prerequisite list that stops early). Warnings: keys
// pravel never reads, values it reads differently from how they look, and
// settings that leave a download or an installation unchecked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "chainer/IniDocument.h"
#include "chainer/PrerequisiteSet.h"
#include "checker/KeyNames.h"

namespace pravel {

enum class Severity { kWarning, kError };

struct Finding {
    int line = 0;  // line of the configuration (from 1); 0: the file as a whole
    Severity severity = Severity::kWarning;
    std::wstring text;
};

struct CheckReport {
    std::vector<Finding> findings;  // ordered by line, then as found
    // False when the encoding leaves nothing that pravel could use; the
    // document and set are then empty.
    bool readable = true;
    IniDocument document;
    PrerequisiteSet set;  // as pravel loads it (locations as written)
    // Prerequisites named in [PREREQUISITES] (App<n> keys, first of each).
    size_t listed = 0;

    int Errors() const;
    int Warnings() const;
};

// Checks a whole file of `size` bytes. Never fails: every problem is a finding.
CheckReport CheckConfiguration(const uint8_t* bytes, size_t size);

// "FILE:LINE: error: TEXT" / "FILE:LINE: warning: TEXT".
std::wstring FormatFinding(const std::wstring& file, const Finding& finding);
// "FILE: 1 error, 2 warnings; 3 of 4 prerequisites loaded".
std::wstring FormatSummary(const std::wstring& file, const CheckReport& report);
// 0 without findings, 1 with warnings only, 2 with at least one error.
int CheckExitCode(const CheckReport& report);

}  // namespace pravel
