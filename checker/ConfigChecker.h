// The checks of one configuration as pravel reads it (checker/ConfigCheck.h
// runs them): the file's sections and keys (SectionCheck.cpp), the window
// texts (TextsCheck.cpp) and the prerequisite list (ListCheck.cpp). Each
// finding is added to the report in the order found.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "checker/ConfigCheck.h"
#include "checker/DocumentIndex.h"
#include "config/IniDocument.h"

namespace pravel {

// "App<n>".
std::wstring AppKey(int n);

class ConfigChecker {
  public:
    ConfigChecker(CheckReport& report, const DocumentIndex& index, const FileReader& readFile)
        : report_(report), doc_(report.document), index_(index), readFile_(readFile) {}

    // Every check in order: the ignored lines, the sections and their keys,
    // [GeneralOptions], the prerequisite list, [PREREQ_CHAINER].
    void Run();

  private:
    struct Listed {
        int number = 0;
        const IniPair* entry = nullptr;       // App<n> in [PREREQUISITES]
        const IniSection* section = nullptr;  // [App<n>], first of that name
    };

    void Error(int line, const std::wstring& text) {
        report_.findings.push_back(Finding{line, Severity::kError, text});
    }
    void Warning(int line, const std::wstring& text) {
        report_.findings.push_back(Finding{line, Severity::kWarning, text});
    }
    void Note(int line, const std::wstring& text) {
        report_.findings.push_back(Finding{line, Severity::kNote, text});
    }

    // Sections and keys (SectionCheck.cpp).
    void CheckIgnoredLines();
    void CheckSections();
    void CheckKeys(const IniSection& section);
    void CheckUnknownKey(const IniSection& section, const IniPair& pair);
    void CheckGeneralOptions();
    void CheckChainer();
    // "; add the line "App3=<its name>" to [PREREQUISITES] ...": how to list
    // the section App<n>.
    std::wstring HowToList(int n) const;
    // Window texts (TextsCheck.cpp).
    void CheckTextKey(const IniSection& section, const IniPair& pair);
    void CheckTextsSection(const IniSection& section, const std::wstring& language);
    void CheckIcon(const IniPair& pair);
    // The prerequisite list (ListCheck.cpp).
    void CheckList();
    bool Defects(const Listed& item, const std::wstring& neverLoaded);
    std::wstring NeverLoaded(int from) const;
    std::wstring Named(const Listed& item) const;

    CheckReport& report_;
    const IniDocument& doc_;
    const DocumentIndex& index_;
    const FileReader& readFile_;
    std::vector<Listed> listed_;  // ordered by number
    int firstFree_ = 1;           // the first number listed_ lacks
    std::vector<std::wstring> listedNames_;
    std::unordered_set<std::wstring> listedNameSet_;
};

}  // namespace pravel
