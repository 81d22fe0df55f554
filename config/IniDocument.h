// The configuration file's own parser. The file is UTF-16; lines end only at
// CR LF; sections are "[name]" lines; pairs are "key=value" lines with both
// sides trimmed. A byte-order mark (U+FEFF) at a line's start counts as a
// blank, as left by files joined with "copy /b". There is no comment syntax, quoting or escaping.
// Duplicate sections and keys are kept; look-ups return the first exact (case-sensitive) match.
// Every section, pair and ignored line remembers its line number (from 1) so that a checker can
// point at it; the run itself never looks at line numbers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pravel {

struct GeneralOptions;
struct Prerequisite;
struct ChainerSettings;

struct IniPair {
    std::wstring key;
    std::wstring value;
    int line = 0;  // line of the file (from 1); 0 when not parsed from text
};

// A non-empty line that the parser did not use: no "=", or a pair before the
// first section header. `text` is the line as written.
struct IniIgnoredLine {
    int line = 0;
    std::wstring text;
};

class IniSection {
  public:
    explicit IniSection(const std::wstring& name, int line = 0) : name_(name), line_(line) {}

    const std::wstring& Name() const { return name_; }
    int Line() const { return line_; }  // line of the "[name]" header
    const std::vector<IniPair>& Pairs() const { return pairs_; }
    void Append(std::wstring key, std::wstring value, int line = 0);

    // The first pair whose key equals `key` exactly, or null.
    const IniPair* FindKey(std::wstring_view key) const;
    // The same for a narrow ASCII key (the program's own key names).
    const IniPair* FindKey(const char* key) const;

    // Copies the value of `key` into `out` when the key is present.
    bool ReadString(std::wstring_view key, std::wstring& out) const;
    bool ReadString(const char* key, std::wstring& out) const;
    // The value of `key`, or an empty text when it is absent.
    std::wstring StringOrEmpty(std::wstring_view key) const;
    std::wstring StringOrEmpty(const char* key) const;

  private:
    std::wstring name_;
    int line_ = 0;
    std::vector<IniPair> pairs_;
};

class IniDocument {
  public:
    // Replaces the content with the sections of `text`. Never fails on
    // malformed input: lines it cannot use are ignored.
    void Parse(const std::wstring& text);

    // The first section named `name` exactly, or null.
    const IniSection* FindSection(std::wstring_view name) const;
    const IniSection* FindSection(const char* name) const;
    const std::vector<IniSection>& Sections() const { return sections_; }
    const std::vector<IniIgnoredLine>& IgnoredLines() const { return ignored_; }

    // Fills `options` from [GeneralOptions]; absent keys keep the defaults.
    void ReadGeneralOptions(GeneralOptions& options) const;
    // Fills prerequisite n (from 1). False when [PREREQUISITES] lacks "App<n>",
    // its section is missing, it names no location, or one of its searches has
    // a type but no search string: loading stops there.
    bool ReadPrerequisite(int n, Prerequisite& prerequisite) const;
    // False (and `settings` untouched) when [PREREQ_CHAINER] is missing.
    bool ReadChainerSettings(ChainerSettings& settings) const;

  private:
    std::vector<IniSection> sections_;
    std::vector<IniIgnoredLine> ignored_;
};

}  // namespace pravel
