// The texts of a clean-up script start: the ordered, duplicate-free list of
// paths handed to the script, the quoting PowerShell needs, and the
// arguments of powershell.exe. No file system and no process here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pravel {

// Paths in the order first added; a path equal to one already listed
// (ASCII letters compared without regard to case) is not added again.
class CleanupPathList {
  public:
    // False when an equal path was already listed (or the path is empty).
    bool Add(const std::wstring& path);
    const std::vector<std::wstring>& Paths() const { return paths_; }
    bool Empty() const { return paths_.empty(); }
    // Keeps only the paths for which `keep` answers true, in their order.
    template <typename Keep>
    void Filter(Keep keep) {
        std::vector<std::wstring> kept;
        for (auto& path : paths_) {
            if (keep(path)) kept.push_back(std::move(path));
        }
        paths_.swap(kept);
    }

  private:
    std::vector<std::wstring> paths_;
};

// The text as a single-quoted PowerShell string: 'text', with every single
// quote inside doubled (O'Brien becomes 'O''Brien'). PowerShell also ends
// such a string at the typographic quotes U+2018, U+2019, U+201A and U+201B:
// each of them is doubled the same way (O’Brien becomes 'O’’Brien').
std::wstring SingleQuoted(const std::wstring& text);

// The quoted paths joined by "," without spaces: 'C:\a','C:\b'.
std::wstring PathsArgument(const std::vector<std::wstring>& paths);

// How -Command names the script: the bare path when PowerShell reads it as
// one word, otherwise "& " followed by the single-quoted path (a temporary
// folder below a user name with a space in it). Besides the ASCII blanks,
// quotes, operators and wildcard characters, the typographic quotes U+2018
// to U+201E and the blanks PowerShell counts as whitespace (U+0085, U+00A0,
// U+1680, U+2000 to U+200A, U+2028, U+2029, U+202F, U+205F, U+3000) ask for
// the quoted form. PowerShell resolves the path given to "&" as a wildcard
// pattern, so in the quoted form each "[", "]", "*", "?" and "`" is preceded
// by a backtick: C:\Users\j[1]\QL_1.ps1 becomes & 'C:\Users\j`[1`]\QL_1.ps1',
// which names that file only.
std::wstring ScriptInvocation(const std::wstring& scriptPath);

// -NoProfile -NonInteractive -NoLogo -ExecutionPolicy RemoteSigned
// -Command "<script> -paths <paths> -retry_count <n>"
std::wstring PowerShellArguments(const std::wstring& scriptPath,
                                 const std::vector<std::wstring>& paths, int32_t retryCount);

// The private script path for a temporary file name: the name's extension
// (from the last dot of its file name) replaced with ".ps1", or ".ps1"
// appended when it has none. Empty stays empty.
std::wstring PrivateScriptPath(const std::wstring& tempFileName);

}  // namespace pravel
