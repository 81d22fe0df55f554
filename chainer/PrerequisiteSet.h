// The loaded configuration: general options and the ordered prerequisite
// list, plus the decision state each prerequisite carries through a run.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "chainer/Configuration.h"

namespace pravel {

class IniDocument;

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

private:
    GeneralOptions options_;
    std::vector<Prerequisite> items_;
};

}  // namespace pravel
