// pravel-check [--explain] [--fetch DIR | --layout DIR] FILE: checks a configuration file
// the way pravel reads it and prints one "FILE:LINE: error|warning|note:
// TEXT" line per finding, the --explain text when asked, and a one-line
// summary. Exit code 0 without findings, 1 with warnings only, 2 with errors
// (or when FILE cannot be read or the arguments are wrong).
//
// With --fetch DIR it also downloads every prerequisite with a Url into DIR
// and tests it as pravel would (checker/Fetch.h); progress goes to standard
// error while it is a terminal. Exit code then: 1 when any error was found
// (the configuration's or a download's), 0 otherwise; 2 for wrong
// arguments. With --layout DIR it makes a package for sites without a
// network in DIR (checker/Layout.h); exit code 1 when DIR is not complete,
// 0 when it is, 2 for wrong arguments (DIR taken among them). Built natively
// and as a Windows console program from this one source.
#include <cstdio>
#include <string>
#include <vector>

#include "checker/ConfigCheck.h"
#include "checker/Explain.h"
#include "checker/Fetch.h"
#include "checker/Layout.h"
#include "checker/Progress.h"
#include "checker/ShippedFiles.h"
#include "checker/Utf8.h"
#include "common/ErrorCodes.h"

#ifdef _WIN32
#include <windows.h>

#include "checker/FetchWindows.h"
#include "common/SystemLibrary.h"
#else
#include <unistd.h>

#include <climits>

#include "checker/FetchNative.h"
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

// The progress meter's output: standard error while it is a terminal,
// nothing otherwise.
pravel::ProgressMeter::Writer ProgressWriter() {
#ifdef _WIN32
    HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (error == INVALID_HANDLE_VALUE || !::GetConsoleMode(error, &mode)) return nullptr;
    return [error](const std::string& text) {
        const std::wstring wide = pravel::Utf16FromUtf8(text);
        DWORD written = 0;
        ::WriteConsoleW(error, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    };
#else
    if (!::isatty(2)) return nullptr;
    return [](const std::string& text) {
        std::fputs(text.c_str(), stderr);
        std::fflush(stderr);
    };
#endif
}

// `folder` as an absolute path (the download step needs one).
std::wstring AbsoluteFolder(const std::wstring& folder) {
#ifdef _WIN32
    wchar_t full[32768];
    const DWORD length = ::GetFullPathNameW(folder.c_str(), 32768, full, nullptr);
    std::wstring path = length > 0 && length < 32768 ? std::wstring(full, length) : folder;
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path;
#else
    std::wstring path = folder;
    if (path.empty() || path[0] != L'/') {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd) != nullptr) {
            path = pravel::Utf16FromUtf8(cwd) + L"/" + path;
        }
    }
    while (path.size() > 1 && path.back() == L'/') path.pop_back();
    return path;
#endif
}

void Usage() {
    std::fputs(
        "usage: pravel-check [--explain] [--fetch DIR | --layout DIR] FILE\n"
        "Checks a pravel configuration file (UTF-16LE with byte-order mark) and prints\n"
        "FILE:LINE: error|warning|note: TEXT per finding and a summary. Exit code 0: no\n"
        "findings, 1: warnings only, 2: errors.\n"
        "--fetch DIR downloads every prerequisite with a Url into DIR and tests it as\n"
        "pravel would; exit code 1 when any error was found, 0 otherwise.\n"
        "--layout DIR copies FILE's folder into DIR with every download of FILE in\n"
        "DIR/downloads, where pravel takes them from without a network; exit code 1\n"
        "when the layout is not complete (DIR.partial then keeps what is in place), 0\n"
        "when it is.\n",
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

// The file name of `path` (after its last "\" or "/").
std::wstring FileNameOfPath(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The folder of `path` (before its last "\" or "/"; "" for a bare name, "/"
// for a file at the root).
std::wstring FolderOfPath(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return std::wstring();
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

// Reads the file a key of the configuration at `configuration` names:
// relative to the configuration's folder unless it is a full path. On other
// systems a path of Windows (full, or from the drive's root) is not looked
// at, and letter case is ignored as the package's file check ignores it.
pravel::FileLook ReadNamedFile(const std::wstring& configuration, const std::wstring& named,
                               std::vector<uint8_t>& bytes) {
#ifdef _WIN32
    const size_t slash = configuration.find_last_of(L"\\/");
    const std::wstring folder =
        slash == std::wstring::npos ? std::wstring() : configuration.substr(0, slash + 1);
    const std::wstring path = pravel::IsAbsolutePath(named) ? named : folder + named;
#else
    if (pravel::IsAbsolutePath(named) || pravel::StartsWith(named, L"\\") ||
        pravel::StartsWith(named, L"/"))
        return pravel::FileLook::kNotLooked;
    const std::string found = pravel::PathIgnoringCase(FolderOfPath(configuration), named);
    if (found.empty()) return pravel::FileLook::kMissing;
    const std::wstring path = pravel::Utf16FromUtf8(found);
#endif
    return ReadAll(path, bytes) ? pravel::FileLook::kRead : pravel::FileLook::kMissing;
}

void PrintFound(const pravel::Finding& finding, void* file) {
    Print(pravel::FormatFinding(*static_cast<const std::wstring*>(file), finding));
    std::fflush(stdout);
}

int Check(const std::vector<std::wstring>& args) {
    bool explain = false;
    bool fetch = false;
    bool layout = false;
    std::wstring path, folder;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (arg == L"--explain") {
            explain = true;
        } else if ((arg == L"--fetch" || arg == L"--layout") && !fetch && !layout &&
                   i + 1 < args.size() && !args[i + 1].empty()) {
            fetch = arg == L"--fetch";
            layout = !fetch;
            folder = args[++i];
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
    const int failed = fetch || layout ? 1 : pravel::kCheckFoundErrors;
    std::vector<uint8_t> bytes;
    if (!ReadAll(path, bytes)) {
        Print(path + L":0: error: the file cannot be read");
        Print(path + L": 1 error, 0 warnings; 0 of 0 prerequisites loaded");
        return failed;
    }
    pravel::CheckReport report = pravel::CheckConfiguration(
        bytes.data(), bytes.size(), FileNameOfPath(path),
        [&path](const std::wstring& named, std::vector<uint8_t>& content) {
            return ReadNamedFile(path, named, content);
        });
    pravel::CheckShippedFiles(report, pravel::FolderLookup(FolderOfPath(path)));
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
    std::wstring fetched;
    bool folderTaken = false;
    if ((fetch || layout) && report.readable) {
        std::fflush(stdout);
        pravel::ProgressMeter meter(ProgressWriter());
#ifdef _WIN32
        pravel::WindowsFetch platform(&meter);
#else
        pravel::NativeFetch platform(&meter);
#endif
        try {
            std::vector<pravel::Finding> found;
            int done = 0, downloads = 0;
            if (layout) {
                pravel::LayoutOutcome outcome = pravel::MakeLayout(
                    report, path, AbsoluteFolder(folder), platform, PrintFound, &path);
                found = std::move(outcome.findings);
                done = outcome.placed;
                downloads = outcome.downloads;
                folderTaken = outcome.folderTaken;
            } else {
                pravel::FetchOutcome outcome = pravel::FetchDownloads(
                    report, AbsoluteFolder(folder), platform, PrintFound, &path);
                found = std::move(outcome.findings);
                done = outcome.fetched;
                downloads = outcome.downloads;
            }
            for (pravel::Finding& finding : found) report.findings.push_back(std::move(finding));
            fetched = L"; " + pravel::ToDecimal(done) + L" of " + pravel::ToDecimal(downloads) +
                      (downloads == 1 ? L" download" : L" downloads") +
                      (layout ? L" in the layout" : L" fetched");
        } catch (...) {
            // Out of memory or a failure of the platform's own calls.
            const pravel::Finding failure{0, pravel::Severity::kError,
                                          L"the downloads could not be fetched and tested"};
            PrintFound(failure, &path);
            report.findings.push_back(failure);
        }
    }
    Print(pravel::FormatSummary(path, report) + fetched);
    std::fflush(stdout);
    if (folderTaken) return pravel::kCheckFoundErrors;
    if (fetch || layout) return report.Errors() > 0 ? 1 : 0;
    return pravel::CheckExitCode(report);
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    pravel::RestrictDllSearchToSystem();
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
