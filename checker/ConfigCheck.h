// The configuration checker: reads a configuration file's bytes with the
// program's own decoding, parser and loader, and reports where pravel would
// not do what the file seems to say. Errors: pravel loses part of the file
// (wrong encoding or line ends, a prerequisite list that stops early).
// Warnings: keys pravel never reads, values it reads differently from how
// they look, settings that leave a download or an installation unchecked,
// and a log that goes elsewhere. Notes: what pravel does that is easy to
// miss (the files the end of every run removes); they are not findings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "chainer/PrerequisiteSet.h"
#include "checker/KeyNames.h"
#include "config/IniDocument.h"

namespace pravel {

enum class Severity { kWarning, kError, kNote };

struct Finding {
    // Line of the configuration (from 1) as an editor shows it; 0: the file
    // as a whole.
    int line = 0;
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
    // The file's name ("pravel.ini"): the program that reads it is named
    // after it.
    std::wstring fileName;
    // editorLines[n]: the line an editor shows for pravel's line n (pravel
    // ends lines only at CR LF, an editor also at a lone LF or CR); empty
    // when they are the same.
    std::vector<int> editorLines;

    int Errors() const;
    int Warnings() const;
    int Notes() const;
    // The editor's line for pravel's line `line` (IniDocument's numbering).
    int EditorLine(int line) const;
};

// What a file that the configuration names is, for the checks of its
// content (Icon): read (`bytes` filled), missing, or not looked at (a full
// path the checking system cannot open: a Windows path on Linux). Whether a
// shipped file is missing is judged by checker/ShippedFiles.h.
enum class FileLook { kRead, kMissing, kNotLooked };
// Reads the file at `path` as written in the configuration (relative to the
// configuration's folder unless it is a full path).
using FileReader = std::function<FileLook(const std::wstring& path, std::vector<uint8_t>& bytes)>;

// Checks a whole file of `size` bytes named `fileName` (its name only; the
// program that reads it bears the same name). Never fails: every problem is
// a finding. Without `readFile` the files it names are not looked at.
CheckReport CheckConfiguration(const uint8_t* bytes, size_t size,
                               const std::wstring& fileName = L"pravel.ini",
                               const FileReader& readFile = nullptr);

// True for a path on a network share: "\\server\share\...", "//server/share/..."
// or "\\?\UNC\server\share\..." (not "\\?\C:\..." or "\\.\...").
bool IsNetworkPath(const std::wstring& path);

// "FILE:LINE: error: TEXT" / "FILE:LINE: warning: TEXT" / "FILE:LINE: note: TEXT".
std::wstring FormatFinding(const std::wstring& file, const Finding& finding);
// "FILE: 1 error, 2 warnings; 3 of 4 prerequisites loaded" ("1 error, 2
// warnings, 1 note" and "no findings (1 note)" with notes).
std::wstring FormatSummary(const std::wstring& file, const CheckReport& report);
// 0 without findings, 1 with warnings only, 2 with at least one error
// (notes do not count).
int CheckExitCode(const CheckReport& report);

}  // namespace pravel
