#include "checker/ConfigCheck.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "checker/DocumentIndex.h"
#include "checker/KeyNames.h"
#include "checker/PrerequisiteCheck.h"
#include "checker/RunEnd.h"
#include "common/ErrorCodes.h"
#include "common/IntegerRule.h"
#include "common/Text.h"
#include "config/ConfigFile.h"
#include "detect/SearchEvaluation.h"
#include "download/Sha256.h"
#include "ui/LanguageTags.h"
#include "ui/WindowTexts.h"

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
    Checker(CheckReport& report, const DocumentIndex& index, const FileReader& readFile)
        : report_(report), doc_(report.document), index_(index), readFile_(readFile) {}

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

    void CheckIgnoredLines();
    void CheckSections();
    void CheckKeys(const IniSection& section);
    void CheckUnknownKey(const IniSection& section, const IniPair& pair);
    void CheckTextKey(const IniSection& section, const IniPair& pair);
    void CheckTextsSection(const IniSection& section, const std::wstring& language);
    void CheckIcon(const IniPair& pair);
    void CheckList();
    void CheckGeneralOptions();
    void CheckChainer();
    // "; add the line "App3=<its name>" to [PREREQUISITES] ...": how to list
    // the section App<n>.
    std::wstring HowToList(int n) const;
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
    const IniSection* list = index_.Section(kList);
    if (list != nullptr) {
        for (const IniPair& pair : list->Pairs()) {
            std::wstring base;
            int n = 0;
            if (!SplitNumbered(pair.key, base, n) || base != L"App") continue;
            if (index_.ListEntry(n) != &pair) continue;  // a repeat
            Listed item;
            item.number = n;
            item.entry = &pair;
            item.section = index_.AppSection(n);
            listed_.push_back(item);
            listedNames_.push_back(pair.value);
            listedNameSet_.insert(pair.value);
        }
        std::sort(listed_.begin(), listed_.end(),
                  [](const Listed& a, const Listed& b) { return a.number < b.number; });
    }
    // The first number the list lacks (the list is read up to it), found
    // once for every section that no list entry names.
    for (const Listed& item : listed_) {
        if (item.number != firstFree_) break;
        ++firstFree_;
    }
    report_.listed = listed_.size();

    CheckIgnoredLines();
    CheckSections();
    CheckGeneralOptions();
    CheckList();
    CheckChainer();
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

std::wstring Checker::HowToList(int n) const {
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

void Checker::CheckChainer() {
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

void Checker::CheckKeys(const IniSection& section) {
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

void Checker::CheckTextsSection(const IniSection& section, const std::wstring& language) {
    const std::wstring name = L"[" + section.Name() + L"]";
    if (!IsKnownLanguageName(language)) {
        const std::wstring close = ClosestName(language, KnownLanguageNames());
        Warning(section.Line(),
                name + L" names the language " + language +
                    L", which Windows does not know: no user has it" +
                    (close.empty() ? std::wstring() : L"; did you mean [Texts." + close + L"]?"));
    } else if (ScriptIsOpen(language)) {
        Warning(section.Line(),
                name + L" serves only a user whose language is exactly " + language + L": " +
                    LanguageName(language) +
                    L" is written in Latin and in Cyrillic, and pravel never shows one for the "
                    L"other; name the script ([Texts." +
                    language.substr(0, 2) + L"-Latn], [Texts." + language.substr(0, 2) +
                    L"-Cyrl])");
    }
}

void Checker::CheckIcon(const IniPair& pair) {
    const std::wstring& path = pair.value;
    if (IsNetworkPath(path)) {
        Warning(pair.line, L"Icon " + Quoted(path) +
                               L" lies on a network share: pravel loads it when it starts, and "
                               L"where the share is slow or out of reach (no network yet, an "
                               L"account without access) it keeps its own icon; ship the icon "
                               L"beside pravel.exe");
        return;
    }
    // A missing file is a finding of the shipped files (checker/ShippedFiles.h).
    std::vector<uint8_t> bytes;
    if (!readFile_ || readFile_(path, bytes) != FileLook::kRead) return;
    // An .ico file: reserved 0, type 1, at least one image, every image
    // inside the file.
    auto word = [&](size_t at) {
        return at + 1 < bytes.size() ? bytes[at] | bytes[at + 1] << 8 : -1;
    };
    auto dword = [&](size_t at) {
        return at + 3 < bytes.size()
                   ? static_cast<uint64_t>(word(at)) | static_cast<uint64_t>(word(at + 2)) << 16
                   : ~uint64_t(0);
    };
    const int count = word(4);
    bool icon = word(0) == 0 && word(2) == 1 && count > 0 &&
                6 + 16 * static_cast<size_t>(count) <= bytes.size();
    for (int i = 0; icon && i < count; ++i) {
        const size_t entry = 6 + 16 * static_cast<size_t>(i);
        icon = dword(entry + 8) > 0 && dword(entry + 8) + dword(entry + 12) <= bytes.size();
    }
    if (!icon) {
        Error(pair.line, L"Icon " + Quoted(path) +
                             L" is no icon file (.ico with at least one image): pravel shows "
                             L"its own icon instead");
    }
}

void Checker::CheckTextKey(const IniSection& section, const IniPair& pair) {
    const std::vector<std::wstring>& keys = TextKeys();
    const auto at = std::find(keys.begin(), keys.end(), pair.key);
    if (at == keys.end()) {
        const std::wstring close = ClosestName(pair.key, keys);
        Error(pair.line, L"pravel never reads the key " + Quoted(pair.key) + L" in [" +
                             section.Name() + L"]" +
                             (close.empty() ? std::wstring()
                                            : L"; did you mean " + Quoted(close) + L"?" +
                                                  (EqualsIgnoreCaseAscii(close, pair.key)
                                                       ? L" (key names are case-sensitive)"
                                                       : L"")));
        return;
    }
    const size_t index = static_cast<size_t>(at - keys.begin());
    const std::wstring builtIn = Quoted(BuiltInText(index));
    if (pair.value.empty()) {
        Warning(pair.line, pair.key + L" is empty: pravel takes " +
                               (section.Name() == L"Texts"
                                    ? L"the built-in text " + builtIn
                                    : L"the next section's text, from [Texts], or the built-in "
                                      L"text " +
                                          builtIn));
        return;
    }
    const uint8_t placeholders = kTextKeys[index].placeholders;
    const TextRefusal why = CheckText(pair.value, placeholders);
    if (why == TextRefusal::kNone) {
        if (index == kTextIcon) CheckIcon(pair);
        std::wstring invisible;
        for (wchar_t c : pair.value) {
            const bool marked = c == 0x200C || c == 0x200D || c == 0x200E || c == 0x200F ||
                                c == 0x061C;  // joiners and direction marks have a purpose
            if (IsInvisibleCharacter(c) && !marked && invisible.find(c) == std::wstring::npos) {
                invisible += c;
            }
        }
        if (!invisible.empty()) {
            Warning(pair.line, pair.key + L" holds invisible characters (" + invisible +
                                   L"): a viewer shows nothing there; remove them unless you "
                                   L"mean them");
        }
        return;
    }
    std::wstring reason = RefusalReason(why);
    if (why == TextRefusal::kPlaceholders) {
        size_t found = 0;
        for (size_t i = 0; i + 1 < pair.value.size(); ++i) {
            if (pair.value[i] != L'%') continue;
            if (pair.value[i + 1] == L's') ++found;
            ++i;
        }
        reason = L"it has " + ToDecimal(static_cast<int64_t>(found)) +
                 L" \"%s\" where the built-in text has " + ToDecimal(placeholders);
    }
    Error(pair.line, pair.key + L" is refused (" + reason + L"): pravel " +
                         (index == kTextRightToLeft
                              ? std::wstring(L"lays out the windows by the reading of the language")
                              : L"shows the built-in text " + builtIn) +
                         L" instead");
}

void Checker::CheckUnknownKey(const IniSection& section, const IniPair& pair) {
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

void Checker::CheckGeneralOptions() {
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
    }  // The time limit of every download: positive whole numbers.
    const struct {
        const wchar_t* key;
        const wchar_t* builtIn;
        const wchar_t* unit;
    } limits[] = {{L"DownloadTimeLimit", L"600", L"seconds"},
                  {L"DownloadMinRate", L"1024", L"bytes per second"}};
    for (const auto& limit : limits) {
        const IniPair* pair = general == nullptr ? nullptr : index_.Key(*general, limit.key);
        if (pair == nullptr) continue;
        const int32_t read = ParseConfigInteger(pair->value);
        const std::wstring head = pair->key + L" " + Quoted(pair->value);
        if (read <= 0) {
            Warning(pair->line, head + L" is not a positive number: pravel keeps " + limit.builtIn +
                                    L" " + limit.unit);
        } else if (!IsPlainDecimal(pair->value)) {
            Warning(pair->line, head + L" is not a plain decimal number: pravel reads it as " +
                                    ToDecimal(read) + L" " + limit.unit);
        }
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
    const IndexedSection keys(s, index_);
    if (keys.Find(L"SetupFile") == nullptr && keys.Find(L"OpenSite") == nullptr &&
        keys.Find(L"Url") == nullptr) {
        Error(s.Line(), L"[" + s.Name() +
                            L"] has none of SetupFile, OpenSite and Url: it and every later "
                            L"prerequisite are not loaded" +
                            tail);
        found = true;
    }
    for (int k = 1;; ++k) {
        const IniPair* type = keys.Find(L"SearchType" + ToDecimal(k));
        if (type == nullptr) break;
        if (keys.Find(L"SearchString" + ToDecimal(k)) == nullptr) {
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
            const PrerequisiteContext context{Named(item), &listedNames_, &listedNameSet_,
                                              &report_.set.Options()};
            CheckPrerequisiteSection(IndexedSection(*item.section, index_), context,
                                     report_.findings);
        }
    }

    // Return codes: the first prerequisite with a RetValPropName keeps it.
    std::unordered_map<std::wstring, const Listed*> codes;
    for (const Listed& item : listed_) {
        if (item.section == nullptr) continue;
        const IniPair* name = index_.Key(*item.section, L"RetValPropName");
        if (name == nullptr || name->value.empty()) continue;
        const auto earlier = codes.emplace(name->value, &item);
        if (!earlier.second) {
            Warning(name->line, L"RetValPropName " + Quoted(name->value) + L" is also used by " +
                                    Named(*earlier.first->second) +
                                    L": only the first return code recorded under it is kept");
        }
    }
}

void CheckEncoding(const uint8_t* bytes, size_t size, CheckReport& report) {
    auto error = [&](const std::wstring& text) {
        report.findings.push_back(Finding{0, Severity::kError, text});
    };
    if (size < 2) return;  // an empty configuration: nothing to lose
    if (bytes[0] == 0xFF && bytes[1] == 0xFE) return;
    // A UTF-8 source such as pravel.ini.utf8 is made into the file pravel
    // reads by scripts/make-ini, not saved by hand.
    const std::wstring& name = report.fileName;
    const bool source = EndsWith(ToLowerAscii(name), L".utf8") && name.size() > 5;
    const std::wstring fix =
        source ? L"this is a UTF-8 source: this project's scripts/make-ini turns it into the "
                 L"UTF-16LE file pravel reads (scripts/make-ini " +
                     name + L" writes " + name.substr(0, name.size() - 5) +
                     L" beside it); check and ship that one"
               : L"save it as \"UTF-16 LE\"";
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        error(
            L"the file is UTF-8 (it begins with a UTF-8 byte-order mark); pravel reads only "
            L"UTF-16LE with a byte-order mark and finds nothing in it: " +
            fix);
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
            L"reads only UTF-16LE with a byte-order mark and finds nothing in it: " +
            fix);
        report.readable = false;
    }
}

}  // namespace

namespace {

int CountOf(const std::vector<Finding>& findings, Severity severity) {
    return static_cast<int>(std::count_if(findings.begin(), findings.end(), [&](const Finding& f) {
        return f.severity == severity;
    }));
}

// pravel ends a line only at CR LF; an editor also at a lone LF or CR.
// Fills report.editorLines when the two count differently and reports the
// lone line ends (editor numbering).
void CheckLineEnds(const std::wstring& text, CheckReport& report) {
    std::vector<int> lines = {0, 1};  // pravel's line 1 is the editor's line 1
    int editor = 1, lone = 0, firstLone = 0;
    wchar_t firstChar = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
            ++i;
            lines.push_back(++editor);
        } else if (c == L'\r' || c == L'\n') {
            if (lone++ == 0) {
                firstLone = editor;
                firstChar = c;
            }
            ++editor;
        }
    }
    if (lone == 0) return;
    report.editorLines = std::move(lines);
    const std::wstring what = firstChar == L'\n' ? L"LF" : L"CR";
    const std::wstring fix = L"save it with Windows line ends (CR LF)";
    if (report.editorLines.size() == 2) {
        report.findings.push_back(
            Finding{0, Severity::kError,
                    L"the lines of this file end with " + what +
                        L" alone, not CR LF: pravel ends lines only at CR LF, so it reads the "
                        L"whole file as one line and finds nothing in it; " +
                        fix});
        return;
    }
    report.findings.push_back(Finding{
        firstLone, Severity::kError,
        L"this line ends with " + what +
            L" alone, not CR LF: pravel ends lines only at CR LF and reads the next line as "
            L"part of this one" +
            (lone == 2  ? std::wstring(L" (1 more line ends with a lone LF or CR)")
             : lone > 2 ? L" (" + ToDecimal(lone - 1) + L" more lines end with a lone LF or CR)"
                        : std::wstring()) +
            L"; " + fix});
}

// A byte-order mark at the start of a line after the first, as files joined
// with "copy /b" carry: pravel reads the line without it, other tools may not.
void CheckByteOrderMarks(const std::wstring& text, CheckReport& report) {
    int line = 1;
    for (size_t start = 0; start < text.size(); ++line) {
        size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        size_t at = start;
        while (at < end && (text[at] == L' ' || text[at] == L'\t')) ++at;
        if (at < end && text[at] == 0xFEFF) {
            report.findings.push_back(
                Finding{line, Severity::kWarning,
                        L"this line starts with a byte-order mark (<U+FEFF>), as files joined with "
                        L"\"copy /b\" have: pravel reads the line without it; save the file again "
                        L"without it"});
        }
        start = end + 2;
    }
}

}  // namespace

bool IsNetworkPath(const std::wstring& path) {
    if (StartsWithIgnoreCaseAscii(path, L"\\\\?\\UNC\\")) return true;
    return (StartsWith(path, L"\\\\") || StartsWith(path, L"//")) &&
           !StartsWith(path, L"\\\\?\\") && !StartsWith(path, L"\\\\.\\");
}

int CheckReport::Errors() const {
    return CountOf(findings, Severity::kError);
}

int CheckReport::Warnings() const {
    return CountOf(findings, Severity::kWarning);
}

int CheckReport::Notes() const {
    return CountOf(findings, Severity::kNote);
}

int CheckReport::EditorLine(int line) const {
    if (line <= 0 || editorLines.empty()) return line;
    if (static_cast<size_t>(line) < editorLines.size()) return editorLines[line];
    return editorLines.back() + (line - static_cast<int>(editorLines.size()) + 1);
}

CheckReport CheckConfiguration(const uint8_t* bytes, size_t size, const std::wstring& fileName,
                               const FileReader& readFile) {
    CheckReport report;
    report.fileName = fileName;
    CheckEncoding(bytes, size, report);
    if (report.readable) {
        const std::wstring text = ConfigurationText(bytes, size);
        report.document.Parse(text);
        const DocumentIndex index(report.document);
        LoadPrerequisites(index, report.set);
        CheckByteOrderMarks(text, report);
        Checker(report, index, readFile).Run();
        std::vector<Finding> found = std::move(report.findings);
        report.findings.clear();
        CheckLineEnds(text, report);
        for (Finding& finding : found) {
            finding.line = report.EditorLine(finding.line);
            report.findings.push_back(std::move(finding));
        }
    }
    std::stable_sort(report.findings.begin(), report.findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return report;
}

std::wstring FormatFinding(const std::wstring& file, const Finding& finding) {
    const wchar_t* kind = finding.severity == Severity::kError     ? L": error: "
                          : finding.severity == Severity::kWarning ? L": warning: "
                                                                   : L": note: ";
    return file + L":" + ToDecimal(finding.line) + kind + VisibleText(finding.text);
}

namespace {

std::wstring Counted(int count, const wchar_t* singular, const wchar_t* plural) {
    return ToDecimal(count) + L" " + (count == 1 ? singular : plural);
}

}  // namespace

std::wstring FormatSummary(const std::wstring& file, const CheckReport& report) {
    std::wstring text = file + L": ";
    const int notes = report.Notes();
    if (report.Errors() + report.Warnings() == 0) {
        text += L"no findings";
        if (notes > 0) text += L" (" + Counted(notes, L"note", L"notes") + L")";
    } else {
        text += Counted(report.Errors(), L"error", L"errors") + L", " +
                Counted(report.Warnings(), L"warning", L"warnings");
        if (notes > 0) text += L", " + Counted(notes, L"note", L"notes");
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
