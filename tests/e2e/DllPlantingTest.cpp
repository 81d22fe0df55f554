// DLL planting: marker DLLs named like system DLLs lie beside the program,
// and the Windows search order (program folder first) is forced on Wine for
// them (WINEDLLOVERRIDES "...=n,b", set for the whole test by ctest). pravel.exe must load none of
// them, and must log the same as without them. A probe program shows that the planted DLLs are
// loadable at all.
#include "e2e/PravelRun.h"

#include <cstdio>

using namespace e2e;

namespace {

const wchar_t* const kPlanted[] = {L"version.dll", L"msi.dll",     L"shfolder.dll",
                                   L"wininet.dll", L"mpr.dll",     L"dbghelp.dll",
                                   L"uxtheme.dll", L"comctl32.dll"};

void Plant(const std::wstring& folder) {
    const std::wstring source = PathFromEnvironment("PLANTED_DLL_DIR");
    for (const wchar_t* name : kPlanted) {
        ASSERT_TRUE(
            CopyFileW((source + L"\\" + name).c_str(), (folder + L"\\" + name).c_str(), FALSE))
            << Narrow(name);
    }
}

// The planted DLLs whose DllMain ran, by kind of load: "static" (while the
// process started) and "dynamic" (a LoadLibrary call). The markers are
// removed.
struct Loaded {
    std::string atStart;
    std::string dynamic;
};
Loaded TakeLoaded(const std::wstring& folder) {
    Loaded loaded;
    for (const wchar_t* name : kPlanted) {
        for (const wchar_t* kind : {L".static", L".dynamic"}) {
            const std::wstring marker = folder + L"\\" + name + kind;
            if (!FileExists(marker)) continue;
            (kind[1] == L's' ? loaded.atStart : loaded.dynamic) += Narrow(name) + " ";
            DeleteFileW(marker.c_str());
        }
    }
    return loaded;
}

// True when every name in `part` is also in `whole`.
bool Within(const std::string& part, const std::string& whole) {
    size_t start = 0;
    while (start < part.size()) {
        const size_t end = part.find(' ', start);
        if (whole.find(part.substr(start, end - start + 1)) == std::string::npos) return false;
        start = end + 1;
    }
    return true;
}

// The DLL names in the import table of `exe` (same bitness as this test),
// in lower case, each followed by a blank.
std::string ImportedDlls(const std::wstring& exe) {
    const HMODULE mapped = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (mapped == nullptr) return "<not mapped>";
    const auto* base = reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(mapped) & ~3);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::string names;
    if (directory.VirtualAddress != 0) {
        for (auto* entry =
                 reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
             entry->Name != 0; ++entry) {
            for (const char* c = reinterpret_cast<const char*>(base + entry->Name); *c; ++c) {
                names.push_back(static_cast<char>(tolower(static_cast<unsigned char>(*c))));
            }
            names.push_back(' ');
        }
    }
    FreeLibrary(mapped);
    return names;
}

std::wstring AllNames() {
    std::wstring names;
    for (const wchar_t* name : kPlanted) names += std::wstring(L" ") + name;
    return names;
}

}  // namespace

// The control: the ordinary search order does load every planted DLL, so a
// run that loads none of them proves something. The entry point's
// restriction alone, and with the system loader, loads them all from the
// system folder instead.
TEST(DllPlanting, PlantedDllsAreLoadedByTheOrdinarySearchOrderOnly) {
    ScratchDir dir(L"plantprobe");
    const std::wstring probe = dir / L"probe.exe";
    ASSERT_TRUE(CopyFileW(PathFromEnvironment("FIXTURE_DLL_PROBE").c_str(), probe.c_str(), FALSE));
    Plant(dir.Path());

    const RunResult plain = testing_support::Run(probe, L"plain" + AllNames());
    ASSERT_TRUE(plain.finished);
    EXPECT_EQ(0u, plain.exitCode);
    const Loaded control = TakeLoaded(dir.Path());
    EXPECT_EQ("", control.atStart);
    EXPECT_EQ(
        "version.dll msi.dll shfolder.dll wininet.dll mpr.dll dbghelp.dll uxtheme.dll "
        "comctl32.dll ",
        control.dynamic);

    for (const wchar_t* mode : {L"restricted", L"both"}) {
        const RunResult run = testing_support::Run(probe, mode + AllNames());
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(0u, run.exitCode) << Narrow(mode) << ": DLLs not loaded from the system folder";
        const Loaded loaded = TakeLoaded(dir.Path());
        EXPECT_EQ("", loaded.atStart + loaded.dynamic) << Narrow(mode);
    }
}

// pravel.exe imports known DLLs only; what a do-nothing program with the same
// imports loads from its folder at start is the platform's doing (Wine's
// user32.dll imports version.dll; Windows maps the imports of known DLLs from
// the system folder). Beyond that, pravel loads nothing from its folder, at
// start or later, and its log is the same as without the planted DLLs.
TEST(DllPlanting, PravelLoadsNoPlantedDllAndLogsTheSame) {
    ScratchDir baseline(L"plantbase");
    const std::wstring known = baseline / L"known.exe";
    ASSERT_TRUE(
        CopyFileW(PathFromEnvironment("FIXTURE_KNOWN_IMPORTS").c_str(), known.c_str(), FALSE));
    Plant(baseline.Path());
    ASSERT_TRUE(testing_support::Run(known).finished);
    const Loaded platform = TakeLoaded(baseline.Path());
    EXPECT_EQ("", platform.dynamic);
    std::printf("loaded at start by the known DLLs themselves: %s\n", platform.atStart.c_str());

    // Windows would load a planted DLL that pravel.exe imports itself; Wine's
    // user32 hides that for version.dll, so the import table is read too.
    const std::string imports = ImportedDlls(PravelExe());
    EXPECT_NE(std::string::npos, imports.find("kernel32.dll ")) << imports;
    for (const wchar_t* name : kPlanted) {
        EXPECT_EQ(std::string::npos, imports.find(Narrow(name) + " ")) << imports;
    }

    Installation inst(L"plant", L"plant.exe");
    const std::wstring log = inst.Dir() / L"plant.log";
    const std::wstring searches =
        L"[PREREQUISITES]\r\nApp1=FileVersion\r\nApp2=FolderProperty\r\nApp3=MsiProduct\r\n"
        L"App4=MsiUpgrade\r\nApp5=MsiComponent\r\n"
        L"[App1]\r\nSetupFile=a.exe\r\nSearchType1=0\r\n"
        L"SearchString1=[System32Folder]\\kernel32.dll\r\n"
        L"[App2]\r\nSetupFile=b.exe\r\nOperator=1\r\nSearchType1=0\r\n"
        L"SearchString1=[CommonAppDataFolder]PravelPlanting\\absent.dll\r\n"
        L"SearchType2=0\r\nSearchString2=[ProgramFilesFolder]PravelPlanting\\absent.dll\r\n"
        L"SearchType3=0\r\nSearchString3=[AppDataFolder]PravelPlanting\\absent.dll\r\n"
        L"[App3]\r\nSetupFile=c.exe\r\nSearchType1=3\r\n"
        L"SearchString1={6B1D3F2A-9C4E-4B7D-8A21-3E5F6A7B8C9D}\r\n"
        L"[App4]\r\nSetupFile=d.exe\r\nSearchType1=4\r\n"
        L"SearchString1={0F2E4D6C-8B1A-4C3D-9E5F-7A6B5C4D3E2F}\r\n"
        L"[App5]\r\nSetupFile=e.exe\r\nSearchType1=11\r\n"
        L"SearchString1={1A2B3C4D-5E6F-4A7B-8C9D-0E1F2A3B4C5D}\r\n";
    inst.WriteIni(IniWithLog(log, L"[GeneralOptions]\r\nOptions=\r\n" + searches));

    const RunResult clean = inst.RunIt();
    ASSERT_TRUE(clean.finished);
    const std::vector<std::wstring> before = Messages(ReadUtf16(log));
    ASSERT_TRUE(AnyStartsWith(before, L"Searching for:")) << "no search was logged";
    DeleteFileW(log.c_str());

    Plant(inst.Dir().Path());
    // A run with [PREREQ_CHAINER] deletes its configuration: write it again.
    inst.WriteIni(IniWithLog(log, L"[GeneralOptions]\r\nOptions=\r\n" + searches));
    const RunResult planted = inst.RunIt();
    ASSERT_TRUE(planted.finished);
    EXPECT_EQ(clean.exitCode, planted.exitCode);
    const Loaded loaded = TakeLoaded(inst.Dir().Path());
    EXPECT_EQ("", loaded.dynamic) << "pravel loaded planted DLLs";
    EXPECT_TRUE(Within(loaded.atStart, platform.atStart))
        << "pravel's imports loaded planted DLLs: " << loaded.atStart;
    const std::vector<std::wstring> after = Messages(ReadUtf16(log));
    EXPECT_EQ(before, after);
}
