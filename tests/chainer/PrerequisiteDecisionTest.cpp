#include <gtest/gtest.h>

#include <map>
#include <set>

#include "chainer/DecisionEnvironment.h"
#include "chainer/PrerequisiteSet.h"
#include "chainer/RunExplanation.h"
#include "common/ErrorCodes.h"
#include "common/HResultError.h"
#include "common/Text.h"
#include "config/IniDocument.h"

using namespace pravel;

namespace {

// Searches answer by prerequisite name; files exist by path.
class FakeEnvironment : public DecisionEnvironment {
  public:
    bool IsOsAccepted(const std::wstring& nt, const std::wstring& nt64) override {
        return nt != L"excluded" && nt64 != L"excluded";
    }
    bool IsLanguageAccepted(const std::wstring& list) override {
        return list.empty() || list == L"1033;";
    }
    MachineArchitecture Architecture() override { return machine; }
    bool EvaluateSearches(PrerequisiteSet& set, size_t index, bool use64) override {
        if (failingSearch == index) throw HResultError(kHrOutOfMemory);
        const std::wstring& name = set.At(index).name;
        searched.push_back(name);
        if (use64) searched64.insert(name);
        return present.count(name) != 0;
    }
    std::wstring DownloadFolder() override { return L"C:\\dl\\"; }
    bool FindFile(const std::wstring& path, uint32_t& size) override {
        if (failingFind == path) throw HResultError(kHrOutOfMemory);
        auto it = files.find(path);
        if (it == files.end()) return false;
        size = it->second;
        return true;
    }
    bool AcceptFoundFile(const Prerequisite&, const std::wstring& path) override {
        judged.push_back(path);
        if (rejected.count(path) == 0) return true;
        files.erase(path);
        return false;
    }
    bool LogEnabled() override { return logging; }
    void Log(const std::wstring& message) override {
        if (message.compare(0, 34, L"Prerequisite selected for install:") == 0 &&
            ++selections == failingSelection) {
            throw HResultError(kHrOutOfMemory);
        }
        log.push_back(message);
    }

    size_t Count(const std::wstring& line) const {
        size_t n = 0;
        for (const auto& l : log) n += l == line ? 1 : 0;
        return n;
    }

    MachineArchitecture machine{true, true, 0x8664};
    std::set<std::wstring> present;
    std::map<std::wstring, uint32_t> files;
    std::set<std::wstring> rejected;   // files that fail their content tests
    std::vector<std::wstring> judged;  // AcceptFoundFile calls
    std::vector<std::wstring> searched;
    std::set<std::wstring> searched64;
    std::vector<std::wstring> log;
    bool logging = true;
    // Failures: the search of prerequisite `failingSearch`, the look-up of
    // `failingFind`, the log line of selection change number `failingSelection`.
    size_t failingSearch = static_cast<size_t>(-1);
    std::wstring failingFind;
    int failingSelection = 0;
    int selections = 0;
};

class Decision : public ::testing::Test {
  protected:
    // Each entry: name, then "key=value" lines of its section.
    void Load(std::initializer_list<std::pair<const wchar_t*, std::wstring>> prerequisites) {
        std::wstring text = L"[PREREQUISITES]\r\n";
        int n = 0;
        for (const auto& p : prerequisites)
            text += L"App" + std::to_wstring(++n) + L"=" + p.first + L"\r\n";
        n = 0;
        for (const auto& p : prerequisites) {
            text += L"[App" + std::to_wstring(++n) + L"]\r\n" + p.second;
        }
        IniDocument doc;
        doc.Parse(text);
        set.Load(doc, TextExpander());
        set.SetEnvironment(&env);
    }
    const Prerequisite& P(size_t i) { return set.At(i); }

    FakeEnvironment env;
    PrerequisiteSet set;
};

const wchar_t* kSetup = L"SetupFile=s.exe\r\n";
const wchar_t* kUrl = L"Url=http://h/f.exe\r\n";
const wchar_t* kSite = L"OpenSite=http://h/page\r\n";

}  // namespace

TEST_F(Decision, StateFollowsSearchAndLocation) {
    Load({{L"Present", kSetup}, {L"Package", kSetup}, {L"Download", kUrl}, {L"Site", kSite}});
    env.present = {L"Present"};
    set.EvaluateAll();
    EXPECT_EQ(kStatePresent, P(0).state);
    EXPECT_EQ(kStateInstallFromPackage, P(1).state);
    EXPECT_EQ(kStateDownload, P(2).state);
    EXPECT_EQ(kStateOpenSite, P(3).state);
    EXPECT_EQ(0, P(0).selected);
    EXPECT_EQ(1, P(1).selected);
    EXPECT_EQ(kStateNotSelected, set.EffectiveState(0));
    EXPECT_EQ(kStateDownload, set.EffectiveState(2));
    EXPECT_TRUE(set.AnyToInstall());
    EXPECT_EQ(kStatePresent, P(0).firstState);
}

TEST_F(Decision, LogLinesOfADecision) {
    Load({{L"Runtime", kSetup}});
    set.EvaluateAll();
    const std::vector<std::wstring> expected = {
        L"Searching for:Runtime",
        L"Search result:No acceptable version found. It must be installed from package.",
        L"Prerequisite selected for install:Runtime",
        L"Prerequisite Runtime is selected: it must be installed."};
    EXPECT_EQ(expected, env.log);
}

TEST_F(Decision, NothingIsLoggedWithLoggingOff) {
    Load({{L"A", kSetup}, {L"B", std::wstring(kSetup) + L"WinNTVersions=excluded\r\n"}});
    env.logging = false;
    set.EvaluateAll();
    EXPECT_TRUE(env.log.empty());
}

TEST_F(Decision, OperatingSystemAndLanguageExclusion) {
    Load({{L"WrongOs", std::wstring(kSetup) + L"WinNT64Versions=excluded\r\n"},
          {L"WrongLanguage", std::wstring(kSetup) + L"LanguageList=1031\r\n"},
          {L"RightLanguage", std::wstring(kSetup) + L"LanguageList=1033\r\n"}});
    set.EvaluateAll();
    EXPECT_EQ(kStateUnsupported, P(0).state);
    EXPECT_EQ(kStateUnsupported, P(1).state);
    EXPECT_EQ(kStateInstallFromPackage, P(2).state);
    EXPECT_EQ(1u, env.Count(L"Wrong OS or Os language for:WrongOs"));
    EXPECT_EQ(1u, env.Count(L"Wrong OS or Os language for:WrongLanguage"));
    EXPECT_EQ(0u, env.Count(L"Searching for:WrongOs"));
    EXPECT_EQ(kStateUndefined, P(0).firstState);
    // Unsupported stays unsupported, without a new test.
    env.log.clear();
    set.Evaluate(0, false);
    EXPECT_TRUE(env.log.empty());
}

TEST_F(Decision, ArchitectureLetters) {
    Load({{L"NotOnArm", std::wstring(kSetup) + L"Options=c\r\n"},
          {L"OnlyArm", std::wstring(kSetup) + L"Options=d\r\n"}});
    env.machine = {true, true, kMachineArm64};
    set.EvaluateAll();
    EXPECT_EQ(kStateUnsupported, P(0).state);
    EXPECT_EQ(0u, env.Count(L"Searching for:NotOnArm"));
    EXPECT_EQ(1u, env.Count(L"Prerequisite NotOnArm is not for this machine's architecture "
                            L"(option \"c\"): it is not installed."));
    EXPECT_EQ(kStateInstallFromPackage, P(1).state);

    Load({{L"NotOnArm", std::wstring(kSetup) + L"Options=c\r\n"},
          {L"OnlyArm", std::wstring(kSetup) + L"Options=d\r\n"}});
    env.machine = {true, true, 0x8664};
    set.EvaluateAll();
    EXPECT_EQ(kStateInstallFromPackage, P(0).state);
    EXPECT_EQ(kStateUnsupported, P(1).state);

    Load({{L"NotOnArm", std::wstring(kSetup) + L"Options=c\r\n"},
          {L"OnlyArm", std::wstring(kSetup) + L"Options=d\r\n"}});
    env.machine = {false, false, 0};  // no IsWow64Process2: "d" excludes
    set.EvaluateAll();
    EXPECT_EQ(kStateInstallFromPackage, P(0).state);
    EXPECT_EQ(kStateUnsupported, P(1).state);

    Load({{L"OnlyArm", std::wstring(kSetup) + L"Options=cd\r\n"}});
    env.machine = {true, false, 0};  // the query failed: neither letter applies
    set.EvaluateAll();
    EXPECT_EQ(kStateInstallFromPackage, P(0).state);
}

TEST_F(Decision, OptionXAsksForTheSixtyFourBitView) {
    Load({{L"Wide", std::wstring(kSetup) + L"Options=x\r\n"}, {L"Narrow", kSetup}});
    set.EvaluateAll();
    EXPECT_EQ((std::set<std::wstring>{L"Wide"}), env.searched64);
}

TEST_F(Decision, OptionISkipsTheSearchAndKeepsItsStateOnReevaluation) {
    Load({{L"Always", std::wstring(kUrl) + L"Options=i\r\n"}});
    env.present = {L"Always"};
    set.EvaluateAll();
    EXPECT_EQ(kStateDownload, P(0).state);
    EXPECT_TRUE(env.searched.empty());
    set.Reevaluate();
    EXPECT_EQ(kStateDownload, P(0).state);
    EXPECT_TRUE(env.searched.empty());
    EXPECT_EQ(2u, env.Count(L"Searching for:Always"));
}

TEST_F(Decision, DownloadAlreadyAtItsTargetIsAvailable) {
    Load({{L"Exact", std::wstring(kUrl) + L"ExactSize=100\r\nFolder=a\r\n"},
          {L"WrongSize", std::wstring(kUrl) + L"ExactSize=99\r\nFolder=b\r\n"},
          {L"AnySize", std::wstring(kUrl) + L"Folder=c\r\n"},
          {L"Share", L"Url=file://\\\\server\\share\\x.exe\r\n"},
          {L"Missing", std::wstring(kUrl) + L"Folder=d\r\n"}});
    env.files = {{L"C:\\dl\\a\\f.exe", 100}, {L"C:\\dl\\b\\f.exe", 100}, {L"C:\\dl\\c\\f.exe", 7}};
    set.EvaluateAll();
    EXPECT_EQ(kStateAvailableLocally, set.EffectiveState(0));
    EXPECT_EQ(kStateDownload, set.EffectiveState(1));
    EXPECT_EQ(kStateAvailableLocally, set.EffectiveState(2));
    EXPECT_EQ(kStateAvailableLocally, set.EffectiveState(3));
    EXPECT_EQ(kStateDownload, set.EffectiveState(4));
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(1, P(i).selected) << i;
}

// A file found in the download folder counts as downloaded only after the
// tests of its content (MD5, SHA256, SignerName) when the prerequisite has
// any: one that fails is deleted (and downloaded). A file: location is not
// tested here: it is tested as it is when it is to run. Without such tests
// nothing is asked.
TEST_F(Decision, FilesFoundInTheDownloadFolderPassTheContentTestsFirst) {
    Load({{L"Md5", std::wstring(kUrl) + L"MD5=0123456789abcdef0123456789abcdef\r\nFolder=a\r\n"},
          {L"Signed", std::wstring(kUrl) + L"SignerName=Contoso\r\nFolder=b\r\n"},
          {L"Planted", std::wstring(kUrl) + L"SHA256=" + std::wstring(64, L'a') +
                           L"\r\nExactSize=100\r\nFolder=c\r\n"},
          {L"Share", L"Url=file://\\\\server\\share\\x.exe\r\nSignerName=Contoso\r\n"},
          {L"Plain", std::wstring(kUrl) + L"Folder=d\r\n"}});
    env.files = {{L"C:\\dl\\a\\f.exe", 5},
                 {L"C:\\dl\\b\\f.exe", 5},
                 {L"C:\\dl\\c\\f.exe", 100},
                 {L"C:\\dl\\d\\f.exe", 5}};
    env.rejected = {L"C:\\dl\\c\\f.exe", L"\\\\server\\share\\x.exe"};
    set.EvaluateAll();
    EXPECT_EQ(kStateAvailableLocally, set.EffectiveState(0));
    EXPECT_EQ(kStateAvailableLocally, set.EffectiveState(1));
    EXPECT_EQ(kStateDownload, set.EffectiveState(2));  // planted: deleted, downloaded again
    EXPECT_EQ(0u, env.files.count(L"C:\\dl\\c\\f.exe"));
    EXPECT_EQ(kStateAvailableLocally, set.EffectiveState(3));  // tested when it is to run
    EXPECT_EQ(kStateAvailableLocally, set.EffectiveState(4));
    const std::vector<std::wstring> firstPass(env.judged.begin(), env.judged.begin() + 3);
    EXPECT_EQ(
        (std::vector<std::wstring>{L"C:\\dl\\a\\f.exe", L"C:\\dl\\b\\f.exe", L"C:\\dl\\c\\f.exe"}),
        firstPass);
    for (const auto& path : env.judged) {
        EXPECT_EQ(std::wstring::npos, path.find(L"\\d\\")) << path.size();
        EXPECT_EQ(std::wstring::npos, path.find(L"server")) << path.size();
    }
}

TEST_F(Decision, PresentButSelectedTakesItsLocationsState) {
    Load({{L"U", kUrl}, {L"S", kSite}, {L"F", kSetup}});
    env.present = {L"U", L"S", L"F"};
    set.EvaluateAll();
    set.Select(0, true);
    set.Select(1, true);
    set.Select(2, true);
    EXPECT_EQ(kStateDownload, set.EffectiveState(0));
    EXPECT_EQ(kStateOpenSite, set.EffectiveState(1));
    EXPECT_EQ(kStateInstallFromPackage, set.EffectiveState(2));
    env.files = {{L"C:\\dl\\f.exe", 1}};
    EXPECT_EQ(kStateAvailableLocally, set.EffectiveState(0));
}

TEST_F(Decision, ChildSelectsItsParentUnlessThePresentIsPresent) {
    Load({{L"Parent", kSetup},
          {L"Child", std::wstring(kSetup) + L"ParentPrereq=Parent\r\n"},
          {L"PresentParent", kSetup},
          {L"Child2", std::wstring(kSetup) + L"ParentPrereq=PresentParent\r\n"}});
    env.present = {L"Parent", L"PresentParent"};
    set.EvaluateAll();
    EXPECT_EQ(0, P(0).selected);
    set.Select(0, false);
    // Parent present: a selected child does not select it.
    EXPECT_EQ(1, P(3).selected);
    EXPECT_EQ(0, P(2).selected);

    // Parent that still needs installing is selected by its child.
    env.present = {};
    Load({{L"Parent", kSetup}, {L"Child", std::wstring(kSetup) + L"ParentPrereq=Parent\r\n"}});
    set.EvaluateAll();
    set.Select(0, false);
    EXPECT_EQ(0, P(1).selected);  // deselecting the parent deselected the child
    set.Select(1, true);
    EXPECT_EQ(1, P(0).selected);
}

TEST_F(Decision, DeselectingAParentDeselectsChildrenAndSelectingSelectsOnlyNeededOnes) {
    Load({{L"Parent", kSetup},
          {L"NeedsIt", std::wstring(kSetup) + L"ParentPrereq=Parent\r\n"},
          {L"HasIt", std::wstring(kSetup) + L"ParentPrereq=Parent\r\n"},
          {L"OtherParent", std::wstring(kSetup) + L"ParentPrereq=parent\r\n"}});
    env.present = {L"HasIt"};
    set.EvaluateAll();
    EXPECT_EQ(1, P(1).selected);
    set.Select(0, false);
    EXPECT_EQ(0, P(1).selected);
    EXPECT_EQ(0, P(2).selected);
    EXPECT_EQ(1, P(3).selected);  // names compare case-sensitively
    set.Select(0, true);
    EXPECT_EQ(1, P(1).selected);
    EXPECT_EQ(0, P(2).selected);
}

TEST_F(Decision, SelectionLogsEveryChangeInBothDirections) {
    Load({{L"A", kSetup}});
    set.EvaluateAll();
    set.Select(0, true);  // no change: no line
    set.Select(0, false);
    EXPECT_EQ(2u, env.Count(L"Prerequisite selected for install:A"));
}

// Every "Prerequisite selected for install:" line, whichever way the
// selection changed, is followed at once by the line that says which way and
// why; the last such line of each prerequisite agrees with its selection and
// gives presence as the reason exactly when it is present.
// Sequences of selections over a family (a parent, two children and a
// grandchild, some present) generated exhaustively up to four steps.
TEST_F(Decision, EverySelectionChangeIsFollowedByWhatItMeans) {
    const std::vector<std::pair<const wchar_t*, std::wstring>> family = {
        {L"Parent", kSetup},
        {L"Child", std::wstring(kSetup) + L"ParentPrereq=Parent\r\n"},
        {L"PresentChild", std::wstring(kSetup) + L"ParentPrereq=Parent\r\n"},
        {L"Grandchild", std::wstring(kSetup) + L"ParentPrereq=Child\r\n"}};
    const std::wstring marker = L"Prerequisite selected for install:";
    size_t sequences = 0;
    for (int steps = 1; steps <= 4; ++steps) {
        int total = 1;
        for (int i = 0; i < steps; ++i) total *= 8;  // 4 prerequisites x on/off
        for (int code = 0; code < total; ++code) {
            Load({family[0], family[1], family[2], family[3]});
            env.log.clear();
            env.present = {L"PresentChild"};
            set.EvaluateAll();
            for (int i = 0, c = code; i < steps; ++i, c /= 8) set.Select(c % 4, (c / 4) % 2 == 1);
            ++sequences;
            std::map<std::wstring, std::wstring> last;  // name -> its last explanation
            for (size_t i = 0; i < env.log.size(); ++i) {
                if (env.log[i].rfind(marker, 0) != 0) continue;
                const std::wstring name = env.log[i].substr(marker.size());
                ASSERT_LT(i + 1, env.log.size()) << code;
                ASSERT_EQ(0u, env.log[i + 1].rfind(L"Prerequisite " + name + L" is ", 0))
                    << code << " " << testing::PrintToString(env.log[i + 1]);
                last[name] = env.log[i + 1];
            }
            for (size_t i = 0; i < set.Count(); ++i) {
                const auto it = last.find(P(i).name);
                if (it == last.end()) continue;
                const bool saysSelected = it->second.find(L" is selected: ") != std::wstring::npos;
                EXPECT_EQ(P(i).selected != 0, saysSelected) << code << " " << i;
                const bool saysPresent =
                    it->second.find(L"version is present.") != std::wstring::npos;
                EXPECT_EQ(!saysSelected && P(i).state == kStatePresent, saysPresent) << code;
            }
        }
    }
    EXPECT_EQ(8u + 64u + 512u + 4096u, sequences);
}

// --- Why the run ended with its exit code -----------------------------------

namespace {

struct RunEnd {
    const wchar_t* options;    // general Options
    const wchar_t* sections;   // "name=Options" of each prerequisite, separated by ","
    const wchar_t* installed;  // found present when decided again, separated by ","
    int32_t exitCode;
    const wchar_t* undecided;  // left in state 8 (a decision that stopped), or null
    const wchar_t* line;
};

class ExitReasonOf : public ::testing::TestWithParam<RunEnd> {};

}  // namespace

TEST_P(ExitReasonOf, RunsEnd) {
    const RunEnd& c = GetParam();
    std::wstring list = L"[PREREQUISITES]\r\n";
    std::wstring sections;
    int n = 0;
    for (const std::wstring& entry : Split(c.sections, L",")) {
        if (entry.empty()) continue;
        const std::wstring app = L"App" + std::to_wstring(++n);
        list += app + L"=" + entry.substr(0, entry.find(L'=')) + L"\r\n";
        sections += L"[" + app + L"]\r\n" + kSetup + L"Options=" +
                    entry.substr(entry.find(L'=') + 1) + L"\r\n";
    }
    IniDocument doc;
    doc.Parse(std::wstring(L"[GeneralOptions]\r\nOptions=") + c.options + L"\r\n" + list +
              sections);
    PrerequisiteSet set;
    set.Load(doc, TextExpander());
    FakeEnvironment env;
    env.present = {L"Present"};
    set.SetEnvironment(&env);
    set.EvaluateAll();
    for (const std::wstring& name : Split(c.installed, L",")) env.present.insert(name);
    // Only a run that installs decides again.
    if (Contains(c.options, L"q") || Contains(c.options, L"b")) set.Reevaluate();
    for (auto& p : set.Items()) {  // as a decision pass that stopped leaves it
        if (c.undecided != nullptr && p.name == c.undecided) {
            p.state = kStateUndefined;
            p.selected = 0;
        }
    }
    EXPECT_EQ(c.line, ExitCodeLine(set, c.exitCode));
}

INSTANTIATE_TEST_SUITE_P(
    EveryEnd, ExitReasonOf,
    ::testing::Values(
        // An optional one failed.
        RunEnd{L"q", L"A=,B=m,C=", L"B", 0, nullptr,
               L"Exit code 0: every mandatory prerequisite is present"},
        RunEnd{L"b", L"A=,B=m,C=m", L"B", 1, nullptr,
               L"Exit code 1: the mandatory prerequisite C is missing"},
        // Not decided counts as missing, in a decide-only run too (which
        // then ends with 1); an optional one not decided is not installed.
        RunEnd{L"q", L"A=,B=m", L"", 1, L"B",
               L"Exit code 1: the mandatory prerequisite B was not decided"},
        RunEnd{L"", L"A=m,B=m", L"", 1, L"B",
               L"Exit code 1: the mandatory prerequisite A is missing"},
        RunEnd{L"", L"Present=m,A=,B=m", L"", 1, L"B",
               L"Exit code 1: the mandatory prerequisite B was not decided"},
        RunEnd{L"", L"A=,B=", L"", 0, L"A",
               L"Exit code 0: decide-only run (Options has neither q nor b); B would be "
               L"installed"},
        // Exit code 1 with nothing missing ("i" is never checked): the run
        // stopped on an error.
        RunEnd{L"q", L"A=mi,B=m", L"B", 1, nullptr, L"Exit code 1: the lines before say why"},
        // A decide-only run ends with 0 and says which mandatory one is missing.
        RunEnd{L"", L"Present=,A=,B=m", L"", 0, nullptr,
               L"Exit code 0: decide-only run (Options has neither q nor b); A, B would be "
               L"installed; the mandatory prerequisite B is missing"},
        RunEnd{L"x", L"Present=", L"", 0, nullptr,
               L"Exit code 0: decide-only run (Options has neither q nor b); nothing would be "
               L"installed"},
        RunEnd{L"q", L"A=m", L"", -1, nullptr,
               L"Exit code -1: a restart is pending; HKCU\\InterbootContext is kept"}));

// The exit code line names the mandatory prerequisite the run's verdict
// finds missing also when it is not selected (here deselected with its
// parent), and a decide-only run does not count it as to be installed.
TEST_F(Decision, TheExitCodeLineNamesAMissingMandatoryPrerequisiteThatIsNotSelected) {
    Load({{L"Parent", kSetup},
          {L"Child", std::wstring(kSetup) + L"Options=m\r\nParentPrereq=Parent\r\n"}});
    set.EvaluateAll();
    set.Select(0, false);
    ASSERT_EQ(0, P(1).selected);
    EXPECT_EQ(L"Exit code 1: the mandatory prerequisite Child is missing", ExitCodeLine(set, 1));
    EXPECT_EQ(
        L"Exit code 0: decide-only run (Options has neither q nor b); nothing would be "
        L"installed; the mandatory prerequisite Child is missing",
        ExitCodeLine(set, 0));
}

TEST_F(Decision, UnknownParentIsLoggedOnceAndIgnored) {
    Load({{L"A", std::wstring(kSetup) + L"ParentPrereq=Nobody\r\n"},
          {L"B", std::wstring(kSetup) + L"ParentPrereq=Nobody\r\n"}});
    EXPECT_NO_THROW(set.EvaluateAll());
    EXPECT_EQ(1, P(0).selected);
    EXPECT_EQ(1u, env.Count(L"Parent prerequisite not found:Nobody (ignored)"));
}

TEST_F(Decision, ReevaluationCountsMandatoryPrerequisites) {
    Load({{L"M1", std::wstring(kSetup) + L"Options=m\r\n"},
          {L"M2", std::wstring(kSetup) + L"Options=m\r\n"},
          {L"Optional", kSetup}});
    set.EvaluateAll();
    env.present = {L"M2"};
    set.Reevaluate();
    EXPECT_EQ(1, set.MandatoryCount());
    EXPECT_TRUE(set.Evaluated());
    EXPECT_EQ(0, P(1).selected);
    EXPECT_EQ(kStateInstallFromPackage, P(1).firstState);  // the first decision stays
}

TEST_F(Decision, IndexOutsideTheListIsABoundsError) {
    Load({{L"A", kSetup}});
    EXPECT_THROW(set.Evaluate(5, false), HResultError);
    EXPECT_THROW(set.Select(1, true), HResultError);
    EXPECT_THROW(set.EffectiveState(9), HResultError);
}

namespace {

// A list that puts mandatory prerequisites that are missing before, between
// and after others: (name, mandatory, present).
struct Planned {
    const wchar_t* name;
    bool mandatory;
    bool present;
};
const Planned kPlan[] = {{L"OptMissing", false, false}, {L"Mand1", true, false},
                         {L"OptPresent", false, true},  {L"MandPresent", true, true},
                         {L"Mand2", true, false},       {L"OptLast", false, false}};
constexpr size_t kPlanned = sizeof(kPlan) / sizeof(kPlan[0]);

class Failing : public Decision {
  protected:
    void LoadPlan() {
        std::wstring text = L"[PREREQUISITES]\r\n";
        for (size_t i = 0; i < kPlanned; ++i)
            text += L"App" + std::to_wstring(i + 1) + L"=" + kPlan[i].name + L"\r\n";
        for (size_t i = 0; i < kPlanned; ++i) {
            // Every other one is downloaded, so that the selection step looks for its file.
            text += L"[App" + std::to_wstring(i + 1) + L"]\r\n" +
                    (i % 2 ? L"Url=http://h/f" + std::to_wstring(i) + L".exe\r\n"
                           : std::wstring(kSetup)) +
                    (kPlan[i].mandatory ? L"Options=m\r\n" : L"");
        }
        IniDocument doc;
        doc.Parse(text);
        set.Load(doc, TextExpander());
        env = FakeEnvironment();
        set.SetEnvironment(&env);
        for (const Planned& p : kPlan) {
            if (p.present) env.present.insert(p.name);
        }
    }
    // Whatever failed, every decided prerequisite is selected exactly when it
    // is missing, and no undecided one is selected.
    void ExpectSelectionFollowsTheDecisions(const std::string& what) {
        for (size_t i = 0; i < kPlanned; ++i) {
            const Prerequisite& p = set.At(i);
            const bool missing = p.state == kStateInstallFromPackage || p.state == kStateDownload;
            EXPECT_EQ(missing ? 1 : 0, p.selected) << what << ": " << i;
            if (p.state == kStateUndefined) {
                EXPECT_EQ(kStateNotSelected, set.EffectiveState(i)) << what << ": " << i;
            }
        }
    }
    // The run's verdict: present only when no mandatory prerequisite is
    // missing or undecided.
    void ExpectVerdict(const std::string& what) {
        bool expected = true;
        for (size_t i = 0; i < kPlanned; ++i) {
            if (kPlan[i].mandatory && set.At(i).state != kStatePresent) expected = false;
        }
        std::wstring missing;
        EXPECT_EQ(expected, set.MandatoryPresent(missing)) << what;
    }
};

}  // namespace

// A failure while deciding prerequisite k: the ones before it are decided
// and selected by their decisions (the missing mandatory ones will be
// installed), k and the rest stay undecided, and the mandatory verdict
// never says present while one is undecided.
TEST_F(Failing, AFailedDecisionAtEveryIndexKeepsTheDecidedOnesSelected) {
    for (size_t k = 0; k <= kPlanned; ++k) {
        LoadPlan();
        env.failingSearch = k;
        const std::string what = "failure at " + std::to_string(k);
        if (k < kPlanned) {
            EXPECT_THROW(set.EvaluateAll(), HResultError) << what;
        } else {
            EXPECT_NO_THROW(set.EvaluateAll()) << what;
        }
        for (size_t i = 0; i < kPlanned; ++i) {
            EXPECT_EQ(i >= k, set.At(i).state == kStateUndefined) << what << ": " << i;
        }
        ExpectSelectionFollowsTheDecisions(what);
        ExpectVerdict(what);
        // Deciding again after the installations leaves the undecided alone.
        env.failingSearch = static_cast<size_t>(-1);
        for (size_t i = 0; i < kPlanned; ++i) {
            if (set.At(i).selected) env.present.insert(set.At(i).name);
        }
        set.Reevaluate();
        ExpectVerdict(what + ", after installing");
        std::wstring missing;
        EXPECT_EQ(k > 4, set.MandatoryPresent(missing)) << what;  // Mand2 is the last mandatory one
        // The run's last line names the first mandatory one not decided.
        if (k <= 4) {
            EXPECT_EQ(std::wstring(L"Exit code 1: the mandatory prerequisite ") +
                          (k <= 1   ? L"Mand1"
                           : k <= 3 ? L"MandPresent"
                                    : L"Mand2") +
                          L" was not decided",
                      ExitCodeLine(set, 1))
                << what;
        }
    }
}

// A failure in the selection step (a file look-up, or the selection itself)
// at every place: the decisions are whole and every missing prerequisite is
// still selected; the failure is passed on.
TEST_F(Failing, AFailureInTheSelectionStepLeavesNoMissingPrerequisiteUnselected) {
    for (int j = 1; j <= 4; ++j) {
        LoadPlan();
        env.failingSelection = j;
        EXPECT_THROW(set.EvaluateAll(), HResultError) << "selection " << j;
        ExpectSelectionFollowsTheDecisions("selection " + std::to_string(j));
        ExpectVerdict("selection " + std::to_string(j));
    }
    for (size_t i : {1u, 5u}) {  // the missing ones that are downloaded
        LoadPlan();
        env.failingFind = L"C:\\dl\\f" + std::to_wstring(i) + L".exe";
        EXPECT_THROW(set.EvaluateAll(), HResultError) << "look-up " << i;
        ExpectSelectionFollowsTheDecisions("look-up " + std::to_string(i));
        EXPECT_EQ(0, set.At(i).availableLocally);  // it is downloaded instead
    }
}

// A child whose parent is found present after the installations is
// deselected by the parent's new decision and still decided again: a child
// still missing counts as missing, one installed as present.
TEST_F(Decision, DecidingAgainStillDecidesAChildItsParentDeselected) {
    for (const bool childInstalled : {false, true}) {
        Load({{L"Parent", kSetup},
              {L"Child", std::wstring(kSetup) + L"Options=m\r\nParentPrereq=Parent\r\n"}});
        env.present.clear();
        set.EvaluateAll();
        ASSERT_EQ(1, P(1).selected);
        env.present = {L"Parent"};
        if (childInstalled) env.present.insert(L"Child");
        set.Reevaluate();
        EXPECT_EQ(childInstalled ? kStatePresent : kStateInstallFromPackage, P(1).state);
        std::wstring missing;
        EXPECT_EQ(childInstalled, set.MandatoryPresent(missing));
        EXPECT_EQ(childInstalled ? L"" : L"Child", missing);
    }
}

// The mandatory verdict looks at the decision, not the selection: a
// missing mandatory prerequisite that is not selected is missing, an
// unsupported one does not count, an undecided one is missing.
TEST_F(Decision, TheMandatoryVerdictLooksAtTheDecisionNotTheSelection) {
    Load({{L"Unsupported", std::wstring(kSetup) + L"Options=m\r\nWinNTVersions=excluded\r\n"},
          {L"Skipped", std::wstring(kSetup) + L"Options=mi\r\n"},
          {L"Missing", std::wstring(kSetup) + L"Options=m\r\n"}});
    std::wstring missing;
    EXPECT_FALSE(set.MandatoryPresent(missing));  // nothing decided yet
    EXPECT_EQ(L"Unsupported", missing);
    set.EvaluateAll();
    set.Select(2, false);
    EXPECT_EQ(kStateNotSelected, set.EffectiveState(2));
    EXPECT_FALSE(set.MandatoryPresent(missing));
    EXPECT_EQ(L"Missing", missing);
    env.present = {L"Missing"};
    set.Evaluate(2, true);
    EXPECT_TRUE(set.MandatoryPresent(missing));
}
