// The loaded configuration: general options and the ordered prerequisite
// list, plus the decision state each prerequisite carries through a run.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/Text.h"
#include "config/Configuration.h"

namespace pravel {

class IniDocument;
class DecisionEnvironment;

// Resolves folder-property references in a configuration text; the
// configuration loader uses it for Url and OpenSite locations.
using TextExpander = std::function<std::wstring(const std::wstring&)>;

class PrerequisiteSet {
  public:
    // Reads the general options and then App1, App2, ... until the first
    // missing or incomplete prerequisite. `expandLocation` may be empty (the
    // locations are then kept as written).
    void Load(const IniDocument& document, const TextExpander& expandLocation);

    const GeneralOptions& Options() const { return options_; }
    GeneralOptions& Options() { return options_; }
    const std::vector<Prerequisite>& Items() const { return items_; }
    std::vector<Prerequisite>& Items() { return items_; }
    size_t Count() const { return items_.size(); }

    // The prerequisite at `index`; throws HResultError(0x8000000B) outside the list.
    Prerequisite& At(size_t index);
    const Prerequisite& At(size_t index) const;

    // --- Decision (PrerequisiteDecision.cpp) ---------------------------------
    // The environment must outlive every decision call.
    void SetEnvironment(DecisionEnvironment* environment) { environment_ = environment; }

    // Decides prerequisite `index`: unsupported (4) by OS, language or
    // architecture; otherwise present (0) or how to obtain it (1, 2, 3).
    // With `reevaluation` a prerequisite that skips its search keeps its state.
    void Evaluate(size_t index, bool reevaluation);
    // First pass: every prerequisite, then availability and selection. When
    // a decision fails, the ones decided before it are still selected by
    // their decisions and the rest stay undecided (state 8, not selected);
    // a failure in the selection step leaves the others' selection whole.
    // The failure is then thrown.
    void EvaluateAll();
    // Pass before installing (and after the installations): re-decides every
    // prerequisite in play when it starts, counts the mandatory ones that
    // still need installing.
    void Reevaluate();
    // Selects or deselects, carrying the change to children and parent.
    void Select(size_t index, bool selected);
    // The state the run acts on (5: available locally, 7: not selected).
    int32_t EffectiveState(size_t index) const;
    // True for file:// locations and for downloads already at their target
    // path (with the exact size when one is given). When the prerequisite
    // tests the content of its file (MD5, SHA256, SignerName), a file in the
    // download folder must also pass those tests
    // (DecisionEnvironment::AcceptFoundFile); one that fails is deleted and
    // downloaded again. Either way the file is tested again when it is to
    // run (InstallEngine).
    bool IsAvailableLocally(const Prerequisite& p) const;
    // Path of a file of the packed payload; empty: this program carries none.
    std::wstring PayloadPath(const std::wstring& name) const;

    // True when every mandatory prerequisite (letter "m", without "i") was
    // decided present, or unsupported on this system; otherwise `missing`
    // names the first one that is missing or undecided, whatever its
    // selection.
    bool MandatoryPresent(std::wstring& missing) const;
    int32_t MandatoryCount() const { return mandatoryCount_; }
    bool Evaluated() const { return evaluated_; }
    // True when some prerequisite must be installed, downloaded or opened.
    bool AnyToInstall() const;

  private:
    // The selection step from prerequisite `first` on (undecided ones are
    // left alone); see EvaluateAll.
    void SelectDecided(size_t first);
    size_t FindByName(const std::wstring& name) const;
    // The line after a change of selection: what it means for `p` and why
    // (RunExplanation.cpp).
    void LogSelectionChange(const Prerequisite& p, bool selected) const;
    void Log(const std::wstring& message) const;
    // The pieces joined (see Concat), joined only when logging is enabled.
    void Log(std::initializer_list<TextPiece> pieces) const;

    GeneralOptions options_;
    std::vector<Prerequisite> items_;
    DecisionEnvironment* environment_ = nullptr;
    int32_t mandatoryCount_ = 0;
    bool evaluated_ = false;
    std::vector<std::wstring> unknownParentsLogged_;  // a few names at most
};

}  // namespace pravel
