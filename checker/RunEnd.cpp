#include "checker/RunEnd.h"

#include "chainer/CleanupPlan.h"
#include "checker/KeyNames.h"
#include "common/Text.h"

namespace pravel {

namespace {

// Folders every Windows installation on drive C: has; a log file directly
// inside one of them can always be created where its folder's access allows.
const wchar_t* const kFoldersThatExist[] = {
    L"C:",
    L"C:\\Windows",
    L"C:\\Windows\\Temp",
    L"C:\\ProgramData",
    L"C:\\Users\\Public",
    L"C:\\Users\\Public\\Documents",
};

// "%NAME%" (at least one character between the signs), or empty.
std::wstring PercentReference(const std::wstring& text) {
    const size_t open = text.find(L'%');
    if (open == std::wstring::npos) return std::wstring();
    const size_t close = text.find(L'%', open + 1);
    if (close == std::wstring::npos || close == open + 1) return std::wstring();
    return text.substr(open, close - open + 1);
}

// "[Name]" at the start of the text (a folder property such as
// [SETUPEXEDIR]), or empty.
std::wstring LeadingFolderReference(const std::wstring& text) {
    if (!StartsWith(text, L"[")) return std::wstring();
    const size_t close = text.find(L']');
    if (close == std::wstring::npos || close == 1) return std::wstring();
    for (size_t i = 1; i < close; ++i) {
        const wchar_t c = text[i];
        const bool word = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') ||
                          (c >= L'0' && c <= L'9') || c == L'_';
        if (!word) return std::wstring();
    }
    return text.substr(0, close + 1);
}

}  // namespace

LogDestination ClassifyLogFile(const std::wstring& logFile) {
    LogDestination d;
    if (logFile.empty()) return d;
    d.reference = PercentReference(logFile);
    if (d.reference.empty()) d.reference = LeadingFolderReference(logFile);
    if (!d.reference.empty()) {
        d.place = LogPlace::kNeverExpanded;
        return d;
    }
    if (!IsAbsolutePath(logFile)) {
        d.place = LogPlace::kRelative;
        return d;
    }
    const size_t slash = logFile.rfind(L'\\');
    d.folder = slash == std::wstring::npos ? logFile.substr(0, 2) : logFile.substr(0, slash);
    for (const wchar_t* folder : kFoldersThatExist) {
        if (EqualsIgnoreCaseAscii(d.folder, folder)) {
            d.place = LogPlace::kAsWritten;
            return d;
        }
    }
    d.place = LogPlace::kFolderMayLack;
    return d;
}

std::wstring FallbackLogText(const std::wstring& programName) {
    const std::wstring log = programName + L".LOG";
    return L"C:\\ProgramData\\QUILLON_LOGS\\" + log + L" (then beside " + programName +
           L".exe as " + log + L", then %TEMP%\\QUILLON_LOGS\\" + log + L")";
}

std::wstring ProgramNameFor(const std::wstring& configurationFileName) {
    const size_t dot = configurationFileName.rfind(L'.');
    return dot == std::wstring::npos || dot == 0 ? configurationFileName
                                                 : configurationFileName.substr(0, dot);
}

std::wstring ChainerNote(const ChainerSettings& settings,
                         const std::wstring& configurationFileName) {
    const std::wstring program = ProgramNameFor(configurationFileName) + L".exe";
    return L"with [PREREQ_CHAINER], pravel deletes this configuration file (" +
           configurationFileName + L") at the end of every run" +
           (settings.cleanupScript.empty()
                ? std::wstring()
                : L", and its clean-up script " + settings.cleanupScript + L" removes " + program) +
           L": a second run from the same folder finds no configuration and does nothing "
           L"(exit 0); keep the section only for a package unpacked into a folder of its own";
}

std::wstring RunEndText(bool hasSection, const ChainerSettings& settings,
                        const std::wstring& configurationFileName, int32_t keepFiles) {
    const std::wstring downloads =
        keepFiles == kKeepComplete || keepFiles == kKeepPrereqs
            ? L"downloaded files are kept (KeepFiles)"
            : L"downloaded files and the folders made for them are deleted";
    if (!hasSection) {
        return L"At the end of a run: " + downloads + L"; the configuration file and " +
               ProgramNameFor(configurationFileName) + L".exe stay (there is no [PREREQ_CHAINER]).";
    }
    std::wstring text = L"At the end of every run: " + downloads + L"; pravel deletes ";
    if (!SplitCleanupFiles(settings.cleanupFiles).empty()) {
        text += L"the CleanupFiles that exist" +
                (settings.cleanupFolders.empty()
                     ? std::wstring()
                     : L" below " + settings.cleanupFolders + L" (and their emptied folders)") +
                L", then ";
    }
    text += L"this configuration file (" + configurationFileName + L")";
    if (!settings.cleanupScript.empty()) {
        text += L", and starts the clean-up script " + settings.cleanupScript + L" to remove " +
                ProgramNameFor(configurationFileName) + L".exe" +
                (settings.cleanupFolders.empty()
                     ? std::wstring()
                     : L" and its folders below " + settings.cleanupFolders);
    }
    return text +
           L" ([PREREQ_CHAINER] is present): a second run from the same folder finds no "
           L"configuration and does nothing.";
}

}  // namespace pravel
