// A small reference reader of the -Command text that PowerShellArguments
// builds, written from PowerShell's own rules and independent of the
// program's quoting: a single-quoted string begins and ends at any of the
// quotes U+0027, U+2018, U+2019, U+201A, U+201B, and two quotes in a row
// inside it stand for the second of them. The command's path is then looked
// up as a wildcard pattern, where a backtick escapes the next character.
// Shared by the native unit test and the quoting fuzz target.
#pragma once

#include <string>
#include <vector>

namespace powershell_tokens {

inline bool IsQuote(wchar_t c) {
    return c == L'\'' || c == 0x2018 || c == 0x2019 || c == 0x201A || c == 0x201B;
}

// PowerShell's whitespace: blank, tab, vertical tab, form feed, U+0085 and
// the Unicode separators (Zs, Zl, Zp).
inline bool IsBlank(wchar_t c) {
    switch (c) {
        case L' ':
        case L'\t':
        case L'\v':
        case L'\f':
        case 0x0085:
        case 0x00A0:
        case 0x1680:
        case 0x2028:
        case 0x2029:
        case 0x202F:
        case 0x205F:
        case 0x3000:
            return true;
        default:
            return c >= 0x2000 && c <= 0x200A;
    }
}

// True when PowerShell would read `word` as one bare command word that is
// the text itself: no blank, no line end, no quote of any kind, no
// expansion, escape, grouping, separator or redirection character.
inline bool IsPlainWord(const std::wstring& word) {
    if (word.empty()) return false;
    for (wchar_t c : word) {
        if (IsBlank(c) || IsQuote(c) || c == L'\r' || c == L'\n' || c == 0) return false;
        if (c == L'"' || (c >= 0x201C && c <= 0x201E)) return false;
        if (std::wstring(L"$`;&(){},|<>").find(c) != std::wstring::npos) return false;
    }
    return true;
}

// Reads a single-quoted string at `at`; false when none begins there or it
// is not closed. `at` ends after the closing quote.
inline bool ReadQuoted(const std::wstring& text, size_t& at, std::wstring& value) {
    if (at >= text.size() || !IsQuote(text[at])) return false;
    value.clear();
    for (size_t i = at + 1; i < text.size(); ++i) {
        if (IsQuote(text[i])) {
            if (i + 1 < text.size() && IsQuote(text[i + 1])) {
                value += text[++i];
                continue;
            }
            at = i + 1;
            return true;
        }
        value += text[i];
    }
    return false;
}

inline bool IsWildcard(wchar_t c) {
    return c == L'*' || c == L'?' || c == L'[' || c == L']';
}

// How PowerShell turns the path of a command into the file it runs. A path
// with a wildcard character that no backtick escapes is matched against the
// file system (it may name another file or none): false. Otherwise the
// escapes go: a backtick before a wildcard character or a backtick stands
// for that character; any other backtick, also a last one, stays.
inline bool ResolveCommandPath(const std::wstring& pattern, std::wstring& path) {
    path.clear();
    for (size_t i = 0; i < pattern.size(); ++i) {
        const wchar_t c = pattern[i];
        if (IsWildcard(c)) return false;
        if (c == L'`' && i + 1 < pattern.size()) {
            const wchar_t next = pattern[i + 1];
            if (IsWildcard(next) || next == L'`') {
                path += next;
                ++i;
                continue;
            }
        }
        path += c;
    }
    return true;
}

struct Command {
    std::wstring script;
    std::vector<std::wstring> paths;
    std::wstring retryCount;
};

// Reads the arguments of powershell.exe: the switches, then -Command "<script>
// -paths <p1>,<p2>... -retry_count <n>" with the script as a plain word or
// as & '<script>'; `script` is the file PowerShell runs (ResolveCommandPath).
// False when the text does not read that way.
inline bool ReadCommand(const std::wstring& arguments, Command& command) {
    const std::wstring opening =
        L"-NoProfile -NonInteractive -NoLogo -ExecutionPolicy RemoteSigned -Command \"";
    if (arguments.compare(0, opening.size(), opening) != 0 || arguments.back() != L'"') {
        return false;
    }
    const std::wstring text =
        arguments.substr(opening.size(), arguments.size() - opening.size() - 1);
    size_t at = 0;
    std::wstring word;
    if (text.compare(0, 2, L"& ") == 0) {
        at = 2;
        if (!ReadQuoted(text, at, word)) return false;
    } else {
        at = text.find(L' ');
        if (at == std::wstring::npos) return false;
        word = text.substr(0, at);
        if (!IsPlainWord(word)) return false;
    }
    if (!ResolveCommandPath(word, command.script)) return false;
    const std::wstring paths = L" -paths ";
    if (text.compare(at, paths.size(), paths) != 0) return false;
    at += paths.size();
    command.paths.clear();
    std::wstring value;
    while (ReadQuoted(text, at, value)) {
        command.paths.push_back(value);
        if (at >= text.size() || text[at] != L',') break;
        ++at;
    }
    const std::wstring retry = L" -retry_count ";
    if (text.compare(at, retry.size(), retry) != 0) return false;
    command.retryCount = text.substr(at + retry.size());
    return true;
}

}  // namespace powershell_tokens
