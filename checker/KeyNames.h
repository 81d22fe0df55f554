// What pravel reads, by section: the key names of [GeneralOptions],
// [PREREQ_CHAINER], [App<n>] and its numbered search keys, and the
// look-up of the name a misspelt key or section probably means.
#pragma once

#include <string>
#include <vector>

namespace pravel {

const std::vector<std::wstring>& GeneralKeys();
const std::vector<std::wstring>& ChainerKeys();
const std::vector<std::wstring>& PrerequisiteKeys();
// Base names of the keys of search k (each followed by k).
const std::vector<std::wstring>& SearchKeyBases();

// The keys of [Texts] and [Texts.<n>] (in the order of ui/WindowTexts.h).
const std::vector<std::wstring>& TextKeys();
// The built-in English text of text key `index` (of TextKeys()); for Icon
// and the product name what pravel shows without the key.
const wchar_t* BuiltInText(size_t index);
// "German (Germany)", "Chinese (Traditional)", ...: the English name of a
// language name Windows knows (checker/LanguageNames.cpp); empty otherwise.
std::wstring LanguageName(const std::wstring& name);
// Whether Windows knows the (canonical) language name; every name it knows
// (for suggestions).
bool IsKnownLanguageName(const std::wstring& name);
const std::vector<std::wstring>& KnownLanguageNames();

constexpr const wchar_t* kGeneral = L"GeneralOptions";
constexpr const wchar_t* kChainer = L"PREREQ_CHAINER";
constexpr const wchar_t* kList = L"PREREQUISITES";

bool IsIn(const std::vector<std::wstring>& names, const std::wstring& name);
// "Name7" -> base "Name", number 7. False without a canonical decimal
// number (digits, no leading zero, at least 1) at the end.
bool SplitNumbered(const std::wstring& key, std::wstring& base, int& number);
// Base and digit text of a key ending in digits (any digits).
std::wstring BaseOf(const std::wstring& key, std::wstring& digits);

// Value forms.
bool IsPlainDecimal(const std::wstring& text);  // digits only, at least one
bool IsHexText(const std::wstring& text, size_t length);
// Absolute in the sense of the installation step: "\\..." or "X:...".
bool IsAbsolutePath(const std::wstring& path);
std::wstring Quoted(const std::wstring& text);  // "text"
// `text` with every control character shown as <LF>, <CR>, <TAB> or
// <U+0001>, and every invisible one (format characters such as U+200B,
// U+200E, U+202E, U+2060, U+FEFF, U+00AD) as <U+200B>: a finding or
// explanation stays on its one output line and shows what a viewer hides.
std::wstring VisibleText(const std::wstring& text);
// Whether `c` is an invisible character as VisibleText names it.
bool IsInvisibleCharacter(wchar_t c);

// The closest of `candidates` to `word`: an exact match ignoring ASCII case
// first, else the nearest by edit distance (insertions, deletions,
// substitutions and swaps of neighbours, ignoring case) within 1 for words
// of up to four characters and 2 for longer ones. Empty when none is close.
// A candidate whose length differs from the word's by more than that limit
// is never compared, and the comparison keeps only three rows of its table:
// a hostile key of any length costs time and memory linear in its length.
// `more` (may be null) is looked at after `candidates`, as if appended.
std::wstring ClosestName(const std::wstring& word, const std::vector<std::wstring>& candidates,
                         const std::vector<std::wstring>* more = nullptr);

}  // namespace pravel
