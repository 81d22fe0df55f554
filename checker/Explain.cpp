#include "checker/Explain.h"

#include "checker/DocumentIndex.h"
#include "checker/KeyNames.h"
#include "checker/RunEnd.h"
#include "common/Text.h"
#include "detect/OsNames.h"
#include "detect/SearchEvaluation.h"
#include "detect/VersionNumber.h"
#include "download/DownloadTarget.h"
#include "download/FileLocation.h"
#include "ui/WindowTexts.h"

#include <algorithm>

namespace pravel {

namespace {

// True when a version text names a pre-release, by the rule the searches
// use: a "-" or "+" directly after a digit and directly before a letter
// (8.0.0-rc.2, 10.0.0-preview.7, 2.1.0+build.5; not 1.2.3-4 or 17.0.8+7).
bool NamesPreRelease(const std::wstring& version) {
    return VersionNumber::Parse(version).IsPreRelease();
}

// The bounds of a version search in words, with the pre-release rule: a
// found pre-release counts only when a bound names a pre-release itself.
std::wstring VersionBounds(const PrerequisiteSearch& s) {
    if (s.verMin.empty() && s.verMax.empty()) return L" (any version)";
    std::wstring text;
    if (s.verMax.empty()) {
        text = L" of at least " + s.verMin;
    } else if (s.verMin.empty()) {
        text = L" of at most " + s.verMax;
    } else {
        text = L" from " + s.verMin + L" to " + s.verMax;
    }
    if (NamesPreRelease(s.verMin) || NamesPreRelease(s.verMax)) {
        return text +
               L" (a bound names a pre-release, so pre-release versions such as "
               L"8.0.0-rc.2 count too)";
    }
    return text +
           L"; a pre-release version (a \"-\" or \"+\" between a digit and a letter, "
           L"such as 8.0.0-rc.2 or 10.0.0-preview.7) does not count, since no bound "
           L"names a pre-release";
}

std::wstring Comparison(const std::wstring& refContent) {
    if (refContent.empty()) return L" compared with an empty RefContent (never true)";
    const std::wstring ref = Quoted(refContent.substr(1));
    switch (refContent[0]) {
        case L'M':
            return L" equals " + ref;
        case L'D':
            return L" differs from " + ref;
        case L'C':
            return L" contains " + ref;
        case L'X':
            return L" does not contain " + ref;
        case L'S':
            return L" starts with " + ref;
        case L'E':
            return L" ends with " + ref;
        case L'G':
        case L'L':
            return L" is a number " + std::wstring(refContent[0] == L'G' ? L"greater" : L"less") +
                   L" than " + ref +
                   (IsPlainDecimal(refContent.substr(1))
                        ? std::wstring()
                        : L" (never true: " + ref +
                              L" is not a whole number, and G and L compare whole numbers "
                              L"only)");
        default:
            return L" compared with the unknown operator " +
                   Quoted(std::wstring(1, refContent[0])) + L" (never true)";
    }
}

// A configured folder as the run will see it: [SETUPEXEDIR] is pravel's own
// folder (the value carries its backslash, so "[SETUPEXEDIR]\" is that folder).
std::wstring FolderOrTemp(const std::wstring& configured, const std::wstring& code) {
    if (!configured.empty()) {
        std::wstring folder = WithTrailingBackslash(configured);
        const std::wstring reference = L"[SETUPEXEDIR]";
        if (StartsWith(folder, reference)) {
            folder.erase(0, reference.size());
            if (StartsWith(folder, L"\\")) folder.erase(0, 1);
            folder = L"<pravel's folder>\\" + folder;
        }
        return folder;
    }
    return L"<temp>\\" + (code.empty() ? std::wstring() : code + L"\\");
}

std::wstring RunMode(const std::wstring& options) {
    if (Contains(options, L"q")) {
        return L"silent (\"q\"): installers get their silent command lines, no window is shown";
    }
    if (Contains(options, L"b")) {
        return L"basic UI (\"b\"): a small progress window is shown";
    }
    return L"decide only (neither \"q\" nor \"b\"): every prerequisite is decided and logged, "
           L"nothing is installed";
}

std::wstring OptionWords(const Prerequisite& p) {
    const std::wstring& o = p.options;
    std::vector<std::wstring> words;
    if (Contains(o, L"m")) words.push_back(L"mandatory: the run exits with 1 while it is missing");
    if (Contains(o, L"i")) {
        words.push_back(L"searches skipped: it always counts as missing");
    }
    if (Contains(o, L"x")) {
        words.push_back(L"searches use the 64-bit registry view and file system");
    }
    if (Contains(o, L"c")) words.push_back(L"not for ARM64 machines");
    if (Contains(o, L"d")) {
        words.push_back(L"only for ARM64 machines (and not where Windows cannot tell the machine)");
    }
    if (Contains(o, L"r") && Contains(o, L"R")) {
        words.push_back(
            L"reboot mode 2: Windows is restarted after a successful installation "
            L"when a fresh search finds it present");
    } else if (Contains(o, L"r")) {
        words.push_back(L"reboot mode 1: Windows is restarted after every successful installation");
    }
    for (const wchar_t* letter : {L"b", L"q", L"j", L"n"}) {
        if (!Contains(o, letter)) continue;
        const std::wstring l(letter);
        if (l == L"b") words.push_back(L"\"b\": always its basic UI command line");
        if (l == L"q") words.push_back(L"\"q\": always its silent command line");
        if (l == L"j") words.push_back(L"\"j\": CommandLine alone");
        if (l == L"n") words.push_back(L"\"n\": the command line of the run's mode");
        break;
    }
    std::wstring unused;
    for (wchar_t c : o) {
        if (std::wstring(L"mixcdrRbqjn").find(c) == std::wstring::npos &&
            unused.find(c) == std::wstring::npos) {
            unused += c;
        }
    }
    if (!unused.empty()) words.push_back(L"no effect: " + Quoted(unused));
    std::wstring text;
    for (const std::wstring& w : words) text += (text.empty() ? L"" : L"; ") + w;
    return text;
}

std::wstring Systems(const std::wstring& list, const wchar_t* bitness, const char* group) {
    if (EqualsAscii(list, group)) return std::wstring(L"not on any ") + bitness + L" Windows";
    return std::wstring(L"not on ") + bitness + L" " + list;
}

std::wstring LanguageWords(const std::wstring& list) {
    std::wstring text;
    for (const std::wstring& item : Split(list, L";")) {
        if (item.empty()) continue;
        text += (text.empty() ? L"" : L", ") + item;
    }
    return text;
}

}  // namespace

std::wstring InstallerArguments(const Prerequisite& p, int uiMode) {
    for (const wchar_t* letter : {L"b", L"q", L"j", L"n"}) {
        if (!Contains(p.options, letter)) continue;
        const wchar_t l = letter[0];
        if (l == L'b') return p.commandLine + L" " + p.basicUiCommandLine;
        if (l == L'q') return p.commandLine + L" " + p.noUiCommandLine;
        if (l == L'n') {
            if (uiMode == 0) return p.commandLine + L" " + p.noUiCommandLine;
            if (uiMode == 1) return p.commandLine + L" " + p.basicUiCommandLine;
        }
        return p.commandLine;
    }
    return p.commandLine;
}

std::wstring DescribeSearch(const PrerequisiteSearch& s) {
    const std::wstring what = Quoted(s.searchString);
    switch (s.type) {
        case kSearchFile: {
            const FileSearchTarget target = ParseFileSearchString(s.searchString);
            std::wstring text = L"the file " + Quoted(target.path);
            if (IsBareFileName(target.path)) text += L" at the root of a fixed drive";
            if (target.depth > 0) {
                text += L" (or up to " + ToDecimal(target.depth) + L" folder levels below)";
            }
            return text + L" has a version" + VersionBounds(s);
        }
        case kSearchSubkeyNames:
            return L"a subkey name of the registry key " + what + L" is a version" +
                   VersionBounds(s);
        case kSearchRegistryValue:
            return L"the registry value " + what + L" holds a version" + VersionBounds(s);
        case kSearchMsiProduct:
            return L"the Windows Installer product " + what + L" is installed with a version" +
                   VersionBounds(s);
        case kSearchMsiUpgradeCode:
            return L"a product of the Windows Installer upgrade code " + what +
                   L" is installed with a version" + VersionBounds(s);
        case kSearchKeyExists:
            return L"the registry key " + what + L" exists";
        case kSearchKeyMissing:
            return L"the registry key " + what + L" does not exist";
        case kSearchValueExists:
            return L"the registry value " + what + L" exists";
        case kSearchValueMissing:
            return L"the registry value " + what + L" does not exist";
        case kSearchValueCompare:
            return L"the registry value " + what + Comparison(s.refContent);
        case kSearchRunProgram:
            return L"the program " + what +
                   L" of the packed payload exits with 0 (this build carries no payload: never)";
        case kSearchMsiComponent:
            return L"the Windows Installer component " + what +
                   L" is installed locally or runs from source";
        case kSearchValueNames:
            return L"a value name of the registry key " + what + L" is a version" +
                   VersionBounds(s);
        case kSearchPackage:
            return L"the MSIX/AppX package " + what + L" is installed with a version" +
                   VersionBounds(s) + L" (Windows 10 and later)";
        case kSearchSubfolderNames:
            return L"a subfolder name of the folder " + what + L" is a version" + VersionBounds(s);
        default:
            return L"search type " + ToDecimal(s.type) + L" (unknown): always counts as found";
    }
}

namespace {

// Where the log goes, as one sentence.
std::wstring LogSentence(const std::wstring& logFile, const std::wstring& programName) {
    const LogDestination d = ClassifyLogFile(logFile);
    const std::wstring fallback = FallbackLogText(programName);
    switch (d.place) {
        case LogPlace::kNone:
            return L"No LogFile in [PREREQ_CHAINER]: the run writes no log.";
        case LogPlace::kAsWritten:
            return L"The log is written to " + logFile + L".";
        case LogPlace::kFolderMayLack:
            return L"The log is written to " + logFile + L" when the folder " + d.folder +
                   L" exists (pravel does not create it); otherwise to " + fallback + L".";
        case LogPlace::kRelative:
            return L"The log is written to " + logFile +
                   L" in the current folder of the program that starts pravel; where that "
                   L"fails, to " +
                   fallback + L".";
        case LogPlace::kNeverExpanded:
            return L"LogFile " + logFile + L" holds " + d.reference +
                   L", which pravel does not expand: the log is written to " + fallback + L".";
    }
    return std::wstring();
}

// Which languages the window texts are translated into, one line for
// [Texts] and one per language section with the keys a user of exactly
// that language does not get from it; empty without any [Texts] section.
std::wstring TextsLines(const IniDocument& document) {
    std::wstring lines;
    bool common = false;
    std::vector<std::wstring> seen;
    for (const IniSection& section : document.Sections()) {
        std::wstring language;
        if (!TextsSectionLanguage(section.Name(), language)) continue;
        if (language.empty()) {
            common = true;
            continue;
        }
        if (std::find(seen.begin(), seen.end(), language) != seen.end()) continue;
        seen.push_back(language);
        WindowTexts served;  // what a user of exactly this language sees
        served.Load(document, {language});
        // Texts, not values: every key but ProductName, Icon and RightToLeft.
        std::wstring missing;
        int count = 0;
        int texts = 0;
        for (uint8_t k = 0; k < kTextKeyCount; ++k) {
            const TextKey key = static_cast<TextKey>(k);
            if (key == kTextProductName || key == kTextIcon || key == kTextRightToLeft) continue;
            ++texts;
            if (served.FromLanguage(key)) continue;
            missing += (missing.empty() ? L"" : L", ") + TextKeyName(key);
            ++count;
        }
        const std::wstring name = LanguageName(language);
        lines += L"    [" + section.Name() + L"] " + (name.empty() ? language : name) +
                 (served.RightToLeft() ? L", right to left" : L"") + L": " +
                 (missing.empty() ? std::wstring(L"every text translated")
                                  : ToDecimal(count) + L" of " + ToDecimal(texts) +
                                        L" texts missing (from [Texts] or built in): " + missing) +
                 L"\n";
    }
    if (seen.empty() && !common) return std::wstring();
    std::wstring text = L"  Window texts: ";
    if (!seen.empty()) {
        text +=
            L"a user sees the first of the Windows display languages (in the user's order) "
            L"that a section serves: its own, a parent (de for de-AT, zh-TW for zh-HK) or "
            L"another of the same language and script";
    }
    if (common) {
        text +=
            seen.empty() ? L"[Texts] for every language" : L"; [Texts] for every other language";
    }
    return text +
           L"; a key that is missing or refused comes from [Texts], else it is the "
           L"built-in English text.\n" +
           lines;
}

}  // namespace

std::wstring ExplainConfiguration(const CheckReport& report) {
    const IniDocument& document = report.document;
    const PrerequisiteSet& set = report.set;
    const GeneralOptions& o = set.Options();
    std::wstring out;
    auto line = [&](const std::wstring& text) { out += VisibleText(text) + L"\n"; };

    line(L"Run: " + RunMode(o.options) + L".");
    if (o.elevateOnce && o.options.find_first_of(L"qb") != std::wstring::npos) {
        line(
            L"  Administrator rights (ElevateOnce): asked for once, before installing, when "
            L"pravel runs without them; the elevated run installs, and its exit code is the "
            L"run's (a refused prompt: 1).");
    }
    line(L"  Setup files with a relative SetupFile are taken from " +
         FolderOrTemp(o.extractionFolder, o.defaultProdCode) + L"; downloads are stored in " +
         FolderOrTemp(o.downloadFolder, o.defaultProdCode) + L".");
    ChainerSettings settings;
    const bool hasChainer = document.ReadChainerSettings(settings);
    line(L"  " + LogSentence(settings.logFile, ProgramNameFor(report.fileName)));
    line(L"  " + RunEndText(hasChainer, settings, report.fileName, o.keepFiles));

    const std::wstring texts = TextsLines(document);
    for (size_t start = 0, end = texts.find(L'\n'); end != std::wstring::npos;
         start = end + 1, end = texts.find(L'\n', start)) {
        line(texts.substr(start, end - start));
    }

    const DocumentIndex index(document);
    for (size_t i = 0; i < set.Count(); ++i) {
        const Prerequisite& p = set.Items()[i];
        const std::wstring key = L"App" + ToDecimal(static_cast<int64_t>(i + 1));
        const IniSection* section = index.AppSection(static_cast<int>(i + 1));
        line(L"");
        line(key + L" " + Quoted(p.name) + L" (line " +
             ToDecimal(report.EditorLine(section != nullptr ? section->Line() : 0)) + L"):");

        // Detection.
        if (Contains(p.options, L"i")) {
            line(L"  Detection: none (option \"i\"): it always counts as missing.");
        } else if (p.searches.empty()) {
            line(p.op == 0 ? L"  Detection: no searches: it always counts as present."
                           : L"  Detection: no searches: it always counts as missing.");
        } else if (p.op != 0 && p.op != 1) {
            line(L"  Detection: Operator " + ToDecimal(p.op) +
                 L" is neither 0 nor 1: it never counts as present.");
        } else if (p.searches.size() == 1) {
            line(L"  Detection: present when " + DescribeSearch(p.searches[0]) + L".");
        } else {
            line(p.op == 0 ? L"  Detection: present when all of these hold (Operator 0, checked "
                             L"in order until one fails):"
                           : L"  Detection: present when one of these holds (Operator 1, checked "
                             L"in order until one holds):");
            for (size_t k = 0; k < p.searches.size(); ++k) {
                line(L"    " + ToDecimal(static_cast<int64_t>(k + 1)) + L". " +
                     DescribeSearch(p.searches[k]) + L".");
            }
        }

        // When missing.
        std::wstring file;
        const FileLocation fileLocation = ParseFileLocation(p.location);
        if (p.locationKind == kLocationSetupFile) {
            const bool absolute = StartsWith(p.location, L"\\\\") ||
                                  (p.location.size() >= 2 && p.location[1] == L':');
            file = absolute ? p.location
                            : FolderOrTemp(o.extractionFolder, o.defaultProdCode) + p.location;
            line(L"  When missing: it is installed from the setup file " + file + L".");
        } else if (p.locationKind == kLocationUrl) {
            std::wstring checks;
            if (p.exactSize != 0) {
                checks +=
                    L"its size is " + ToDecimal(static_cast<uint32_t>(p.exactSize)) + L" bytes";
            }
            if (!p.md5.empty()) checks += (checks.empty() ? L"" : L", ") + (L"its MD5 is " + p.md5);
            if (!p.sha256.empty()) {
                checks += (checks.empty() ? L"" : L", ") + (L"its SHA-256 is " + p.sha256);
            }
            if (!p.signerName.empty()) {
                checks +=
                    (checks.empty() ? L"" : L", ") +
                    (L"its signature verifies and is by \"" + p.signerName + L"\"" +
                     (p.signerKey.empty() ? std::wstring() : L" with the key " + p.signerKey) +
                     L" under a root this machine trusts");
            }
            if (fileLocation.refused) {
                line(
                    L"  When missing: nothing is installed: pravel refuses its file: location "
                    L"(see the error above).");
            } else if (fileLocation.isFile) {
                file = FileLocationPath(p.location);
                line(L"  When missing: it is installed from the file " + file + L" (no download)" +
                     (checks.empty() ? std::wstring() : L", only when " + checks) + L".");
            } else {
                file = DownloadTargetPath(FolderOrTemp(o.downloadFolder, o.defaultProdCode),
                                          p.location, p.folder);
                line(L"  When missing: it is downloaded from " + p.location + L" to " + file +
                     L" and " +
                     (checks.empty() ? std::wstring(L"run without any check of the file")
                                     : L"accepted only when " + checks +
                                           L" (a file already there is checked the same way "
                                           L"before it is run)") +
                     L".");
                line(L"  A package made by pravel-check --layout brings it as " +
                     DownloadTargetPath(L"downloads", p.location, p.folder) +
                     L" beside pravel.exe; pravel takes that file" +
                     (checks.empty() ? std::wstring(L" as it is instead of downloading")
                                     : std::wstring(L" instead of downloading when it passes "
                                                    L"the same checks")) +
                     L".");
            }
        } else {
            line(L"  When missing: the user is sent to the web page " + p.location +
                 L"; pravel installs nothing itself.");
        }
        if (p.locationKind != kLocationOpenSite && !fileLocation.refused) {
            for (int mode = 0; mode < 2; ++mode) {
                const std::wstring arguments = TrimWhite(InstallerArguments(p, mode));
                line(std::wstring(mode == 0 ? L"  Silent run (\"q\"): "
                                            : L"  Basic UI run (\"b\"): ") +
                     Quoted(file) + (arguments.empty() ? L" without arguments" : L" " + arguments) +
                     L".");
            }
        }
        if (!p.retValPropName.empty()) {
            line(L"  Its return code is recorded as " + Quoted(p.retValPropName) +
                 L" in HKEY_CURRENT_USER\\InterbootContext.");
        }
        if (!p.parentPrereq.empty()) {
            line(L"  Selecting it also selects " + Quoted(p.parentPrereq) +
                 L" when that one needs installing.");
        }

        // Options and restrictions.
        const std::wstring words = OptionWords(p);
        line(L"  Options " + Quoted(p.options) + L": " + (words.empty() ? L"none" : words) + L".");
        std::wstring where;
        if (!p.winNTVersions.empty())
            where += Systems(p.winNTVersions, L"32-bit", kAll32BitSystems);
        if (!p.winNT64Versions.empty()) {
            where += (where.empty() ? L"" : L"; ") +
                     Systems(p.winNT64Versions, L"64-bit", kAll64BitSystems);
        }
        line(L"  Systems: " + (where.empty() ? std::wstring(L"every Windows version") : where) +
             L"; languages: " +
             (p.languageList.empty() ? std::wstring(L"every language")
                                     : L"only " + LanguageWords(p.languageList)) +
             L".");
    }
    return out;
}

}  // namespace pravel
