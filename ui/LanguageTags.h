// Windows language names ("de-DE", "zh-Hant", "sr-Latn-RS") and language
// identifiers (LANGIDs), and how one language stands in for another when
// pravel picks the texts a user reads. Platform-free.
//
// A language name is a language (2 or 3 letters), then optionally a script
// (4 letters), a region (2 letters or 3 digits) and variants (5 to 8 letters
// or digits, or 4 beginning with a digit), joined by "-", compared without
// regard to case. Chinese names that repeat what the region implies are the
// same language: zh-Hant-TW is zh-TW, zh-Hans-CN is zh-CN.
//
// Stand-ins, best first (LanguageChain): the name itself, then its parents:
// the name without its last variant, without its region (de-AT -> de,
// sr-Latn-RS -> sr-Latn), without its script; Chinese by script: zh-MO ->
// zh-HK -> zh-TW -> zh-Hant and zh-SG -> zh-CN -> zh-Hans -> zh (Windows' zh
// is Simplified). The script of Serbian and Bosnian is never dropped: "sr"
// and "bs" stand for both the Latin and the Cyrillic form and stand in for
// neither. After the parents, any other name of the same language and
// script (SameLanguage): de-CH for de-AT; never across scripts (zh-TW and
// zh-CN, sr-Latn and sr-Cyrl) nor across languages (hr, sr and bs are
// three).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pravel {

// `text` in the canonical case (de-DE, zh-Hant, sr-Latn-RS) when it has the
// form of a language name; empty otherwise.
std::wstring CanonicalLanguageName(std::wstring_view text);

// The name of LANGID `id` as Windows names it (1031 "de-DE", 4 "zh-Hans",
// 10266 "sr-Cyrl-RS"); empty when Windows knows no such language.
std::wstring LanguageNameOfId(uint16_t id);

// The `index`th of the names Windows knows, in the order of their LANGIDs
// (a name may come twice); empty past the last.
std::wstring KnownLanguageName(size_t index);

// `name` followed by its parents, best first (see above). `name` is canonical.
std::vector<std::wstring> LanguageChain(const std::wstring& name);

// Whether two canonical names are of the same language written in the same
// script (see above).
bool SameLanguage(const std::wstring& a, const std::wstring& b);

// Whether the name leaves open which of its two scripts the language is
// written in (sr, bs, sr-RS): such a name serves only a user of exactly it.
bool ScriptIsOpen(const std::wstring& name);

// Whether the language is read right to left where the system cannot say
// (Arabic, Hebrew, Persian, Urdu, Pashto, Dari, Uyghur, Central Kurdish,
// Sindhi, Kashmiri, Syriac, Divehi, Yiddish, and any name in the Arabic,
// Hebrew, Syriac, Thaana, Adlam or N'Ko script: pa-Arab-PK).
bool IsRightToLeftName(const std::wstring& name);

}  // namespace pravel
