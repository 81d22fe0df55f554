#include "checker/PrerequisiteCheck.h"

#include "checker/KeyNames.h"
#include "common/IntegerRule.h"
#include "common/Text.h"
#include "detect/SearchEvaluation.h"
#include "download/FileLocation.h"
#include "download/Sha256.h"

namespace pravel {

namespace {

constexpr size_t kSuggestionCandidates = 1000;

// The root names pravel knows (letter case ignored); every other text
// before the first backslash selects HKEY_USERS.
const std::vector<std::wstring>& RegistryRootNames() {
    static const std::vector<std::wstring> names = {
        L"HKLM", L"HKEY_LOCAL_MACHINE", L"HKCU", L"HKEY_CURRENT_USER",
        L"HKCR", L"HKEY_CLASSES_ROOT",  L"HKCC", L"HKEY_CURRENT_CONFIG",
        L"HKU",  L"HKEY_USERS"};
    return names;
}

bool IsRegistrySearch(int32_t type) {
    switch (type) {
        case kSearchSubkeyNames:
        case kSearchRegistryValue:
        case kSearchKeyExists:
        case kSearchKeyMissing:
        case kSearchValueExists:
        case kSearchValueMissing:
        case kSearchValueCompare:
        case kSearchValueNames:
            return true;
        default:
            return false;
    }
}

// A registry path whose root pravel does not know: read from HKEY_USERS.
void CheckRegistryRoot(const IniPair& string, std::vector<Finding>& findings) {
    const size_t slash = string.value.find(L'\\');
    if (slash == std::wstring::npos) return;
    const std::wstring root = string.value.substr(0, slash);
    for (const std::wstring& known : RegistryRootNames()) {
        if (EqualsIgnoreCaseAscii(root, known)) return;
    }
    const std::wstring close = ClosestName(root, RegistryRootNames());
    findings.push_back(Finding{
        string.line, Severity::kWarning,
        string.key + L" begins with " + Quoted(root) +
            L", which is not a registry root: pravel reads the key from HKEY_USERS; " +
            (close.empty() ? std::wstring(L"write HKLM, HKCU, HKCR, HKCC or HKU (or the long "
                                          L"names such as HKEY_LOCAL_MACHINE)")
                           : L"did you mean " + Quoted(close) + L"?")});
}

// "0x1F" (hexadecimal digits after 0x): its value, else -1.
int64_t HexNumber(const std::wstring& text) {
    if (text.size() < 3 || text.size() > 10 || text[0] != L'0' ||
        (text[1] != L'x' && text[1] != L'X')) {
        return -1;
    }
    int64_t value = 0;
    for (size_t i = 2; i < text.size(); ++i) {
        const int digit = HexDigitValue(text[i]);
        if (digit < 0) return -1;
        value = value * 16 + digit;
    }
    return value;
}

// Type 9 references that never hold: G and L compare whole numbers only;
// a DWORD value is read as decimal text, so M with a hexadecimal number
// never equals it.
void CheckComparison(const IniPair& ref, int k, std::vector<Finding>& findings) {
    const wchar_t op = ref.value[0];
    const std::wstring reference = ref.value.substr(1);
    const std::wstring n = ToDecimal(k);
    if ((op == L'G' || op == L'L') && !IsPlainDecimal(reference)) {
        const bool version =
            !reference.empty() && reference.find_first_not_of(L"0123456789.") == std::wstring::npos;
        findings.push_back(Finding{
            ref.line, Severity::kWarning,
            ref.key + L" " + Quoted(ref.value) + L" is never true: " + Quoted(std::wstring(1, op)) +
                L" compares whole numbers (decimal digits only, on both sides) and " +
                Quoted(reference) + L" is not one; " +
                (version ? L"to compare versions use SearchType" + n +
                               L"=2 (the value holds a version) with VerMin" + n + L" or VerMax" +
                               n + L" (bounds include the version they name)"
                         : std::wstring(L"write the number in decimal digits"))});
    }
    const int64_t hex = op == L'M' ? HexNumber(reference) : -1;
    if (hex >= 0) {
        findings.push_back(Finding{
            ref.line, Severity::kWarning,
            ref.key + L" " + Quoted(ref.value) + L": pravel reads a DWORD value as decimal text (" +
                ToDecimal(hex) + L"), so it never equals " + Quoted(reference) +
                L"; for a DWORD write M" + ToDecimal(hex)});
    }
}

void CheckSearches(const IndexedSection& keys, std::vector<Finding>& findings) {
    const IniSection& s = keys.Get();
    auto Warning = [&](int line, const std::wstring& text) {
        findings.push_back(Finding{line, Severity::kWarning, text});
    };
    int count = 0;  // searches pravel reads: 1 .. count
    while (keys.Find(L"SearchType" + ToDecimal(count + 1)) != nullptr) ++count;
    for (int k = 1; k <= count; ++k) {
        const IniPair* type = keys.Find(L"SearchType" + ToDecimal(k));
        const int32_t value = ParseConfigInteger(type->value);
        if (!IsPlainDecimal(type->value)) {
            Warning(type->line, type->key + L" " + Quoted(type->value) +
                                    L" is not a plain decimal number: pravel reads it as " +
                                    ToDecimal(value));
        }
        if (value == kSearchValueCompare) {
            const IniPair* ref = keys.Find(L"RefContent" + ToDecimal(k));
            if (ref == nullptr || ref->value.empty()) {
                Warning(type->line, type->key + L" 9 compares with RefContent" + ToDecimal(k) +
                                        L", which is missing or empty: the comparison is never "
                                        L"true");
            } else if (std::wstring(L"MDCXSEGL").find(ref->value[0]) == std::wstring::npos) {
                Warning(ref->line, ref->key + L" " + Quoted(ref->value) +
                                       L" does not begin with a comparison letter (M, D, C, X, "
                                       L"S, E, G or L): the comparison is never true");
            } else {
                CheckComparison(*ref, k, findings);
            }
        }
        const IniPair* string = keys.Find(L"SearchString" + ToDecimal(k));
        if (IsRegistrySearch(value) && string != nullptr) CheckRegistryRoot(*string, findings);
        if (value == kSearchRunProgram) {
            Warning(type->line, type->key +
                                    L" 10 runs a program of the packed payload, which this "
                                    L"build does not carry: the search never succeeds");
        }
        if (value < kSearchFile || value > kSearchSubfolderNames) {
            Warning(type->line, type->key + L" " + ToDecimal(value) +
                                    L" is not a known search type (0 to 14): the search runs "
                                    L"nothing and counts as found");
        }
    }
    for (const IniPair& pair : s.Pairs()) {
        std::wstring base;
        int k = 0;
        if (!SplitNumbered(pair.key, base, k) || k <= count || !IsIn(SearchKeyBases(), base)) {
            continue;
        }
        if (keys.Find(pair.key) != &pair) continue;  // repeats are reported already
        if (base == L"SearchType") {
            Warning(pair.line, pair.key +
                                   L" is never read: the searches stop at the missing "
                                   L"SearchType" +
                                   ToDecimal(count + 1));
        } else if (keys.Find(L"SearchType" + ToDecimal(k)) == nullptr) {
            Warning(pair.line, pair.key + L" is never read: there is no SearchType" + ToDecimal(k));
        }
    }
}

}  // namespace

void CheckPrerequisiteSection(const IndexedSection& keys, const PrerequisiteContext& context,
                              std::vector<Finding>& findings) {
    auto Warning = [&](int line, const std::wstring& text) {
        findings.push_back(Finding{line, Severity::kWarning, text});
    };
    const IniPair* setupFile = keys.Find(L"SetupFile");
    const IniPair* openSite = keys.Find(L"OpenSite");
    const IniPair* url = keys.Find(L"Url");
    const IniPair* winner =
        setupFile != nullptr ? setupFile : (openSite != nullptr ? openSite : url);
    for (const IniPair* loser : {openSite, url}) {
        if (loser == nullptr || loser == winner) continue;
        Warning(loser->line, loser->key + L" is never read: " + winner->key +
                                 L" comes first (SetupFile, then OpenSite, then Url)");
    }

    const IniPair* md5 = keys.Find(L"MD5");
    if (md5 != nullptr && !IsHexText(md5->value, 32)) {
        const bool prefixOk = md5->value.size() > 32 && IsHexText(md5->value.substr(0, 32), 32);
        Warning(md5->line, L"MD5 " + Quoted(md5->value) + L" is not 32 hexadecimal digits" +
                               (prefixOk ? L": only the first 32 characters are compared"
                                         : L": every download of it will be rejected"));
    }
    const IniPair* sha = keys.Find(L"SHA256");
    if (sha != nullptr && !IsSha256Text(sha->value)) {
        Warning(sha->line, L"SHA256 " + Quoted(sha->value) +
                               L" is not 64 hexadecimal digits: every download of it will be "
                               L"rejected");
    }
    const IniPair* signer = keys.Find(L"SignerName");
    const bool signed_ = signer != nullptr && !signer->value.empty();
    const IniPair* signerKey = keys.Find(L"SignerKey");
    if (signerKey != nullptr && !IsSha256Text(signerKey->value)) {
        findings.push_back(Finding{signerKey->line, Severity::kError,
                                   L"SignerKey " + Quoted(signerKey->value) +
                                       L" is not 64 hexadecimal digits (the SHA-256 of the "
                                       L"publisher's public key): every file of it will be "
                                       L"rejected"});
    } else if (signerKey != nullptr && !signed_) {
        Warning(signerKey->line,
                L"SignerKey is never used: the publisher's signature is tested only with "
                L"SignerName");
    }
    for (const wchar_t* key : {L"ExactSize", L"Operator"}) {
        const IniPair* pair = keys.Find(key);
        if (pair == nullptr || IsPlainDecimal(pair->value)) continue;
        Warning(pair->line, pair->key + L" " + Quoted(pair->value) +
                                L" is not a plain decimal number: pravel reads it as " +
                                ToDecimal(ParseConfigInteger(pair->value)));
    }
    const IniPair* op = keys.Find(L"Operator");
    if (op != nullptr) {
        const int32_t value = ParseConfigInteger(op->value);
        if (value != 0 && value != 1) {
            Warning(op->line, L"Operator " + ToDecimal(value) +
                                  L" is neither 0 (all searches) nor 1 (one search): the "
                                  L"searches never succeed, so it never counts as present");
        }
    }
    CheckSearches(keys, findings);

    const IniPair* exact = keys.Find(L"ExactSize");
    if (winner == url && url != nullptr) {
        const size_t scheme = url->value.find(L"://");
        const std::wstring name = scheme == std::wstring::npos
                                      ? std::wstring()
                                      : ToLowerAscii(url->value.substr(0, scheme));
        const bool local = name == L"file";
        if (name != L"http" && name != L"https" && name != L"ftp" && !local) {
            Warning(url->line,
                    L"Url " + Quoted(url->value) +
                        (scheme == std::wstring::npos
                             ? std::wstring(L" has no scheme")
                             : L" has the scheme " + Quoted(url->value.substr(0, scheme))) +
                        L"; pravel downloads http://, https://, ftp:// and file:// URLs");
        }
        if (local && ParseFileLocation(url->value).refused) {
            findings.push_back(Finding{
                url->line, Severity::kError,
                L"Url " + Quoted(url->value) +
                    L": a \"/\" or \"\\\" in the user name or password cannot be told from the "
                    L"path, so pravel refuses the location and never runs the file; write them "
                    L"percent-encoded: " +
                    Quoted(EncodedFileLocation(url->value))});
        }
        const bool sized = exact != nullptr && ParseConfigInteger(exact->value) != 0;
        const bool digest = (md5 != nullptr && !md5->value.empty()) ||
                            (sha != nullptr && !sha->value.empty()) || signed_;
        if (!local && !sized && !digest) {
            Warning(url->line, context.displayName +
                                   L" is downloaded but has neither ExactSize nor MD5, SHA256 or "
                                   L"SignerName: nothing checks the file before it is run (give "
                                   L"SignerName, or ExactSize and SHA256)");
        }
    }

    // Which completion of CommandLine the installer gets (first of b, q, j, n).
    if (winner != openSite || openSite == nullptr) {
        const IniPair* options = keys.Find(L"Options");
        const std::wstring letters = options == nullptr ? std::wstring() : options->value;
        wchar_t letter = 0;
        for (wchar_t c : std::wstring(L"bqjn")) {
            if (Contains(letters, std::wstring(1, c))) {
                letter = c;
                break;
            }
        }
        for (const wchar_t* key : {L"BasicUiCommandLine", L"NoUiCommandLine"}) {
            const IniPair* pair = keys.Find(key);
            if (pair == nullptr || pair->value.empty() || letter == L'n') continue;
            const bool basic = pair->key == L"BasicUiCommandLine";
            if ((basic && letter == L'b') || (!basic && letter == L'q')) continue;
            Warning(pair->line,
                    pair->key + L" is never passed to the installer: Options " + Quoted(letters) +
                        (letter == 0 ? std::wstring(L" has none of \"b\", \"q\", \"j\", \"n\"")
                                     : L" selects " + Quoted(std::wstring(1, letter))) +
                        L" (\"n\" takes the command line of the run's mode)");
        }
    }

    const IniPair* parent = keys.Find(L"ParentPrereq");
    if (parent != nullptr && !parent->value.empty() &&
        context.listedNameSet->count(parent->value) == 0) {
        // Suggestions from the first names only: a file with tens of
        // thousands of prerequisites stays linear.
        const std::vector<std::wstring>& names = *context.listedNames;
        const std::wstring close =
            names.size() <= kSuggestionCandidates
                ? ClosestName(parent->value, names)
                : ClosestName(parent->value,
                              std::vector<std::wstring>(names.begin(),
                                                        names.begin() + kSuggestionCandidates));
        Warning(parent->line,
                L"ParentPrereq " + Quoted(parent->value) +
                    L" names no prerequisite of [PREREQUISITES]" +
                    (close.empty() ? std::wstring() : L"; did you mean " + Quoted(close) + L"?"));
    }

    const IniPair* languages = keys.Find(L"LanguageList");
    if (languages != nullptr) {
        for (const std::wstring& raw : Split(languages->value, L";")) {
            size_t begin = 0;
            while (begin < raw.size() && raw[begin] == L' ') ++begin;
            const std::wstring item = raw.substr(begin);
            if (raw.empty() || IsPlainDecimal(item)) continue;
            Warning(languages->line, L"LanguageList item " + Quoted(raw) +
                                         L" is not a number: pravel reads it as " +
                                         ToDecimal(ParseConfigInteger(raw)) +
                                         L" (languages are decimal identifiers such as 1033)");
        }
    }

    if (winner == setupFile && setupFile != nullptr && !IsAbsolutePath(setupFile->value) &&
        context.options->extractionFolder.empty()) {
        const std::wstring code = context.options->defaultProdCode;
        Warning(setupFile->line,
                L"SetupFile " + Quoted(setupFile->value) +
                    L" is relative and ExtractionFolder is not set: it is taken from <temp>\\" +
                    (code.empty() ? std::wstring() : code + L"\\") +
                    L", not from beside pravel.exe; set ExtractionFolder=[SETUPEXEDIR] in "
                    L"[GeneralOptions] to take it from pravel's folder");
    }
}

}  // namespace pravel
