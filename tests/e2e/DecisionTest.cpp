// Whole runs of pravel.exe that decide a set of prerequisites and log why.
#include "e2e/PravelRun.h"
#include "support/RegistrySnapshot.h"

using namespace e2e;

namespace {

const wchar_t* kPresentKey = L"Software\\PravelTests\\E2EPresent";

class DecisionRun : public ::testing::Test {
  protected:
    void SetUp() override {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, kPresentKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr);
        RegCloseKey(key);
        // A leftover of an earlier run that the run must remove.
        HKEY context = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, L"InterbootContext", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &context, nullptr);
        RegSetValueExA(context, "OLD_RC", 0, REG_SZ, reinterpret_cast<const BYTE*>("0"), 1);
        RegCloseKey(context);
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kPresentKey); }

    std::wstring RunAndReadLog(const std::wstring& ini) {
        inst_.WriteIni(ini);
        const RunResult run = inst_.RunIt();
        EXPECT_TRUE(run.finished);
        EXPECT_EQ(0u, run.exitCode);
        return ReadUtf16(log_);
    }

    Installation inst_{L"decide", L"decide.exe"};
    std::wstring log_ = inst_.Dir() / L"decide.log";
};

std::wstring Section(int n, const std::wstring& body) {
    return L"[App" + std::to_wstring(n) + L"]\r\n" + body;
}

const std::wstring kFound =
    L"SearchType1=5\r\nSearchString1=HKCU\\Software\\PravelTests\\E2EPresent\r\n";
const std::wstring kMissing =
    L"SearchType1=5\r\nSearchString1=HKCU\\Software\\PravelTests\\E2EMissing\r\n";

}  // namespace

TEST_F(DecisionRun, EveryPrerequisiteIsDecidedAndExplained) {
    const std::wstring downloads = inst_.Dir() / L"dl";
    CreateDirectoryW(downloads.c_str(), nullptr);
    CreateDirectoryW((downloads + L"\\exact").c_str(), nullptr);
    WriteBytes(downloads + L"\\exact\\tool.exe", "12345");
    CreateDirectoryW((downloads + L"\\wrong").c_str(), nullptr);
    WriteBytes(downloads + L"\\wrong\\tool.exe", "1234");
    CreateDirectoryW((downloads + L"\\any").c_str(), nullptr);
    WriteBytes(downloads + L"\\any\\tool.exe", "123");
    const LANGID language = GetSystemDefaultLangID();

    const std::wstring ini =
        IniWithLog(log_) + L"[GeneralOptions]\r\nOptions=\r\nDownloadFolder=" + downloads +
        L"\r\n" +
        L"[PREREQUISITES]\r\nApp1=Present\r\nApp2=Absent\r\nApp3=OsExcluded\r\nApp4="
        L"LangExcluded\r\n"
        L"App5=LangAccepted\r\nApp6=SkipSearch\r\nApp7=ParentPresent\r\nApp8=Child\r\n"
        L"App9=DownloadedExact\r\nApp10=DownloadedWrongSize\r\nApp11=DownloadedAnySize\r\n"
        L"App12=FromShare\r\nApp13=Site\r\n" +
        Section(1, L"SetupFile=p.exe\r\n" + kFound) +
        Section(2, L"SetupFile=a.exe\r\n" + kMissing) +
        Section(
            3, L"SetupFile=o.exe\r\nWinNT64Versions=Windows XP x64, Windows 7 x64\r\n" + kMissing) +
        Section(4, L"SetupFile=l.exe\r\nLanguageList=" + std::to_wstring(language + 1) + L"\r\n" +
                       kMissing) +
        Section(5, L"SetupFile=l.exe\r\nLanguageList=1;" + std::to_wstring(language) + L"\r\n" +
                       kMissing) +
        Section(6, L"SetupFile=s.exe\r\nOptions=i\r\n" + kFound) +
        Section(7, L"SetupFile=pp.exe\r\n" + kFound) +
        Section(8, L"SetupFile=c.exe\r\nParentPrereq=ParentPresent\r\n" + kMissing) +
        Section(9, L"Url=http://127.0.0.1:9/files/tool.exe\r\nExactSize=5\r\nFolder=exact\r\n" +
                       kMissing) +
        Section(10, L"Url=http://127.0.0.1:9/files/tool.exe\r\nExactSize=5\r\nFolder=wrong\r\n" +
                        kMissing) +
        Section(11, L"Url=http://127.0.0.1:9/files/tool.exe\r\nFolder=any\r\n" + kMissing) +
        Section(12, L"Url=file://\\\\server\\share\\tool.exe\r\n" + kMissing) +
        Section(13, L"OpenSite=https://example.com/get\r\n" + kMissing);
    const std::wstring log = RunAndReadLog(ini);
    const auto has = [&](const std::wstring& line) { return HasMessage(log, line); };

    EXPECT_TRUE(has(L"Prerequisites loaded:13")) << Narrow(log);
    EXPECT_TRUE(has(L"Searching for:Present"));
    EXPECT_TRUE(has(L"Search result:An acceptable version was found."));
    EXPECT_TRUE(
        has(L"Search result:No acceptable version found. It must be installed from package."));
    EXPECT_TRUE(has(L"Search result:No acceptable version found. It must be downloaded."));
    EXPECT_TRUE(has(
        L"Search result:No acceptable version found. It must be downloaded manually from a site."));
    EXPECT_FALSE(has(L"Prerequisite selected for install:Present"));
    EXPECT_TRUE(has(L"Prerequisite selected for install:Absent"));

    EXPECT_TRUE(has(L"Wrong OS or Os language for:OsExcluded"));
    EXPECT_FALSE(has(L"Searching for:OsExcluded"));
    EXPECT_TRUE(has(L"Wrong OS or Os language for:LangExcluded"));
    EXPECT_FALSE(has(L"Wrong OS or Os language for:LangAccepted"));
    EXPECT_TRUE(has(L"Prerequisite selected for install:LangAccepted"));
    EXPECT_TRUE(
        HasMessageStartingWith(log, L"SystemDefault LangID=" + std::to_wstring(language) + L"-"));

    EXPECT_TRUE(has(L"Searching for:SkipSearch"));
    EXPECT_TRUE(has(L"Prerequisite selected for install:SkipSearch"));
    EXPECT_TRUE(has(L"Prerequisite selected for install:Child"));
    EXPECT_FALSE(has(L"Prerequisite selected for install:ParentPresent"));

    EXPECT_TRUE(has(L"Already available, no download needed:DownloadedExact"));
    EXPECT_FALSE(has(L"Already available, no download needed:DownloadedWrongSize"));
    EXPECT_TRUE(has(L"Already available, no download needed:DownloadedAnySize"));
    EXPECT_TRUE(has(L"Already available, no download needed:FromShare"));
    EXPECT_TRUE(has(L"Prerequisite selected for install:DownloadedWrongSize"));
    EXPECT_TRUE(has(L"Prerequisite selected for install:Site"));

    EXPECT_FALSE(has(L"No prerequisite must be installed."));
    const std::vector<std::wstring> messages = Messages(log);
    const auto summary =
        std::find(messages.begin(), messages.end(), L"After running prerequisites we have:");
    ASSERT_NE(messages.end(), summary);
    ASSERT_NE(messages.end(), summary + 1);
    EXPECT_EQ(L"  Reboot was required=false", *(summary + 1));
    // A run that only decides says so last, with what it would install.
    EXPECT_EQ(
        L"Exit code 0: decide-only run (Options has neither q nor b); Absent, "
        L"LangAccepted, SkipSearch, Child, DownloadedExact, DownloadedWrongSize, "
        L"DownloadedAnySize, FromShare, Site would be installed",
        messages.back());
    // Every search says what it found and what decided it.
    EXPECT_TRUE(has(L"Search 1 (HKCU\\Software\\PravelTests\\E2EPresent): the key opened: found"));
    EXPECT_TRUE(has(
        L"Search 1 (HKCU\\Software\\PravelTests\\E2EMissing): the key did not open: not found"));
    EXPECT_TRUE(has(L"Prerequisite Absent is selected: it must be installed."));
    EXPECT_FALSE(InterbootContextExists());
}

// The log of a decide-only run: the value each search read and the
// comparison that decided it, only the searches that ran, and why the run
// ends with 0 although a mandatory prerequisite is missing.
TEST_F(DecisionRun, SearchesAndTheEndOfTheRunAreExplained) {
    const std::wstring key = std::wstring(kPresentKey) + L"\\Search";
    HKEY handle = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, (key + L"\\3.1").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &handle, nullptr);
    RegCloseKey(handle);
    RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                    nullptr);
    RegSetValueExW(handle, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"1.5"),
                   4 * sizeof(wchar_t));
    const DWORD level = 12;
    RegSetValueExW(handle, L"Level", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&level),
                   sizeof(level));
    RegCloseKey(handle);
    const std::wstring root = L"HKCU\\" + key;
    const std::wstring ini =
        IniWithLog(log_) + L"[PREREQUISITES]\r\nApp1=Runtime\r\nApp2=Level\r\nApp3=Names\r\n" +
        Section(1, L"SetupFile=r.exe\r\nOptions=m\r\nSearchType1=2\r\nSearchString1=" + root +
                       L"\\Version\r\nVerMin1=2.0\r\n") +
        Section(2, L"SetupFile=l.exe\r\nOperator=1\r\nSearchType1=9\r\nSearchString1=" + root +
                       L"\\Level\r\nRefContent1=G10\r\nSearchType2=6\r\nSearchString2=" + root +
                       L"\r\n") +
        Section(3, L"SetupFile=n.exe\r\nSearchType1=1\r\nSearchString1=" + root +
                       L"\r\nVerMin1=3\r\nVerMax1=3.9\r\n");
    const std::wstring log = RunAndReadLog(ini);
    const auto has = [&](const std::wstring& line) { return HasMessage(log, line); };
    EXPECT_TRUE(has(L"Search 1 (" + root +
                    L"\\Version): read \"1.5\" (below VerMin); VerMin=2.0, VerMax=: not found"))
        << Narrow(log);
    EXPECT_TRUE(has(L"Search 1 (" + root +
                    L"\\Level): read \"12\"; RefContent G10 (greater, digits only) holds: found"));
    EXPECT_FALSE(HasMessageStartingWith(log, L"Search 2 ("))
        << "Operator=1: the first found search ends the searches";
    EXPECT_TRUE(
        has(L"Search 1 (" + root + L"): read \"3.1\" (accepted); VerMin=3, VerMax=3.9: found"));
    EXPECT_EQ(
        L"Exit code 0: decide-only run (Options has neither q nor b); Runtime would be "
        L"installed; the mandatory prerequisite Runtime is missing",
        Messages(log).back());
}

TEST_F(DecisionRun, NothingToInstall) {
    const std::wstring ini = IniWithLog(log_) +
                             L"[PREREQUISITES]\r\nApp1=Present\r\nApp2=Excluded\r\n" +
                             Section(1, L"SetupFile=p.exe\r\n" + kFound) +
                             Section(2, L"SetupFile=e.exe\r\nWinNT64Versions=Windows 7 x64\r\n");
    const std::wstring log = RunAndReadLog(ini);
    EXPECT_TRUE(HasMessage(log, L"No prerequisite must be installed.")) << Narrow(log);
    EXPECT_FALSE(HasMessageStartingWith(log, L"After running prerequisites"));
    EXPECT_FALSE(InterbootContextExists());
}

TEST_F(DecisionRun, EmptyListDeletesTheInterbootContextKey) {
    const std::wstring log = RunAndReadLog(IniWithLog(log_));
    EXPECT_TRUE(HasMessage(log, L"Prerequisites loaded:0"));
    EXPECT_FALSE(HasMessage(log, L"No prerequisite must be installed."));
    EXPECT_FALSE(InterbootContextExists());
}

TEST_F(DecisionRun, BasicRunDecidesAndInstallsThroughTheProgressWindow) {
    const std::wstring ini =
        IniWithLog(log_) + L"[GeneralOptions]\r\nOptions=b\r\n[PREREQUISITES]\r\nApp1=Absent\r\n" +
        Section(1, L"SetupFile=a.exe\r\n" + kMissing);
    const std::wstring log = RunAndReadLog(ini);
    EXPECT_TRUE(HasMessage(log, L"Prerequisite selected for install:Absent")) << Narrow(log);
    EXPECT_TRUE(HasMessage(log, L"Starting installing prerequisites in basic UI mode."));
    // The setup file is missing: the optional prerequisite fails, the window
    // ends by itself.
    EXPECT_TRUE(HasMessageStartingWith(log, L"Launching file:"));
    EXPECT_TRUE(HasMessage(log, L"After running prerequisites we have:"));
}

TEST_F(DecisionRun, UnknownParentIsLoggedAndTheRunGoesOn) {
    const std::wstring ini = IniWithLog(log_) + L"[PREREQUISITES]\r\nApp1=Orphan\r\n" +
                             Section(1, L"SetupFile=o.exe\r\nParentPrereq=Nobody\r\n" + kMissing);
    const std::wstring log = RunAndReadLog(ini);
    EXPECT_TRUE(HasMessage(log, L"Parent prerequisite not found:Nobody (ignored)")) << Narrow(log);
    EXPECT_TRUE(HasMessage(log, L"After running prerequisites we have:"));
}

// The prefix is made to report Windows 10 22H2: pravel's log header and its
// exclusion lists follow the registry, not the compatibility layer.
TEST_F(DecisionRun, OperatingSystemNamesFollowTheRegistry) {
    testing_support::RegistrySnapshot version(
        L"Software\\Microsoft\\Windows NT\\CurrentVersion",
        {L"CurrentMajorVersionNumber", L"CurrentMinorVersionNumber", L"CurrentBuildNumber",
         L"CSDVersion"});
    version.SetDword(L"CurrentMajorVersionNumber", 10);
    version.SetDword(L"CurrentMinorVersionNumber", 0);
    version.SetString(L"CurrentBuildNumber", L"19045");
    version.Delete(L"CSDVersion");

    const std::wstring ini =
        IniWithLog(log_) +
        L"[PREREQUISITES]\r\nApp1=NotFor10\r\nApp2=NotFor22H2\r\nApp3=NotFor21H2\r\n" +
        Section(1, L"SetupFile=a.exe\r\nWinNT64Versions=Windows 10 x64\r\n" + kMissing) +
        Section(
            2,
            L"SetupFile=b.exe\r\nWinNT64Versions=Windows 8 x64, Windows 10 version 22H2 x64\r\n" +
                kMissing) +
        Section(
            3,
            L"SetupFile=c.exe\r\nWinNT64Versions=Windows 10 version 21H2 x64, Windows 8 x64\r\n" +
                kMissing);
    const std::wstring log = RunAndReadLog(ini);
    EXPECT_NE(std::wstring::npos,
              log.find(L"\r\nOS Version: 10.0.19045 SP0 (workstation) [x64]\r\n"))
        << Narrow(log);
    EXPECT_TRUE(HasMessage(log, L"Wrong OS or Os language for:NotFor10"));
    EXPECT_TRUE(HasMessage(log, L"Wrong OS or Os language for:NotFor22H2"));
    EXPECT_FALSE(HasMessage(log, L"Wrong OS or Os language for:NotFor21H2"));
    EXPECT_TRUE(HasMessage(log, L"Prerequisite selected for install:NotFor21H2"));
}

// The 32-bit deliverable's searches read HKLM\Software through the 32-bit
// registry view (Wow6432Node); Options "x" reads the 64-bit view. The key
// exists in the 32-bit view only.
TEST_F(DecisionRun, MachineSoftwareIsSearchedInTheProgramsOwnViewUnlessXIsGiven) {
    const wchar_t* path = L"Software\\PravelTests\\E2EView32";
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr));
    RegCloseKey(key);
    const std::wstring search =
        L"SearchType1=5\r\nSearchString1=HKLM\\Software\\PravelTests\\E2EView32\r\n";
    const std::wstring ini = IniWithLog(log_) +
                             L"[PREREQUISITES]\r\nApp1=OwnView\r\nApp2=NativeView\r\n" +
                             Section(1, L"SetupFile=a.exe\r\n" + search) +
                             Section(2, L"SetupFile=b.exe\r\nOptions=x\r\n" + search);
    const std::wstring log = RunAndReadLog(ini);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY, 0);
    EXPECT_EQ(kSuite64Bit, HasMessage(log, L"Prerequisite selected for install:OwnView"))
        << Narrow(log);
    EXPECT_TRUE(HasMessage(log, L"Prerequisite selected for install:NativeView")) << Narrow(log);
}
