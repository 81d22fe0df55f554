#include "checker/Layout.h"

#include <filesystem>
#include <system_error>

#include "checker/Utf8.h"
#include "common/Text.h"
#include "download/DownloadRules.h"
#include "download/DownloadTarget.h"
#include "download/TransferText.h"

namespace pravel {

namespace {

namespace fs = std::filesystem;

fs::path FsPath(const std::wstring& path) {
#ifdef _WIN32
    return fs::path(path);
#else
    return fs::path(Utf8FromUtf16(path));
#endif
}

std::wstring Wide(const fs::path& path) {
#ifdef _WIN32
    return path.wstring();
#else
    return Utf16FromUtf8(path.string());
#endif
}

// `path` without "." and ".." and with its links resolved, as far as it
// exists (unchanged when that fails).
fs::path Canonical(const fs::path& path) {
    std::error_code error;
    fs::path canonical = fs::weakly_canonical(path, error);
    return error ? path : canonical;
}

std::wstring Why(const std::error_code& error) {
    return Utf16FromUtf8(error.message());
}

class LayoutMaker {
  public:
    LayoutMaker(const CheckReport& report, FetchPlatform& platform,
                void (*found)(const Finding&, void*), void* context)
        : report_(report), platform_(platform), reporter_(report, platform, found, context) {}

    void Make(const fs::path& configuration, const fs::path& target);
    std::vector<Finding>& Findings() { return reporter_.Findings(); }
    LayoutOutcome outcome;

  private:
    void Error(const std::wstring& text) { reporter_.Add(nullptr, Severity::kError, text); }
    bool HasProgram(const fs::path& package, const std::wstring& program);
    void CopyPackage(const fs::path& package, const fs::path& work, const fs::path& target);
    void Place(size_t index, const std::wstring& downloads);
    int Errors() const;

    const CheckReport& report_;
    FetchPlatform& platform_;
    DownloadReporter reporter_;
};

int LayoutMaker::Errors() const {
    int errors = report_.Errors();
    for (const Finding& finding : reporter_.Findings()) {
        if (finding.severity == Severity::kError) ++errors;
    }
    return errors;
}

// True when `package` holds the program that reads the configuration (its
// name ignoring letter case, as Windows finds it).
bool LayoutMaker::HasProgram(const fs::path& package, const std::wstring& program) {
    std::error_code error;
    for (fs::directory_iterator it(package, error), end; !error && it != end; it.increment(error)) {
        if (EqualsIgnoreCaseAscii(Wide(it->path().filename()), program) &&
            it->is_regular_file(error)) {
            return true;
        }
    }
    return false;
}

// Copies every file and folder below `package` into `work` (files there
// are replaced), leaving out the layout's own folders when they lie inside.
void LayoutMaker::CopyPackage(const fs::path& package, const fs::path& work,
                              const fs::path& target) {
    std::error_code error;
    fs::recursive_directory_iterator it(package, error), end;
    for (; !error && it != end; it.increment(error)) {
        const fs::path& from = it->path();
        if (from == work || from == target) {
            it.disable_recursion_pending();
            continue;
        }
        const fs::path to = work / from.lexically_relative(package);
        std::error_code copy;
        if (it->is_directory(copy)) {
            fs::create_directories(to, copy);
        } else if (it->is_regular_file(copy)) {
            // Removed first: libstdc++'s overwrite_existing fails on Windows.
            fs::remove(to, copy);
            fs::copy_file(from, to, copy);
        }
        if (copy) Error(L"cannot copy " + Wide(from) + L" into the layout: " + Why(copy));
    }
    if (error) Error(L"cannot read the folder " + Wide(package) + L": " + Why(error));
}

// Puts the download of prerequisite `i` into the layout's folder
// `downloads` (a path that DownloadTargetPath joins with "\"), unless a file
// that passes its keys is there already.
void LayoutMaker::Place(size_t i, const std::wstring& downloads) {
    const Prerequisite& p = reporter_.At(i);
    const IniPair* url = reporter_.Key(i, L"Url");
    ++outcome.downloads;
    if (StartsWithIgnoreCaseAscii(p.location, L"file:")) {
        reporter_.Add(url, Severity::kWarning,
                      reporter_.Name(i) + L": the file: location " + RedactUrl(p.location) +
                          L" is run from where it lies and is not put into the layout: the "
                          L"machine must reach it");
        return;
    }
    if (const char* problem = DownloadPlaceProblem(p.location, p.folder)) {
        const IniPair* folder = reporter_.Key(i, L"Folder");
        reporter_.Add(folder != nullptr ? folder : url, Severity::kError,
                      reporter_.Name(i) + L": its place in the download folder " +
                          WideFromAscii(problem) + L" (" +
                          DownloadTargetPath(L".", p.location, p.folder).substr(2) +
                          L"): the layout cannot hold it");
        return;
    }
    const std::wstring place = DownloadTargetPath(L"downloads", p.location, p.folder);
    const std::wstring path =
        platform_.PlatformPath(DownloadTargetPath(downloads, p.location, p.folder));
    const std::wstring shown = platform_.PlatformPath(place);
    std::error_code error;
    FetchVerdict verdict;
    bool kept = false;
    if (fs::is_regular_file(FsPath(path), error)) {
        verdict = reporter_.Test(i, path);
        kept = verdict.passes;
        if (!kept) fs::remove(FsPath(path), error);
    }
    if (!kept) {
        if (!reporter_.Fetch(i, path)) return;
        verdict = reporter_.Test(i, path);
    }
    reporter_.ReportVerdict(i, shown, verdict, kept ? L"is kept from the last run:" : L"serves");
    if (!verdict.passes) {
        fs::remove(FsPath(path), error);  // the next run fetches it again
        return;
    }
    ++outcome.placed;
    if (!HasContentTests(p)) {
        reporter_.Add(url, Severity::kWarning,
                      reporter_.Name(i) +
                          L" has neither MD5, SHA256 nor SignerName: the layout cannot prove on "
                          L"the machine that its file is the one fetched here (pravel runs any "
                          L"file in its place); add SHA256=" +
                          verdict.facts.sha256);
    }
}

void LayoutMaker::Make(const fs::path& configuration, const fs::path& target) {
    std::error_code error;
    const fs::path package = Canonical(configuration).parent_path();
    const std::wstring program = StripExtension(Wide(configuration.filename())) + L".exe";
    fs::path work = target;
    work += ".partial";
    const bool taken = fs::exists(target, error) &&
                       !(fs::is_directory(target, error) && fs::is_empty(target, error));
    if (taken) {
        outcome.folderTaken = true;
        Error(Wide(target) +
              L" exists: a layout is made in a new folder (or an empty one); "
              L"remove it to make the layout again");
        return;
    }
    if (!HasProgram(package, program)) {
        Error(L"the folder " + Wide(package) + L" holds no " + program + L": pravel reads the " +
              Wide(configuration.filename()) +
              L" beside it and is shipped with it; put it there to make a layout");
        return;
    }
    fs::create_directories(work, error);
    if (error) {
        Error(L"cannot make the folder " + Wide(work) + L": " + Why(error));
        return;
    }
    CopyPackage(package, work, target);
    const std::wstring downloads = Wide(work) + L"\\downloads";
    for (size_t i = 0; i < report_.set.Count(); ++i) {
        if (report_.set.Items()[i].locationKind == kLocationUrl) Place(i, downloads);
    }
    if (Errors() == 0) {
        if (fs::exists(target, error)) fs::remove(target, error);  // an empty folder
        fs::rename(work, target, error);
        if (error)
            Error(L"cannot rename " + Wide(work) + L" to " + Wide(target) + L": " + Why(error));
    }
    if (Errors() == 0) {
        outcome.complete = true;
        reporter_.Add(nullptr, Severity::kNote,
                      L"the layout is complete: " + Wide(target) + L" (" +
                          ToDecimal(outcome.placed) + L" of " + ToDecimal(outcome.downloads) +
                          L" downloads in its folder \"downloads\"); pravel run from it takes them "
                          L"from there");
    } else {
        reporter_.Add(nullptr, Severity::kNote,
                      L"the layout is not complete: " + Wide(work) +
                          L" keeps what is in place; run the same command again to fetch only "
                          L"what is missing or fails its keys");
    }
}

}  // namespace

LayoutOutcome MakeLayout(const CheckReport& report, const std::wstring& configuration,
                         const std::wstring& folder, FetchPlatform& platform,
                         void (*found)(const Finding&, void*), void* context) {
    LayoutMaker maker(report, platform, found, context);
    std::error_code error;
    maker.Make(fs::absolute(FsPath(configuration), error), Canonical(FsPath(folder)));
    maker.outcome.findings = std::move(maker.Findings());
    return std::move(maker.outcome);
}

}  // namespace pravel
