// Deciding prerequisites: state, selection with parent and child
// propagation, effective state and local availability.
#include <algorithm>

#include "chainer/DecisionEnvironment.h"
#include "chainer/PrerequisiteSet.h"
#include "common/HResultError.h"
#include "common/Text.h"
#include "download/DownloadRules.h"
#include "download/DownloadTarget.h"
#include "download/FileLocation.h"

namespace pravel {

namespace {

constexpr size_t kNotFound = static_cast<size_t>(-1);

bool NeedsInstalling(int32_t state) {
    return state == kStateInstallFromPackage || state == kStateDownload || state == kStateOpenSite;
}

}  // namespace

const char* StateText(int32_t state) {
    switch (state) {
        case kStatePresent:
            return "An acceptable version was found.";
        case kStateInstallFromPackage:
            return "No acceptable version found. It must be installed from package.";
        case kStateDownload:
            return "No acceptable version found. It must be downloaded.";
        case kStateOpenSite:
            return "No acceptable version found. It must be downloaded manually from a site.";
        case kStateUnsupported:
            return "No acceptable version found. Operating System not supported.";
        case kStateAvailableLocally:
            return "No acceptable version found. It is already downloaded and it will be "
                   "installed.";
        case kStateNotFound:
            return "No acceptable version found.";
        case kStateNotSelected:
            return "Not selected for install.";
        default:
            return "Undefined";
    }
}

void PrerequisiteSet::Log(const std::wstring& message) const {
    if (environment_ != nullptr && environment_->LogEnabled()) environment_->Log(message);
}

void PrerequisiteSet::Log(std::initializer_list<TextPiece> pieces) const {
    if (environment_ != nullptr && environment_->LogEnabled()) environment_->Log(Concat(pieces));
}

void PrerequisiteSet::Evaluate(size_t index, bool reevaluation) {
    Prerequisite& p = At(index);
    if (p.state == kStateUnsupported) return;
    if (!environment_->IsOsAccepted(p.winNTVersions, p.winNT64Versions) ||
        !environment_->IsLanguageAccepted(p.languageList)) {
        Log({"Wrong OS or Os language for:", p.name});
        p.state = kStateUnsupported;
        return;
    }
    const MachineArchitecture machine = environment_->Architecture();
    const wchar_t* letter = nullptr;  // the option letter that excludes this machine
    if (!machine.queryExists ||
        (machine.querySucceeded && machine.nativeMachine != kMachineArm64)) {
        letter = L"d";
    } else if (machine.querySucceeded) {
        letter = L"c";
    }
    if (letter != nullptr && Contains(p.options, letter)) {
        Log({"Prerequisite ", p.name, " is not for this machine's architecture (option \"",
             std::wstring_view(letter), "\"): it is not installed."});
        p.state = kStateUnsupported;
        return;
    }
    Log({"Searching for:", p.name});
    if (reevaluation && p.skipSearch) return;
    const bool found =
        !p.skipSearch && environment_->EvaluateSearches(*this, index, Contains(p.options, L"x"));
    if (found) {
        p.state = kStatePresent;
    } else if (p.locationKind == kLocationUrl) {
        p.state = kStateDownload;
    } else if (p.locationKind == kLocationOpenSite) {
        p.state = kStateOpenSite;
    } else {
        p.state = kStateInstallFromPackage;
    }
    if (p.firstState == kStateUndefined) p.firstState = p.state;
    Log({"Search result:", AsciiPiece(StateText(p.state))});
}

void PrerequisiteSet::EvaluateAll() {
    // A failure stops the decisions, not the selection: every prerequisite
    // decided before it is still selected by its decision (a missing one is
    // installed), the others stay undecided (state 8, never selected). The
    // failure is passed on once the selection is done.
    try {
        for (size_t i = 0; i < items_.size(); ++i) Evaluate(i, false);
    } catch (...) {
        SelectDecided(0);
        throw;
    }
    SelectDecided(0);
}

void PrerequisiteSet::SelectDecided(size_t first) {
    for (size_t i = first; i < items_.size(); ++i) {
        Prerequisite& p = items_[i];
        if (p.state == kStateUndefined) continue;
        try {
            int32_t state = p.state;
            if (state == kStateDownload && p.availableLocally) state = kStateAvailableLocally;
            if (state == kStateDownload || state == kStateAvailableLocally) {
                p.availableLocally = 0;
                p.availableLocally = IsAvailableLocally(p) ? 1 : 0;
                if (p.availableLocally) Log({"Already available, no download needed:", p.name});
            }
            Select(i, NeedsInstalling(state) || state == kStateAvailableLocally);
        } catch (...) {
            // Selected by its decision all the same (a file that could not be
            // looked at is downloaded), and so is the rest; then the failure
            // is passed on.
            if (NeedsInstalling(p.state)) p.selected = 1;
            SelectDecided(i + 1);
            throw;
        }
    }
}

void PrerequisiteSet::Reevaluate() {
    // The prerequisites in play when the pass starts: a child that its
    // parent's new decision deselects is still decided again.
    std::vector<size_t> inPlay;
    for (size_t i = 0; i < items_.size(); ++i) {
        const int32_t effective = EffectiveState(i);
        if (effective != kStateNotSelected && effective != kStateUnsupported) inPlay.push_back(i);
    }
    for (size_t i : inPlay) {
        Evaluate(i, true);
        Prerequisite& p = items_[i];
        if (p.state == kStateDownload) {
            p.availableLocally = IsAvailableLocally(p) ? 1 : 0;
        }
        Select(i, NeedsInstalling(p.state));
    }
    mandatoryCount_ = 0;
    for (const auto& p : items_) {
        if (Contains(p.options, L"m") && NeedsInstalling(p.state)) ++mandatoryCount_;
    }
    evaluated_ = true;
}

size_t PrerequisiteSet::FindByName(const std::wstring& name) const {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].name == name) return i;
    }
    return kNotFound;
}

void PrerequisiteSet::Select(size_t index, bool selected) {
    Prerequisite& p = At(index);
    if ((p.selected != 0) == selected) return;
    p.selected = selected ? 1 : 0;
    Log({"Prerequisite selected for install:", p.name});
    LogSelectionChange(p, selected);

    const std::wstring name = p.name;
    const std::wstring parent = p.parentPrereq;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (i == index) continue;
        const Prerequisite& child = items_[i];
        if (child.state == kStateUnsupported || child.parentPrereq != name) continue;
        Select(i, selected && NeedsInstalling(child.state));
    }
    if (selected && !parent.empty()) {
        const size_t parentIndex = FindByName(parent);
        if (parentIndex == kNotFound) {
            // A ParentPrereq that names no prerequisite is ignored (once logged).
            auto& logged = unknownParentsLogged_;
            if (std::find(logged.begin(), logged.end(), parent) == logged.end()) {
                logged.push_back(parent);
                Log({"Parent prerequisite not found:", parent, " (ignored)"});
            }
            return;
        }
        const int32_t state = items_[parentIndex].state;
        if (state != kStatePresent && state != kStateUnsupported && state != kStateUndefined)
            Select(parentIndex, true);
    }
}

int32_t PrerequisiteSet::EffectiveState(size_t index) const {
    const Prerequisite& p = At(index);
    if (!p.selected) return kStateNotSelected;
    if (p.state != kStatePresent) {
        return p.state == kStateDownload && p.availableLocally ? kStateAvailableLocally : p.state;
    }
    switch (p.locationKind) {
        case kLocationUrl:
            return IsAvailableLocally(p) ? kStateAvailableLocally : kStateDownload;
        case kLocationOpenSite:
            return kStateOpenSite;
        default:
            return kStateInstallFromPackage;
    }
}

bool PrerequisiteSet::IsAvailableLocally(const Prerequisite& p) const {
    // A file: location is run from where it lies; with acceptance keys it is
    // tested as it is when it is to run, not here.
    if (ParseFileLocation(p.location).isFile) return true;
    const std::wstring target =
        DownloadTargetPath(environment_->DownloadFolder(), p.location, p.folder);
    uint32_t size = 0;
    if (!environment_->FindFile(target, size)) return false;
    if (p.exactSize != 0 && size != static_cast<uint32_t>(p.exactSize)) return false;
    return !HasContentTests(p) || environment_->AcceptFoundFile(p, target);
}

std::wstring PrerequisiteSet::PayloadPath(const std::wstring&) const {
    return std::wstring();
}

bool PrerequisiteSet::MandatoryPresent(std::wstring& missing) const {
    for (const Prerequisite& p : items_) {
        if (!Contains(p.options, L"m") || Contains(p.options, L"i")) continue;
        if (p.state != kStatePresent && p.state != kStateUnsupported) {
            missing = p.name;
            return false;
        }
    }
    return true;
}

bool PrerequisiteSet::AnyToInstall() const {
    for (const auto& p : items_) {
        if (NeedsInstalling(p.state)) return true;
    }
    return false;
}

}  // namespace pravel
