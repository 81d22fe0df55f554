#include "checker/DocumentIndex.h"

#include "checker/KeyNames.h"
#include "common/Text.h"

namespace pravel {

namespace {

// n of a canonical "App<n>" within 1..limit, else 0.
size_t AppNumber(const std::wstring& name, size_t limit) {
    std::wstring base;
    int n = 0;
    if (!StartsWith(name, L"App") || !SplitNumbered(name, base, n) || base != L"App") return 0;
    return static_cast<size_t>(n) <= limit ? static_cast<size_t>(n) : 0;
}

}  // namespace

DocumentIndex::DocumentIndex(const IniDocument& document) : document_(document) {
    const std::vector<IniSection>& sections = document.Sections();
    sections_.reserve(sections.size());
    pairs_.resize(sections.size());
    apps_.assign(sections.size(), nullptr);
    const IniSection* list = nullptr;
    for (size_t i = 0; i < sections.size(); ++i) {
        const IniSection& section = sections[i];
        sections_.emplace(section.Name(), &section);  // keeps the first of a name
        if (list == nullptr && section.Name() == kList) list = &section;
        if (const size_t n = AppNumber(section.Name(), apps_.size())) {
            if (apps_[n - 1] == nullptr) apps_[n - 1] = &section;
        }
        if (section.Pairs().size() <= kScanned) continue;
        pairs_[i] = std::make_unique<PairTable>();
        pairs_[i]->reserve(section.Pairs().size());
        for (const IniPair& pair : section.Pairs()) pairs_[i]->emplace(pair.key, &pair);
    }
    if (list == nullptr) return;
    listed_.assign(list->Pairs().size(), nullptr);
    for (const IniPair& pair : list->Pairs()) {
        if (const size_t n = AppNumber(pair.key, listed_.size())) {
            if (listed_[n - 1] == nullptr) listed_[n - 1] = &pair;
        }
    }
}

const IniSection* DocumentIndex::AppSection(int n) const {
    if (n >= 1 && static_cast<size_t>(n) <= apps_.size()) return apps_[n - 1];
    return n >= 1 ? Section(L"App" + ToDecimal(n)) : nullptr;
}

const IniPair* DocumentIndex::ListEntry(int n) const {
    if (n >= 1 && static_cast<size_t>(n) <= listed_.size()) return listed_[n - 1];
    const IniSection* list = Section(kList);
    return n >= 1 && list != nullptr ? Key(*list, L"App" + ToDecimal(n)) : nullptr;
}

const IniSection* DocumentIndex::Section(std::wstring_view name) const {
    const auto found = sections_.find(name);
    return found == sections_.end() ? nullptr : found->second;
}

const IniPair* DocumentIndex::Key(const IniSection& section, std::wstring_view key) const {
    const size_t position = static_cast<size_t>(&section - document_.Sections().data());
    if (position >= pairs_.size() || &document_.Sections()[position] != &section) return nullptr;
    const PairTable* table = pairs_[position].get();
    if (table == nullptr) {
        for (const IniPair& pair : section.Pairs()) {
            if (pair.key == key) return &pair;
        }
        return nullptr;
    }
    const auto found = table->find(key);
    return found == table->end() ? nullptr : found->second;
}

namespace {

// Searches read per small document: each look-up of pravel's reader then
// scans a few dozen pairs at most.
constexpr int kSearchesPerDocument = 8;
// Prerequisites (with up to that many searches) read per small document.
constexpr size_t kPrerequisitesPerDocument = 16;

const wchar_t* const kSearchBases[] = {L"SearchType", L"SearchString", L"VerMin",
                                       L"VerMax",     L"RefContent",   L"SearchCmdLine"};

void AppendPair(std::wstring& text, std::wstring_view key, const std::wstring& value) {
    text.append(key);
    text += L'=';
    text += value;
    text += L"\r\n";
}

// A configuration whose [App<i>] holds keys[i - 1] (already one pair per
// key) and whose list names it names[i - 1], loaded by pravel's loader: as
// many items as it loads before it stops.
PrerequisiteSet LoadSmall(const std::vector<std::wstring>& names,
                          const std::vector<std::wstring>& keys) {
    std::wstring text = L"[PREREQUISITES]\r\n";
    for (size_t i = 0; i < names.size(); ++i) {
        AppendPair(text, L"App" + ToDecimal(static_cast<int64_t>(i + 1)), names[i]);
    }
    for (size_t i = 0; i < keys.size(); ++i) {
        text += L"[App" + ToDecimal(static_cast<int64_t>(i + 1)) + L"]\r\n";
        text += keys[i];
    }
    IniDocument small;
    small.Parse(text);
    PrerequisiteSet set;
    set.Load(small, TextExpander());
    return set;
}

PrerequisiteSet LoadOne(const std::wstring& name, const std::wstring& keys) {
    return LoadSmall({name}, {keys});
}

// Reads searches first .. first+count-1 of `section` (all of them have a
// SearchType key) into `into`; false when pravel's reader stops loading
// there (a search without SearchString).
bool ReadSearches(const IndexedSection& section, int first, int count,
                  std::vector<PrerequisiteSearch>& into) {
    std::wstring keys = L"SetupFile=-\r\n";
    for (int k = 0; k < count; ++k) {
        const std::wstring from = ToDecimal(first + k);
        const std::wstring to = ToDecimal(k + 1);
        for (const wchar_t* base : kSearchBases) {
            const IniPair* pair = section.Find(base + from);
            if (pair != nullptr) AppendPair(keys, base + to, pair->value);
        }
    }
    PrerequisiteSet set = LoadOne(L"-", keys);
    if (set.Count() != 1) return false;
    for (PrerequisiteSearch& search : set.Items()[0].searches) into.push_back(std::move(search));
    return true;
}

}  // namespace

void LoadPrerequisites(const DocumentIndex& index, PrerequisiteSet& set) {
    // The general options: pravel's reader on the first of each key it reads.
    std::wstring general;
    if (const IniSection* section = index.Section(kGeneral)) {
        general = L"[GeneralOptions]\r\n";
        for (const std::wstring& key : GeneralKeys()) {
            if (const IniPair* pair = index.Key(*section, key)) {
                AppendPair(general, key, pair->value);
            }
        }
    }
    IniDocument options;
    options.Parse(general);
    set.Load(options, TextExpander());

    const IniSection* list = index.Section(kList);
    if (list == nullptr) return;
    set.Items().reserve(list->Pairs().size());
    // Prerequisites with few searches are read several to a small document;
    // one with more is read alone, its searches a few at a time.
    std::vector<std::wstring> names, keys;
    auto flush = [&] {
        if (names.empty()) return true;
        PrerequisiteSet some = LoadSmall(names, keys);
        for (Prerequisite& p : some.Items()) set.Items().push_back(std::move(p));
        const bool all = some.Count() == names.size();
        names.clear();
        keys.clear();
        return all;  // otherwise the list ends at the one that did not load
    };
    for (int n = 1;; ++n) {
        const IniPair* entry = index.ListEntry(n);
        const IniSection* found = index.AppSection(n);
        if (entry == nullptr || found == nullptr) {
            flush();
            return;
        }
        const IndexedSection section(*found, index);
        std::wstring text;
        for (const std::wstring& key : PrerequisiteKeys()) {
            if (const IniPair* pair = section.Find(key)) AppendPair(text, key, pair->value);
        }
        int count = 0;
        while (section.Find(L"SearchType" + ToDecimal(count + 1)) != nullptr) ++count;

        if (count <= kSearchesPerDocument) {
            for (int k = 1; k <= count; ++k) {
                const std::wstring number = ToDecimal(k);
                for (const wchar_t* base : kSearchBases) {
                    if (const IniPair* pair = section.Find(base + number)) {
                        AppendPair(text, base + number, pair->value);
                    }
                }
            }
            names.push_back(entry->value);
            keys.push_back(std::move(text));
            if (names.size() == kPrerequisitesPerDocument && !flush()) return;
            continue;
        }
        if (!flush()) return;
        PrerequisiteSet one = LoadOne(entry->value, text);
        if (one.Count() != 1) return;  // no location: the list ends here
        Prerequisite& p = one.Items()[0];
        for (int first = 1; first <= count; first += kSearchesPerDocument) {
            const int chunk =
                count - first + 1 < kSearchesPerDocument ? count - first + 1 : kSearchesPerDocument;
            if (!ReadSearches(section, first, chunk, p.searches)) return;
        }
        set.Items().push_back(std::move(p));
    }
}

}  // namespace pravel
