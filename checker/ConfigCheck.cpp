#include "checker/ConfigCheck.h"

#include <algorithm>

#include "checker/ConfigChecker.h"
#include "checker/DocumentIndex.h"
#include "checker/KeyNames.h"
#include "common/ErrorCodes.h"
#include "common/PathForms.h"
#include "common/Text.h"
#include "config/ConfigFile.h"

namespace pravel {

namespace {

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

void ConfigChecker::Run() {
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

bool IsNetworkPath(const std::wstring& path) {
    return StartsWith(path, L"//") || (IsUncPath(path) && !StartsWith(path, L"\\\\.\\"));
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
        ConfigChecker(report, index, readFile).Run();
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
