#include "chainer/PrerequisiteSet.h"

#include "common/HResultError.h"
#include "common/Text.h"
#include "config/IniDocument.h"

namespace pravel {

void PrerequisiteSet::Load(const IniDocument& document, const TextExpander& expandLocation) {
    options_ = GeneralOptions();
    items_.clear();
    document.ReadGeneralOptions(options_);
    for (int n = 1;; ++n) {
        Prerequisite p;
        if (!document.ReadPrerequisite(n, p)) break;
        if (!p.languageList.empty() && !EndsWith(p.languageList, L";")) p.languageList += L';';
        if ((p.locationKind == kLocationUrl || p.locationKind == kLocationOpenSite) &&
            expandLocation) {
            p.location = expandLocation(p.location);
        }
        p.skipSearch = Contains(p.options, L"i") ? 1 : 0;
        items_.push_back(std::move(p));
    }
}

Prerequisite& PrerequisiteSet::At(size_t index) {
    if (index >= items_.size()) ThrowHr(kHrBounds);
    return items_[index];
}

const Prerequisite& PrerequisiteSet::At(size_t index) const {
    if (index >= items_.size()) ThrowHr(kHrBounds);
    return items_[index];
}

}  // namespace pravel
