#include "launch/PowerShellCommand.h"

#include "common/Text.h"

namespace pravel {

namespace {

// PowerShell ends (and begins) a single-quoted string at any of these: the
// apostrophe and the typographic single quotes U+2018 to U+201B.
bool IsSingleQuote(wchar_t c) {
    return c == L'\'' || (c >= 0x2018 && c <= 0x201B);
}

// Characters after which PowerShell no longer reads a bare path as one word:
// its whitespace (the Unicode space separators among it), all its single and
// double quotes (U+2018 to U+201E) and its operators.
bool BreaksBareWord(wchar_t c) {
    if (c >= 0x2000 && c <= 0x200A) return true;
    if (c >= 0x2018 && c <= 0x201E) return true;
    switch (c) {
        case 0x0085:
        case 0x00A0:
        case 0x1680:
        case 0x2028:
        case 0x2029:
        case 0x202F:
        case 0x205F:
        case 0x3000:
        case L' ':
        case L'\t':
        case L'\'':
        case L'"':
        case L'`':
        case L'$':
        case L';':
        case L'&':
        case L'(':
        case L')':
        case L'{':
        case L'}':
        case L'@':
        case L'#':
        case L',':
        case L'|':
        case L'<':
        case L'>':
        case L'[':
        case L']':
        case L'*':
        case L'?':
            return true;
        default:
            return c < 0x20;
    }
}

}  // namespace

bool CleanupPathList::Add(const std::wstring& path) {
    if (path.empty()) return false;
    for (const auto& known : paths_) {
        if (EqualsIgnoreCaseAscii(known, path)) return false;
    }
    paths_.push_back(path);
    return true;
}

std::wstring SingleQuoted(const std::wstring& text) {
    std::wstring quoted = L"'";
    for (wchar_t c : text) {
        quoted += c;
        if (IsSingleQuote(c)) quoted += c;
    }
    quoted += L'\'';
    return quoted;
}

std::wstring PathsArgument(const std::vector<std::wstring>& paths) {
    std::wstring argument;
    for (const auto& path : paths) {
        if (!argument.empty()) argument += L',';
        argument += SingleQuoted(path);
    }
    return argument;
}

std::wstring ScriptInvocation(const std::wstring& scriptPath) {
    bool bare = true;
    for (wchar_t c : scriptPath) bare = bare && !BreaksBareWord(c);
    if (bare) return scriptPath;
    // PowerShell looks the path up as a wildcard pattern: "[1]" in a folder
    // name would match "1". Every wildcard character and every backtick gets
    // a backtick, so that the pattern matches the path itself and nothing
    // else; quotes are doubled as in SingleQuoted.
    std::wstring quoted = L"& '";
    for (wchar_t c : scriptPath) {
        if (c == L'[' || c == L']' || c == L'*' || c == L'?' || c == L'`') quoted += L'`';
        quoted += c;
        if (IsSingleQuote(c)) quoted += c;
    }
    quoted += L'\'';
    return quoted;
}

std::wstring PowerShellArguments(const std::wstring& scriptPath,
                                 const std::vector<std::wstring>& paths, int32_t retryCount) {
    return Concat({"-NoProfile -NonInteractive -NoLogo -ExecutionPolicy RemoteSigned -Command \"",
                   ScriptInvocation(scriptPath), " -paths ", PathsArgument(paths), " -retry_count ",
                   ToDecimal(retryCount), "\""});
}

std::wstring PrivateScriptPath(const std::wstring& tempFileName) {
    if (tempFileName.empty()) return tempFileName;
    const size_t slash = tempFileName.rfind(L'\\');
    const size_t dot = tempFileName.rfind(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) {
        return tempFileName + L".ps1";
    }
    return tempFileName.substr(0, dot) + L".ps1";
}

}  // namespace pravel
