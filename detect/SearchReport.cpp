#include "detect/SearchReport.h"

#include "common/Text.h"
#include "detect/SearchEvaluation.h"
#include "detect/VersionNumber.h"

namespace pravel {

namespace {

constexpr size_t kValuesListed = 10;

// By VersionVerdict.
constexpr TextPiece kVerdicts[] = {" (accepted)", " (no version)", " (pre-release)",
                                   " (below VerMin)", " (above VerMax)"};

// The comparisons of type 9 by their letter (see CompareWithReference);
// the last one for any other first character of RefContent.
constexpr wchar_t kComparisonLetters[] = L"MDCXSEGL";
constexpr TextPiece kComparisons[] = {" (equals)",
                                      " (differs)",
                                      " (contains)",
                                      " (does not contain)",
                                      " (starts with)",
                                      " (ends with)",
                                      " (greater, digits only)",
                                      " (less, digits only)",
                                      " (unknown operator)"};

// What the searches that collect no values found out, in pairs of
// opposite answers.
constexpr TextPiece kAnswers[] = {"the key opened",
                                  "the key did not open",
                                  "the value exists",
                                  "the value does not exist",
                                  "the program exited with 0",
                                  "the program did not exit with 0",
                                  "the component is installed",
                                  "the component is not installed"};
// For types 5 to 11 (9 compares a value: not used), the answer that makes
// them found; the other answer of its pair makes them not found.
constexpr uint8_t kFoundAnswer[] = {0, 1, 2, 3, 0, 4, 6};

}  // namespace

std::wstring DescribeSearch(size_t number, const PrerequisiteSearch& search,
                            const SearchResult& result) {
    std::wstring text = Concat({"Search ", DecimalPiece(number), " (", search.searchString, "): "});
    const int32_t type = search.type;
    const std::vector<std::wstring>& values = result.foundValues;
    const bool compares = type == kSearchValueCompare;
    if (!compares && !IsCollectingSearch(type)) {
        (type >= kSearchKeyExists && type <= kSearchMsiComponent
             ? kAnswers[kFoundAnswer[type - kSearchKeyExists] ^ (result.found ? 0 : 1)]
             : TextPiece("no such SearchType: it counts as found"))
            .AppendTo(text);
    } else if (values.empty()) {
        TextPiece("nothing read").AppendTo(text);
    } else {
        // The values read, each with its verdict up to the first accepted one.
        const VersionRange range = VersionRange::Parse(search.verMin, search.verMax);
        // A file search names the file it read when that is not the path
        // written (a wildcard, a subfolder, a drive, a reference).
        const std::wstring namedFile =
            type == kSearchFile && result.value != ParseFileSearchString(search.searchString).path
                ? result.value
                : std::wstring();
        const bool limits = !compares && range.Limits();
        size_t shown = 0;
        for (bool accepted = false; shown < values.size() && shown < kValuesListed && !accepted;
             ++shown) {
            AppendPieces(
                text, {shown == 0 ? TextPiece("read \"") : TextPiece(", \""), values[shown], "\""});
            if (!namedFile.empty()) AppendPieces(text, {" from ", namedFile});
            if (!limits) continue;
            const VersionVerdict verdict = range.Judge(values[shown]);
            accepted = verdict == VersionVerdict::kAccepted;
            kVerdicts[static_cast<int>(verdict)].AppendTo(text);
        }
        if (shown < values.size()) {
            AppendPieces(text, {" and ", DecimalPiece(values.size() - shown), " more"});
        }
        if (compares) {
            const std::wstring& reference = search.refContent;
            size_t k = 0;
            while (k < 8 && (reference.empty() || reference[0] != kComparisonLetters[k])) ++k;
            AppendPieces(text, {"; RefContent ", reference, kComparisons[k],
                                result.found ? TextPiece(" holds") : TextPiece(" does not hold")});
        } else if (limits) {
            AppendPieces(text, {"; VerMin=", search.verMin, ", VerMax=", search.verMax});
        } else {
            TextPiece("; no VerMin or VerMax: any value counts").AppendTo(text);
        }
    }
    (result.found ? TextPiece(": found") : TextPiece(": not found")).AppendTo(text);
    return text;
}

}  // namespace pravel
