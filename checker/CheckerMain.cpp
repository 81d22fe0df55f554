// pravel-check [--explain] FILE: checks a configuration file the way pravel
// reads it and prints one "FILE:LINE: error|warning: TEXT" line per finding,
// the --explain text when asked, and a one-line summary. Exit code 0 without
// findings, 1 with warnings only, 2 with errors (or when FILE cannot be read
// or the arguments are wrong). Built natively and as a Windows console
// program from this one source.
#include <cstdio>
#include <string>
#include <vector>

#include "checker/ConfigCheck.h"
#include "checker/Explain.h"
#include "checker/Utf8.h"
#include "common/ErrorCodes.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using pravel::Utf8FromUtf16;

// Writes `text` to stdout: UTF-16 to a Windows console, UTF-8 otherwise.
void Print(const std::wstring& text) {
#ifdef _WIN32
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (out != INVALID_HANDLE_VALUE && ::GetConsoleMode(out, &mode)) {
        std::fflush(stdout);
        const std::wstring line = text + L"\r\n";
        DWORD written = 0;
        ::WriteConsoleW(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
#endif
    const std::string bytes = Utf8FromUtf16(text) + "\n";
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

// The file name of `path` (after its last "\\" or "/").
std::wstring FileNameOfPath(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

void Usage() {
    std::fputs(
        "usage: pravel-check [--explain] FILE\n"
        "Checks a pravel configuration file (UTF-16LE with byte-order mark) and prints\n"
        "FILE:LINE: error|warning: TEXT per finding and a summary. Exit code 0: no\n"
        "findings, 1: warnings only, 2: errors.\n",
        stderr);
}

// Reads the whole file; false when it cannot be opened or read.
bool ReadAll(const std::wstring& path, std::vector<uint8_t>& bytes) {
#ifdef _WIN32
    FILE* file = _wfopen(path.c_str(), L"rb");
#else
    FILE* file = std::fopen(Utf8FromUtf16(path).c_str(), "rb");
#endif
    if (file == nullptr) return false;
    uint8_t block[65536];
    size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
        bytes.insert(bytes.end(), block, block + got);
    }
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

int Check(const std::vector<std::wstring>& args) {
    bool explain = false;
    std::wstring path;
    for (const std::wstring& arg : args) {
        if (arg == L"--explain") {
            explain = true;
        } else if (path.empty() && !arg.empty() && arg[0] != L'-') {
            path = arg;
        } else {
            Usage();
            return pravel::kCheckFoundErrors;
        }
    }
    if (path.empty()) {
        Usage();
        return pravel::kCheckFoundErrors;
    }
    std::vector<uint8_t> bytes;
    if (!ReadAll(path, bytes)) {
        Print(path + L":0: error: the file cannot be read");
        Print(path + L": 1 error, 0 warnings; 0 of 0 prerequisites loaded");
        return pravel::kCheckFoundErrors;
    }
    const pravel::CheckReport report =
        pravel::CheckConfiguration(bytes.data(), bytes.size(), FileNameOfPath(path));
    for (const pravel::Finding& finding : report.findings) {
        Print(pravel::FormatFinding(path, finding));
    }
    if (explain && report.readable) {
        std::wstring text = pravel::ExplainConfiguration(report);
        size_t start = 0;
        for (size_t end = text.find(L'\n'); end != std::wstring::npos;
             start = end + 1, end = text.find(L'\n', start)) {
            Print(text.substr(start, end - start));
        }
    }
    Print(pravel::FormatSummary(path, report));
    std::fflush(stdout);
    return pravel::CheckExitCode(report);
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    return Check(args);
}
#else
int main(int argc, char** argv) {
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) args.push_back(pravel::Utf16FromUtf8(argv[i]));
    return Check(args);
}
#endif
