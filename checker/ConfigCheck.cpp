#include "checker/ConfigCheck.h"

#include <algorithm>

#include "chainer/ConfigFile.h"
#include "checker/KeyNames.h"
#include "checker/PrerequisiteCheck.h"
#include "common/ErrorCodes.h"
#include "common/IntegerRule.h"
#include "common/Text.h"
#include "detect/SearchEvaluation.h"
#include "download/Sha256.h"

namespace pravel {

namespace {

bool LooksLikeComment(const std::wstring& text) {
    const std::wstring t = TrimWhite(text);
    return StartsWith(t, L";") || StartsWith(t, L"#") || StartsWith(t, L"//");
}

std::wstring AppKey(int n) {
    return L"App" + ToDecimal(n);
}

// --- The checker -------------------------------------------------------------

class Checker {
  public:
    explicit Checker(CheckReport& report) : report_(report), doc_(report.document) {}

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

    void CheckIgnoredLines();
    void CheckSections();
    void CheckKeys(const IniSection& section);
    void CheckUnknownKey(const IniSection& section, const IniPair& pair);
    void CheckList();
    void CheckGeneralOptions();
    bool Defects(const Listed& item, const std::wstring& neverLoaded);
    std::wstring NeverLoaded(int from) const;
    std::wstring Named(const Listed& item) const;

    CheckReport& report_;
    const IniDocument& doc_;
    std::vector<Listed> listed_;  // ordered by number
    std::vector<std::wstring> listedNames_;
};

std::wstring Checker::Named(const Listed& item) const {
    return AppKey(item.number) + L" " + Quoted(item.entry->value);
}

// "App3 "Tools", App4 "Help"": the listed prerequisites from number `from` on.
std::wstring Checker::NeverLoaded(int from) const {
    std::wstring names;
    for (const Listed& item : listed_) {
        if (item.number < from) continue;
        if (!names.empty()) names += L", ";
        names += Named(item);
    }
    return names;
}

void Checker::Run() {
    const IniSection* list = doc_.FindSection(kList);
    if (list != nullptr) {
        for (const IniPair& pair : list->Pairs()) {
            std::wstring base;
            int n = 0;
            if (!SplitNumbered(pair.key, base, n) || base != L"App") continue;
            if (list->FindKey(pair.key) != &pair) continue;  // a repeat
            Listed item;
            item.number = n;
            item.entry = &pair;
            item.section = doc_.FindSection(pair.key);
            listed_.push_back(item);
            listedNames_.push_back(pair.value);
        }
        std::sort(listed_.begin(), listed_.end(),
                  [](const Listed& a, const Listed& b) { return a.number < b.number; });
    }
    report_.listed = listed_.size();

    CheckIgnoredLines();
    CheckSections();
    CheckGeneralOptions();
    CheckList();
    if (report_.set.Count() == 0 && report_.Errors() == 0) {
        Warning(list != nullptr ? list->Line() : 0,
                list != nullptr ? L"[PREREQUISITES] lists no App1: pravel loads no prerequisite "
                                  L"and does nothing"
                                : L"there is no section [PREREQUISITES]: pravel loads no "
                                  L"prerequisite and does nothing");
    }
}

void Checker::CheckIgnoredLines() {
    const std::vector<IniSection>& sections = doc_.Sections();
    for (const IniIgnoredLine& ignored : doc_.IgnoredLines()) {
        const std::wstring text = TrimWhite(ignored.text);
        const bool beforeSections = sections.empty() || ignored.line < sections.front().Line();
        if (LooksLikeComment(text)) {
            Warning(ignored.line,
                    L"this line looks like a comment; pravel has no comment syntax "
                    L"and ignores the line only because it has no \"=\"");
        } else if (StartsWith(text, L"[")) {
            Warning(ignored.line,
                    L"this line is not a section header (it does not end with "
                    L"\"]\"): pravel ignores it, and the keys below it belong to "
                    L"the section before");
        } else if (beforeSections) {
            Warning(ignored.line, L"this line comes before the first section: pravel ignores it");
        } else {
            Warning(ignored.line, L"this line has no \"=\": pravel ignores it");
        }
    }
}

void Checker::CheckSections() {
    std::vector<std::wstring> known = {kGeneral, kChainer, kList};
    for (const Listed& item : listed_) known.push_back(AppKey(item.number));

    for (const IniSection& section : doc_.Sections()) {
        const IniSection* first = doc_.FindSection(section.Name());
        if (first != &section) {
            Warning(section.Line(), L"section [" + section.Name() +
                                        L"] is repeated (first at line " +
                                        ToDecimal(first->Line()) +
                                        L"): pravel reads only the first, none of the keys here");
            continue;
        }
        std::wstring base;
        int n = 0;
        const bool isApp = SplitNumbered(section.Name(), base, n) && base == L"App";
        if (isApp) {
            const IniSection* list = doc_.FindSection(kList);
            if (list == nullptr || list->FindKey(section.Name()) == nullptr) {
                Warning(section.Line(), L"section [" + section.Name() +
                                            L"] is never read: [PREREQUISITES] has no " +
                                            section.Name());
                continue;
            }
        } else if (!IsIn(known, section.Name())) {
            const std::wstring close = ClosestName(section.Name(), known);
            Warning(section.Line(),
                    L"pravel never reads section [" + section.Name() + L"]" +
                        (close.empty() ? std::wstring() : L"; did you mean [" + close + L"]?"));
            continue;
        }
        CheckKeys(section);
    }
}

void Checker::CheckKeys(const IniSection& section) {
    for (const IniPair& pair : section.Pairs()) {
        if (LooksLikeComment(pair.key)) {
            Warning(pair.line,
                    L"this line looks like a comment, but pravel has no comment "
                    L"syntax: it reads it as the key " +
                        Quoted(pair.key) + L" in [" + section.Name() + L"]");
            continue;
        }
        const IniPair* first = section.FindKey(pair.key);
        if (first != &pair) {
            Warning(pair.line, pair.key + L" is repeated in [" + section.Name() +
                                   L"] (first at line " + ToDecimal(first->line) +
                                   L"): pravel uses only the first value, " + Quoted(first->value));
            continue;
        }
        CheckUnknownKey(section, pair);
    }
}

void Checker::CheckUnknownKey(const IniSection& section, const IniPair& pair) {
    const std::wstring& name = section.Name();
    const std::wstring& key = pair.key;
    std::vector<std::wstring> candidates;
    std::wstring digits;
    const std::wstring base = BaseOf(key, digits);
    std::wstring canonicalBase;
    int number = 0;
    const bool numbered = SplitNumbered(key, canonicalBase, number);
    // A number for suggestions: the key's own digits read as a number, else 1.
    const std::wstring suffix = digits.empty() || ParseConfigInteger(digits) < 1
                                    ? L"1"
                                    : ToDecimal(ParseConfigInteger(digits));

    if (name == kGeneral) {
        if (IsIn(GeneralKeys(), key)) return;
        candidates = GeneralKeys();
    } else if (name == kChainer) {
        if (IsIn(ChainerKeys(), key)) return;
        candidates = ChainerKeys();
    } else if (name == kList) {
        if (numbered && canonicalBase == L"App") return;
        candidates.push_back(L"App" + suffix);
    } else {
        if (IsIn(PrerequisiteKeys(), key)) return;
        if (numbered && IsIn(SearchKeyBases(), canonicalBase)) return;  // judged per search
        candidates = PrerequisiteKeys();
        for (const std::wstring& b : SearchKeyBases()) candidates.push_back(b + suffix);
    }

    std::wstring text = L"pravel never reads the key " + Quoted(key) + L" in [" + name + L"]";
    std::wstring close = ClosestName(key, candidates);
    if (close.empty() && !digits.empty()) {
        // "SearchTyp2": compare the base names, then put the number back.
        std::vector<std::wstring> bases =
            name == kList ? std::vector<std::wstring>{L"App"} : SearchKeyBases();
        const std::wstring closeBase = ClosestName(base, bases);
        if (!closeBase.empty()) close = closeBase + suffix;
    }
    if (!close.empty()) {
        text += L"; did you mean " + Quoted(close) + L"?";
        if (EqualsIgnoreCaseAscii(close, key)) text += L" (key names are case-sensitive)";
    } else if (name != kChainer && IsIn(ChainerKeys(), key)) {
        text += L"; " + key + L" belongs in [PREREQ_CHAINER]";
    } else if (name != kGeneral && IsIn(GeneralKeys(), key) && name != kList &&
               !IsIn(PrerequisiteKeys(), key)) {
        text += L"; " + key + L" belongs in [GeneralOptions]";
    }
    Warning(pair.line, text);
}

void Checker::CheckGeneralOptions() {
    const IniSection* general = doc_.FindSection(kGeneral);
    const IniPair* options = general == nullptr ? nullptr : general->FindKey(L"Options");
    const std::wstring value = report_.set.Options().options;
    const int line =
        options != nullptr ? options->line : (general != nullptr ? general->Line() : 0);
    const bool silent = Contains(value, L"q");
    const bool basic = Contains(value, L"b");
    if (silent && basic) {
        Warning(line, L"Options " + Quoted(value) +
                          L" has both \"q\" and \"b\": the run is silent (\"q\" wins)");
    } else if (!silent && !basic) {
        Warning(line, (options == nullptr ? std::wstring(L"there is no Options in [GeneralOptions]")
                                          : L"Options " + Quoted(value)) +
                          L": with neither \"q\" (silent) nor \"b\" (basic UI) the run only "
                          L"decides and installs nothing" +
                          (Contains(value, L"Q") || Contains(value, L"B")
                               ? L" (letters are case-sensitive: \"Q\" is not \"q\")"
                               : L""));
    }
}

// Errors that end the prerequisite list at `item`. `neverLoaded` is appended
// to the first one (empty for prerequisites behind an earlier stop).
bool Checker::Defects(const Listed& item, const std::wstring& neverLoaded) {
    const std::wstring tail = neverLoaded.empty() ? L"" : L" (never loaded: " + neverLoaded + L")";
    bool found = false;
    if (item.section == nullptr) {
        Error(item.entry->line, Named(item) + L" has no section [" + AppKey(item.number) +
                                    L"]: the prerequisite list stops here" + tail);
        return true;
    }
    const IniSection& s = *item.section;
    if (s.FindKey(L"SetupFile") == nullptr && s.FindKey(L"OpenSite") == nullptr &&
        s.FindKey(L"Url") == nullptr) {
        Error(s.Line(), L"[" + s.Name() +
                            L"] has none of SetupFile, OpenSite and Url: it and every later "
                            L"prerequisite are not loaded" +
                            tail);
        found = true;
    }
    for (int k = 1;; ++k) {
        const IniPair* type = s.FindKey(L"SearchType" + ToDecimal(k));
        if (type == nullptr) break;
        if (s.FindKey(L"SearchString" + ToDecimal(k)) == nullptr) {
            Error(type->line, type->key + L" has no SearchString" + ToDecimal(k) +
                                  L": loading stops here, [" + s.Name() +
                                  L"] and every later prerequisite are not loaded" +
                                  (found ? std::wstring() : tail));
            found = true;
            break;
        }
    }
    return found;
}

void Checker::CheckList() {
    const size_t loaded = report_.set.Count();
    const int stop = static_cast<int>(loaded) + 1;  // the first number not loaded
    bool stopReported = false;
    for (const Listed& item : listed_) {
        if (!stopReported && item.number > stop) {
            // App<stop> is missing from the list; the later ones are never read.
            Error(item.entry->line, Named(item) +
                                        L" is never read: the prerequisite list stops "
                                        L"at the missing " +
                                        AppKey(stop) + L" (never loaded: " + NeverLoaded(stop) +
                                        L")");
            stopReported = true;
        }
        const bool isStop = !stopReported && item.number == stop;
        if (Defects(item, isStop ? NeverLoaded(stop) : std::wstring())) {
            if (isStop) stopReported = true;
        } else if (isStop) {
            Error(item.entry->line,
                  Named(item) + L" is not loaded (never loaded: " + NeverLoaded(stop) + L")");
            stopReported = true;
        }
        if (item.section != nullptr) {
            const PrerequisiteContext context{Named(item), &listedNames_, &report_.set.Options()};
            CheckPrerequisiteSection(*item.section, context, report_.findings);
        }
    }

    // Return codes: the first prerequisite with a RetValPropName keeps it.
    std::vector<std::pair<std::wstring, const Listed*>> codes;
    for (const Listed& item : listed_) {
        if (item.section == nullptr) continue;
        const IniPair* name = item.section->FindKey(L"RetValPropName");
        if (name == nullptr || name->value.empty()) continue;
        const auto earlier = std::find_if(codes.begin(), codes.end(),
                                          [&](const auto& c) { return c.first == name->value; });
        if (earlier != codes.end()) {
            Warning(name->line, L"RetValPropName " + Quoted(name->value) + L" is also used by " +
                                    Named(*earlier->second) +
                                    L": only the first return code recorded under it is kept");
        } else {
            codes.emplace_back(name->value, &item);
        }
    }
}

void CheckEncoding(const uint8_t* bytes, size_t size, CheckReport& report) {
    auto error = [&](const std::wstring& text) {
        report.findings.push_back(Finding{0, Severity::kError, text});
    };
    if (size < 2) return;  // an empty configuration: nothing to lose
    if (bytes[0] == 0xFF && bytes[1] == 0xFE) return;
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        error(
            L"the file is UTF-8 (it begins with a UTF-8 byte-order mark); pravel reads only "
            L"UTF-16LE with a byte-order mark and finds nothing in it: save it as \"UTF-16 LE\"");
        report.readable = false;
    } else if (bytes[0] == 0xFE && bytes[1] == 0xFF) {
        error(
            L"the file is UTF-16 big-endian; pravel reads only UTF-16LE with a byte-order mark "
            L"and finds nothing in it: save it as \"UTF-16 LE\"");
        report.readable = false;
    } else if (bytes[1] == 0 && bytes[0] != 0) {
        std::wstring lost(1, static_cast<wchar_t>(bytes[0]));
        error(
            L"the file is UTF-16LE without a byte-order mark; pravel always skips the first two "
            L"bytes as the mark, so the first character " +
            Quoted(lost) + L" is lost: save it with a byte-order mark");
    } else {
        error(
            L"the file is not UTF-16LE (UTF-8 or ANSI text without a byte-order mark); pravel "
            L"reads only UTF-16LE with a byte-order mark and finds nothing in it: save it as "
            L"\"UTF-16 LE\"");
        report.readable = false;
    }
}

}  // namespace

int CheckReport::Errors() const {
    return static_cast<int>(std::count_if(findings.begin(), findings.end(), [](const Finding& f) {
        return f.severity == Severity::kError;
    }));
}

int CheckReport::Warnings() const {
    return static_cast<int>(findings.size()) - Errors();
}

CheckReport CheckConfiguration(const uint8_t* bytes, size_t size) {
    CheckReport report;
    CheckEncoding(bytes, size, report);
    if (report.readable) {
        report.document.Parse(ConfigurationText(bytes, size));
        report.set.Load(report.document, TextExpander());
        Checker(report).Run();
    }
    std::stable_sort(report.findings.begin(), report.findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return report;
}

std::wstring FormatFinding(const std::wstring& file, const Finding& finding) {
    return file + L":" + ToDecimal(finding.line) +
           (finding.severity == Severity::kError ? L": error: " : L": warning: ") + finding.text;
}

namespace {

std::wstring Counted(int count, const wchar_t* singular, const wchar_t* plural) {
    return ToDecimal(count) + L" " + (count == 1 ? singular : plural);
}

}  // namespace

std::wstring FormatSummary(const std::wstring& file, const CheckReport& report) {
    std::wstring text = file + L": ";
    if (report.findings.empty()) {
        text += L"no findings";
    } else {
        text += Counted(report.Errors(), L"error", L"errors") + L", " +
                Counted(report.Warnings(), L"warning", L"warnings");
    }
    const int loaded = static_cast<int>(report.set.Count());
    text += L"; " + ToDecimal(loaded) + L" of " +
            Counted(static_cast<int>(report.listed), L"prerequisite", L"prerequisites") +
            L" loaded";
    return text;
}

int CheckExitCode(const CheckReport& report) {
    if (report.Errors() > 0) return kCheckFoundErrors;
    if (report.Warnings() > 0) return kCheckFoundWarnings;
    return kCheckClean;
}

}  // namespace pravel
