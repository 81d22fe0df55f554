// The sections and keys of the file: lines pravel ignores, sections it
// never reads or reads only once, keys it never reads (with the name a
// misspelt one probably means), [GeneralOptions] and [PREREQ_CHAINER].
#include <string>
#include <vector>

#include "checker/ConfigChecker.h"
#include "checker/KeyNames.h"
#include "checker/RunEnd.h"
#include "common/IntegerRule.h"
#include "common/Text.h"
#include "download/TransferText.h"
#include "ui/WindowTexts.h"

namespace pravel {

namespace {

bool LooksLikeComment(const std::wstring& text) {
    const std::wstring t = TrimWhite(text);
    return StartsWith(t, L";") || StartsWith(t, L"#") || StartsWith(t, L"//");
}

}  // namespace

void ConfigChecker::CheckIgnoredLines() {
    const std::vector<IniSection>& sections = doc_.Sections();
    for (const IniIgnoredLine& ignored : doc_.IgnoredLines()) {
        // The parser skips blanks and byte-order marks before a line's text.
        std::wstring text = TrimWhite(ignored.text);
        size_t lead = 0;
        while (lead < text.size() && (text[lead] <= L' ' || text[lead] == 0xFEFF)) ++lead;
        text.erase(0, lead);
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

void ConfigChecker::CheckSections() {
    const std::vector<std::wstring> fixed = {kGeneral, kChainer, kList};
    const IniSection* list = index_.Section(kList);

    for (const IniSection& section : doc_.Sections()) {
        const IniSection* first = index_.Section(section.Name());
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
            if (index_.ListEntry(n) == nullptr) {
                Warning(section.Line(),
                        L"section [" + section.Name() + L"] is never read: " +
                            (list == nullptr ? std::wstring(L"there is no section "
                                                            L"[PREREQUISITES]")
                                             : L"[PREREQUISITES] has no " + section.Name()) +
                            HowToList(n));
                continue;
            }
        } else if (section.Name() == L"Texts" || StartsWith(section.Name(), L"Texts.")) {
            std::wstring language;
            if (!TextsSectionLanguage(section.Name(), language)) {
                Error(section.Line(),
                      L"[" + section.Name() +
                          L"] is not a language section: after \"Texts.\" pravel expects a "
                          L"language name (de-DE, zh-Hant) or a Windows language identifier "
                          L"in decimal without leading zeros (1031 for German (Germany)); it "
                          L"never reads this section");
                continue;
            }
            if (!language.empty()) CheckTextsSection(section, language);
        } else if (!IsIn(fixed, section.Name())) {
            // Suggestions: the fixed names, and the listed App<n> of the
            // same number ("app2", "Ap2": [App2]).
            std::vector<std::wstring> known = fixed;
            known.push_back(L"Texts");
            std::wstring digits;
            BaseOf(section.Name(), digits);
            if (!digits.empty() && list != nullptr && index_.Key(*list, L"App" + digits)) {
                known.push_back(L"App" + digits);
            }
            const std::wstring close = ClosestName(section.Name(), known);
            Warning(section.Line(),
                    L"pravel never reads section [" + section.Name() + L"]" +
                        (close.empty() ? std::wstring() : L"; did you mean [" + close + L"]?"));
            continue;
        }
        CheckKeys(section);
    }
}

std::wstring ConfigChecker::HowToList(int n) const {
    const std::wstring line = Quoted(AppKey(n) + L"=<its name>");
    if (index_.Section(kList) == nullptr) {
        return L"; add the section [PREREQUISITES] with the line " + line +
               (n > 1 ? L" (the list counts up from App1 without gaps)" : L"");
    }
    return L"; add the line " + line + L" to [PREREQUISITES]" +
           (firstFree_ < n ? L" (pravel reads the list up to the first missing number: " +
                                 AppKey(firstFree_) + L" is missing too)"
                           : std::wstring());
}

void ConfigChecker::CheckChainer() {
    const IniSection* section = index_.Section(kChainer);
    if (section == nullptr) return;
    ChainerSettings settings;
    doc_.ReadChainerSettings(settings);
    Note(section->Line(), ChainerNote(settings, report_.fileName));

    const IniPair* log = index_.Key(*section, L"LogFile");
    if (log == nullptr) return;
    const LogDestination d = ClassifyLogFile(log->value);
    const std::wstring fallback = FallbackLogText(ProgramNameFor(report_.fileName));
    switch (d.place) {
        case LogPlace::kNeverExpanded:
            Warning(log->line, L"LogFile " + Quoted(log->value) + L" holds " + d.reference +
                                   L", which pravel does not expand: no such folder exists, "
                                   L"so the log goes to " +
                                   fallback + L"; write a full path");
            break;
        case LogPlace::kRelative:
            Warning(log->line, L"LogFile " + Quoted(log->value) +
                                   L" is not a full path: pravel opens it in the current "
                                   L"folder of the program that starts it (not pravel's "
                                   L"folder), and where that fails the log goes to " +
                                   fallback + L"; write a full path");
            break;
        case LogPlace::kFolderMayLack:
            Warning(log->line, L"pravel does not create the folder " + d.folder +
                                   L" of LogFile: on a machine without it the log goes to " +
                                   fallback +
                                   L"; log into a folder every Windows has (C:\\ProgramData, "
                                   L"C:\\Windows\\Temp) or one that exists before pravel starts");
            break;
        default:
            break;
    }
}

void ConfigChecker::CheckKeys(const IniSection& section) {
    for (const IniPair& pair : section.Pairs()) {
        if (LooksLikeComment(pair.key)) {
            Warning(pair.line,
                    L"this line looks like a comment, but pravel has no comment "
                    L"syntax: it reads it as the key " +
                        Quoted(pair.key) + L" in [" + section.Name() + L"]");
            continue;
        }
        const IniPair* first = index_.Key(section, pair.key);
        if (first != &pair) {
            Warning(pair.line, pair.key + L" is repeated in [" + section.Name() +
                                   L"] (first at line " + ToDecimal(first->line) +
                                   L"): pravel uses only the first value, " + Quoted(first->value));
            continue;
        }
        CheckUnknownKey(section, pair);
    }
}

void ConfigChecker::CheckUnknownKey(const IniSection& section, const IniPair& pair) {
    const std::wstring& name = section.Name();
    std::wstring language;
    if (TextsSectionLanguage(name, language)) {
        CheckTextKey(section, pair);
        return;
    }
    const std::wstring& key = pair.key;
    // The names it may mean: a fixed list, and numbered ones for its number.
    static const std::vector<std::wstring> kNone;
    const std::vector<std::wstring>* candidates = &kNone;
    std::vector<std::wstring> numberedNames;
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
        candidates = &GeneralKeys();
    } else if (name == kChainer) {
        if (IsIn(ChainerKeys(), key)) return;
        candidates = &ChainerKeys();
    } else if (name == kList) {
        if (numbered && canonicalBase == L"App") return;
        numberedNames.push_back(L"App" + suffix);
    } else {
        if (IsIn(PrerequisiteKeys(), key)) return;
        if (numbered && IsIn(SearchKeyBases(), canonicalBase)) return;  // judged per search
        candidates = &PrerequisiteKeys();
        for (const std::wstring& b : SearchKeyBases()) numberedNames.push_back(b + suffix);
    }

    std::wstring text = L"pravel never reads the key " + Quoted(key) + L" in [" + name + L"]";
    std::wstring close = ClosestName(key, *candidates, &numberedNames);
    if (close.empty() && !digits.empty()) {
        // "SearchTyp2": compare the base names, then put the number back.
        static const std::vector<std::wstring> kApp = {L"App"};
        const std::wstring closeBase = ClosestName(base, name == kList ? kApp : SearchKeyBases());
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

void ConfigChecker::CheckGeneralOptions() {
    const IniSection* general = index_.Section(kGeneral);
    const IniPair* elevate = general == nullptr ? nullptr : index_.Key(*general, L"ElevateOnce");
    if (elevate != nullptr && !EqualsIgnoreCaseAscii(elevate->value, "true") &&
        !EqualsIgnoreCaseAscii(elevate->value, "false")) {
        Warning(elevate->line, L"ElevateOnce " + Quoted(elevate->value) +
                                   L" is not \"true\": pravel does not ask for administrator "
                                   L"rights");
    }
    const IniPair* options = general == nullptr ? nullptr : index_.Key(*general, L"Options");
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
    // The time limit of every download: positive whole numbers.
    const struct {
        const wchar_t* key;
        uint32_t builtIn;
        const wchar_t* unit;
    } limits[] = {{L"DownloadTimeLimit", kDefaultDownloadTimeLimitSeconds, L"seconds"},
                  {L"DownloadMinRate", kDefaultDownloadMinRate, L"bytes per second"}};
    for (const auto& limit : limits) {
        const IniPair* pair = general == nullptr ? nullptr : index_.Key(*general, limit.key);
        if (pair == nullptr) continue;
        const int32_t read = ParseConfigInteger(pair->value);
        const std::wstring head = pair->key + L" " + Quoted(pair->value);
        if (read <= 0) {
            Warning(pair->line, head + L" is not a positive number: pravel keeps " +
                                    ToDecimal(limit.builtIn) + L" " + limit.unit);
        } else if (!IsPlainDecimal(pair->value)) {
            Warning(pair->line, head + L" is not a plain decimal number: pravel reads it as " +
                                    ToDecimal(read) + L" " + limit.unit);
        }
    }
}

}  // namespace pravel
