#include "chainer/RunExplanation.h"

#include "common/Text.h"

namespace pravel {

namespace {

bool NeedsInstalling(int32_t state) {
    return state == kStateInstallFromPackage || state == kStateDownload || state == kStateOpenSite;
}

}  // namespace

void PrerequisiteSet::LogSelectionChange(const Prerequisite& p, bool selected) const {
    Log({"Prerequisite ", p.name,
         selected                   ? TextPiece(" is selected: it must be installed.")
         : p.state == kStatePresent ? TextPiece(" is deselected: an acceptable version is present.")
                                    : TextPiece(" is deselected.")});
}

std::wstring ExitCodeLine(const PrerequisiteSet& set, int32_t exitCode,
                          const RestartStop* restart) {
    if (exitCode == -1) {
        std::wstring line = Concat({"Exit code -1: a restart is pending"});
        if (restart != nullptr && !restart->askedBy.empty()) {
            AppendPieces(line, {" (", restart->askedBy,
                                restart->installerNeeds ? TextPiece(" returned 3010)")
                                                        : TextPiece(" asked for it, option r)")});
            for (size_t k = 0; k < restart->leftFor.size(); ++k) {
                AppendPieces(
                    line, {k == 0 ? TextPiece("; left for after the restart: ") : TextPiece(", "),
                           restart->leftFor[k]});
            }
        }
        return line + Concat({"; HKCU\\InterbootContext is kept"});
    }
    const bool decideOnly =
        exitCode == 0 && set.Options().options.find_first_of(L"qb") == std::wstring::npos;
    if (exitCode == 0 && !decideOnly) {
        return Concat({"Exit code 0: every mandatory prerequisite is present"});
    }
    std::wstring line =
        Concat({decideOnly ? TextPiece("Exit code 0: decide-only run (Options has neither q nor b)")
                           : TextPiece("Exit code 1: ")});
    if (decideOnly) {
        bool listed = false;
        for (const Prerequisite& p : set.Items()) {
            if (p.selected == 0 || !NeedsInstalling(p.state)) continue;
            AppendPieces(line, {listed ? TextPiece(", ") : TextPiece("; "), p.name});
            listed = true;
        }
        (listed ? TextPiece(" would be installed") : TextPiece("; nothing would be installed"))
            .AppendTo(line);
    }
    // The mandatory prerequisite the run's own verdict names (by its
    // decision, whatever its selection).
    std::wstring missing;
    if (set.MandatoryPresent(missing)) {
        if (!decideOnly) TextPiece("the lines before say why").AppendTo(line);
        return line;
    }
    bool undecided = false;
    for (const Prerequisite& p : set.Items()) {
        if (p.name == missing) {
            undecided = p.state == kStateUndefined;
            break;
        }
    }
    AppendPieces(line,
                 {decideOnly ? TextPiece("; the mandatory prerequisite ")
                             : TextPiece("the mandatory prerequisite "),
                  missing, undecided ? TextPiece(" was not decided") : TextPiece(" is missing")});
    return line;
}

}  // namespace pravel
