// The prerequisite list: where pravel stops loading it, the sections of the
// listed prerequisites (checker/PrerequisiteCheck.h) and the return codes
// they share.
#include <string>
#include <unordered_map>

#include "checker/ConfigChecker.h"
#include "checker/KeyNames.h"
#include "checker/PrerequisiteCheck.h"
#include "common/Text.h"

namespace pravel {

std::wstring AppKey(int n) {
    return L"App" + ToDecimal(n);
}

std::wstring ConfigChecker::Named(const Listed& item) const {
    return AppKey(item.number) + L" " + Quoted(item.entry->value);
}

// "App3 "Tools", App4 "Help"": the listed prerequisites from number `from` on.
std::wstring ConfigChecker::NeverLoaded(int from) const {
    std::wstring names;
    for (const Listed& item : listed_) {
        if (item.number < from) continue;
        if (!names.empty()) names += L", ";
        names += Named(item);
    }
    return names;
}

// Errors that end the prerequisite list at `item`. `neverLoaded` is appended
// to the first one (empty for prerequisites behind an earlier stop).
bool ConfigChecker::Defects(const Listed& item, const std::wstring& neverLoaded) {
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

void ConfigChecker::CheckList() {
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

}  // namespace pravel
