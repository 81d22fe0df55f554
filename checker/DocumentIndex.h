// Constant-time look-ups over a parsed configuration, and the prerequisite
// set loaded through them. IniDocument's own look-ups scan linearly (right
// for pravel's few dozen keys); the checker reads files of any size, so it
// finds sections and keys through hash tables built once, in time linear in
// the file. The answers are those of IniDocument::FindSection and
// IniSection::FindKey: the first section of a name, the first pair of a key.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "chainer/PrerequisiteSet.h"
#include "config/IniDocument.h"

namespace pravel {

class DocumentIndex {
  public:
    // `document` must outlive the index and stay unchanged.
    explicit DocumentIndex(const IniDocument& document);
    const IniDocument& Document() const { return document_; }
    DocumentIndex(const DocumentIndex&) = delete;
    DocumentIndex& operator=(const DocumentIndex&) = delete;

    // The first section named `name`, or null.
    const IniSection* Section(std::wstring_view name) const;
    // The first pair of `section` (a section of the indexed document) whose
    // key is `key`, or null.
    const IniPair* Key(const IniSection& section, std::wstring_view key) const;
    // The first section [App<n>] and the first pair App<n> of the first
    // [PREREQUISITES] (the look-ups a prerequisite list needs, by number);
    // null when missing.
    const IniSection* AppSection(int n) const;
    const IniPair* ListEntry(int n) const;

  private:
    using PairTable = std::unordered_map<std::wstring_view, const IniPair*>;
    // Sections of up to this many pairs are scanned: faster than hashing,
    // and no table for each of thousands of small sections.
    static constexpr size_t kScanned = 16;

    const IniDocument& document_;
    std::unordered_map<std::wstring_view, const IniSection*> sections_;
    // By position of the section in the document; null for small sections.
    std::vector<std::unique_ptr<PairTable>> pairs_;
    // By number n (index n - 1), for the numbers a file of this size can
    // list.
    std::vector<const IniSection*> apps_;
    std::vector<const IniPair*> listed_;
};

// A section together with the index that answers its look-ups.
class IndexedSection {
  public:
    IndexedSection(const IniSection& section, const DocumentIndex& index)
        : section_(section), index_(index) {}
    const IniSection& Get() const { return section_; }
    const IniPair* Find(std::wstring_view key) const { return index_.Key(section_, key); }

  private:
    const IniSection& section_;
    const DocumentIndex& index_;
};

// Fills `set` exactly as PrerequisiteSet::Load(document, TextExpander())
// does for the indexed document, in time linear in the file: the general
// options, every prerequisite and every search of it are read by pravel's
// own loader from small documents that hold the first occurrence of each
// key it asks for (found through `index`), a few searches at a time.
void LoadPrerequisites(const DocumentIndex& index, PrerequisiteSet& set);

}  // namespace pravel
