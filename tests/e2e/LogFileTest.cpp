// The log file: byte-order mark, banner and machine description at every
// opening, time-stamped records, appending, and the fall-back locations.
#include "e2e/PravelRun.h"

#include <intrin.h>
#include <winver.h>

#include <vector>

using namespace e2e;

namespace {

// The Windows version as ntdll reports it, independently of the program.
std::wstring ExpectedOsLine() {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    auto getVersion = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), "RtlGetVersion")));
    OSVERSIONINFOEXW v = {};
    v.dwOSVersionInfoSize = sizeof(v);
    getVersion(&v);
    DWORD major = v.dwMajorVersion;
    if (major == 10 && v.dwBuildNumber >= 22000) major = 11;
    return L"OS Version: " + std::to_wstring(major) + L"." + std::to_wstring(v.dwMinorVersion) +
           L"." + std::to_wstring(v.dwBuildNumber) + L" SP" + std::to_wstring(v.wServicePackMajor) +
           L" (" + (v.wProductType == VER_NT_WORKSTATION ? L"workstation" : L"server") + L") [x64]";
}

std::wstring ExpectedCpuLine() {
    int regs[4];
    __cpuid(regs, static_cast<int>(0x80000000u));
    if (static_cast<unsigned>(regs[0]) <= 0x80000003u) return L"CPU: UnkownCPU";
    char brand[49] = {};
    for (int i = 0; i < 3; ++i) {
        __cpuid(regs, static_cast<int>(0x80000002u + i));
        memcpy(brand + 16 * i, regs, 16);
    }
    std::wstring line = L"CPU: ";
    for (const char* p = brand; *p; ++p) line.push_back(static_cast<unsigned char>(*p));
    return line;
}

// "(x86)" for the 32-bit deliverable, "(x64)" for the 64-bit build; the OS
// line says "[x64]" in both (the machine, not the program).
std::wstring Banner() {
    return std::wstring(L"<< Quillon (") + kSuiteArchitecture + L") Log >>";
}

// The ProductVersion text of the program's own version resource.
std::wstring ResourceVersion() {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(PravelExe().c_str(), &ignored);
    std::vector<BYTE> data(size);
    wchar_t* text = nullptr;
    UINT length = 0;
    if (size == 0 || !GetFileVersionInfoW(PravelExe().c_str(), 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\StringFileInfo\\040904b0\\ProductVersion",
                        reinterpret_cast<void**>(&text), &length) ||
        text == nullptr) {
        return L"";
    }
    return text;
}

size_t Count(const std::wstring& text, const std::wstring& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

}  // namespace

TEST(LogFile, NewLogHasMarkBannerMachineLinesAndTimestampedRecords) {
    Installation inst(L"logfmt", L"logfmt.exe");
    const std::wstring log = inst.Dir() / L"setup.log";
    inst.WriteIni(IniWithLog(log));
    ASSERT_TRUE(inst.RunIt().finished);

    const std::string bytes = ReadBytes(log);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ('\xFF', bytes[0]);
    EXPECT_EQ('\xFE', bytes[1]);
    const std::wstring text = ReadUtf16(log);
    const std::vector<std::wstring> lines = SplitLines(text.substr(1));
    ASSERT_GE(lines.size(), 8u) << Narrow(text);
    EXPECT_EQ(L"", lines[0]);
    EXPECT_EQ(Banner(), lines[1]);
    // The version the program's version resource gives, not only some text.
    const std::wstring version = ResourceVersion();
    EXPECT_FALSE(version.empty());
    EXPECT_EQ(L"Program version: " + version, lines[2]);
    EXPECT_EQ(ExpectedOsLine(), lines[3]);
    EXPECT_EQ(ExpectedCpuLine(), lines[4]);
    EXPECT_EQ(L"", lines[5]);
    for (size_t i = 6; i < lines.size(); ++i) {
        EXPECT_TRUE(IsTimestamped(lines[i])) << Narrow(lines[i]);
    }
    EXPECT_TRUE(HasMessageStartingWith(text, L"Configuration file:"));
    EXPECT_TRUE(text.size() >= 2 && text.compare(text.size() - 2, 2, L"\r\n") == 0);
}

TEST(LogFile, SecondRunAppendsWithANewBannerAndNoSecondMark) {
    Installation inst(L"logappend", L"logappend.exe");
    const std::wstring log = inst.Dir() / L"setup.log";
    inst.WriteIni(IniWithLog(log));
    ASSERT_TRUE(inst.RunIt().finished);
    const std::wstring first = ReadUtf16(log);
    inst.WriteIni(IniWithLog(log));  // a run with [PREREQ_CHAINER] deletes its configuration
    ASSERT_TRUE(inst.RunIt().finished);
    const std::wstring both = ReadUtf16(log);
    EXPECT_EQ(first, both.substr(0, first.size()));
    EXPECT_EQ(1u, Count(both, L"\xFEFF"));
    EXPECT_EQ(0u, both.find(L"\xFEFF"));
    EXPECT_EQ(2u, Count(both, Banner()));
    EXPECT_EQ(2u, Count(both, L"OS Version: "));
    EXPECT_EQ(2 * Messages(first).size(), Messages(both).size());
}

// The configured folder does not exist: common application data first, then
// beside the program, then a new QUILLON_LOGS folder in the temporary folder.
TEST(LogFile, UnusableFolderFallsBackInOrder) {
    Installation inst(L"logfb", L"fbprog.exe");
    const std::wstring ini = IniWithLog(inst.Dir() / L"missing\\deeper\\setup.log");
    inst.WriteIni(ini);
    const std::wstring appDataLog = CommonAppData() + L"\\QUILLON_LOGS\\fbprog.LOG";
    const std::wstring besideLog = inst.Dir() / L"fbprog.LOG";
    ScratchDir temp(L"logfbtemp");
    const std::wstring tempLog = temp / L"QUILLON_LOGS\\fbprog.LOG";
    RemoveTree(appDataLog);

    // The child inherits a temporary folder of the test's own.
    wchar_t oldTemp[MAX_PATH + 1];
    GetEnvironmentVariableW(L"TEMP", oldTemp, MAX_PATH + 1);
    wchar_t oldTmp[MAX_PATH + 1];
    GetEnvironmentVariableW(L"TMP", oldTmp, MAX_PATH + 1);
    SetEnvironmentVariableW(L"TEMP", temp.Path().c_str());
    SetEnvironmentVariableW(L"TMP", temp.Path().c_str());

    // 1: common application data.
    ASSERT_TRUE(inst.RunIt().finished);
    EXPECT_TRUE(FileExists(appDataLog));
    EXPECT_FALSE(FileExists(besideLog));
    EXPECT_TRUE(HasMessageStartingWith(ReadUtf16(appDataLog), L"Configuration file:"));

    // 2: beside the program, once the first place cannot take a file.
    RemoveTree(appDataLog);
    CreateDirectoryW(appDataLog.c_str(), nullptr);
    inst.WriteIni(ini);  // the run before deleted it
    ASSERT_TRUE(inst.RunIt().finished);
    EXPECT_TRUE(FileExists(besideLog));
    EXPECT_TRUE(HasMessageStartingWith(ReadUtf16(besideLog), L"Configuration file:"));

    // 3: the temporary folder's QUILLON_LOGS, created for this run.
    RemoveTree(besideLog);
    CreateDirectoryW(besideLog.c_str(), nullptr);
    inst.WriteIni(ini);  // the run before deleted it
    ASSERT_TRUE(inst.RunIt().finished);
    EXPECT_TRUE(FileExists(tempLog));
    EXPECT_TRUE(HasMessageStartingWith(ReadUtf16(tempLog), L"Configuration file:"));

    // With all three unusable (the temporary QUILLON_LOGS now exists) the
    // run still ends normally and writes nowhere.
    RemoveTree(tempLog);
    inst.WriteIni(ini);
    const RunResult last = inst.RunIt();
    ASSERT_TRUE(last.finished);
    EXPECT_EQ(0u, last.exitCode);
    EXPECT_FALSE(FileExists(tempLog));

    SetEnvironmentVariableW(L"TEMP", oldTemp);
    SetEnvironmentVariableW(L"TMP", oldTmp);
    RemoveTree(appDataLog);
}
