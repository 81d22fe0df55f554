// Decision-only runs of the real pravel.exe with the ready configurations of
// examples/recipes (RECIPES_DIR): each recipe, its general Options emptied
// and a log added, finds its prerequisite missing on the bare prefix, still
// missing in a state near the documented one that must not count, and
// present once the test puts in place what the vendor documents (registry
// values, folders, a Windows Installer product, an MSIX package of the
// stand-in package manager). Everything the test puts in place is removed
// again, which the last run of each case shows.
#include <functional>

#include "e2e/PravelRun.h"
#include "support/FakePackageManager.h"
#include "support/RegistrySnapshot.h"

using namespace e2e;
using testing_support::FakePackageManager;
using testing_support::RegistrySnapshot;

namespace {

bool KeyExists(HKEY root, REGSAM view, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void DeleteKeyTree(HKEY root, REGSAM view, const std::wstring& path) {
    const size_t cut = path.rfind(L'\\');
    HKEY parent = nullptr;
    if (cut == std::wstring::npos ||
        RegOpenKeyExW(root, path.substr(0, cut).c_str(), 0, KEY_ALL_ACCESS | view, &parent) !=
            ERROR_SUCCESS) {
        return;
    }
    RegDeleteTreeW(parent, path.substr(cut + 1).c_str());
    RegCloseKey(parent);
}

DWORD Msiexec(const std::wstring& arguments) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const RunResult run = Run(std::wstring(system) + L"\\msiexec.exe", arguments, 120000);
    return run.finished ? run.exitCode : 0xFFFFFFFF;
}

// The 64-bit program files folder, as pravel's [ProgramFiles64Folder] finds it.
std::wstring ProgramFiles64() {
    wchar_t path[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"ProgramW6432", path, MAX_PATH) == 0) {
        SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, path);
    }
    return path;
}

// Changes to the prefix, undone in reverse order when the object goes.
class PrefixChanges {
  public:
    explicit PrefixChanges(FakePackageManager& packages) : packages_(packages) {}
    ~PrefixChanges() {
        for (auto undo = undo_.rbegin(); undo != undo_.rend(); ++undo) (*undo)();
    }
    PrefixChanges(const PrefixChanges&) = delete;
    PrefixChanges& operator=(const PrefixChanges&) = delete;

    // A value of root\path in `view`: 0 for this program's own view, which is
    // the one the pravel.exe of its suite reads without option "x";
    // KEY_WOW64_64KEY or KEY_WOW64_32KEY for a fixed one. Keys that do not
    // exist are created, and deleted again.
    void SetDword(HKEY root, REGSAM view, const std::wstring& path, const std::wstring& name,
                  DWORD value) {
        Set(root, view, path, name, REG_DWORD, &value, sizeof(value));
    }
    void SetString(HKEY root, REGSAM view, const std::wstring& path, const std::wstring& name,
                   const std::wstring& value) {
        Set(root, view, path, name, REG_SZ, value.c_str(), (value.size() + 1) * sizeof(wchar_t));
    }

    // The folder and its missing parents; what was created is removed again.
    void MakeFolder(const std::wstring& path) {
        std::wstring created;
        for (size_t end = path.find(L'\\', 3);; end = path.find(L'\\', end + 1)) {
            const std::wstring part = path.substr(0, end);
            if (created.empty() && !DirectoryExists(part)) created = part;
            if (!created.empty()) CreateDirectoryW(part.c_str(), nullptr);
            if (end == std::wstring::npos) break;
        }
        ASSERT_TRUE(DirectoryExists(path)) << Narrow(path);
        if (!created.empty()) undo_.push_back([created] { RemoveTree(created); });
    }

    // Installs the package through msiexec; the product is removed again.
    void InstallMsi(const std::wstring& package, const std::wstring& productCode) {
        ASSERT_EQ(0u, Msiexec(L"/i \"" + package + L"\" /qn"));
        undo_.push_back([productCode] { Msiexec(L"/x " + productCode + L" /qn"); });
    }

    // The packages the stand-in package manager lists, until the object goes.
    void SetPackages(const std::vector<std::wstring>& packages) {
        packages_.SetPackages(packages);
        undo_.push_back([this] { packages_.SetPackages({}); });
    }

  private:
    void Set(HKEY root, REGSAM view, const std::wstring& path, const std::wstring& name, DWORD type,
             const void* data, size_t size) {
        std::wstring created;  // the first key of the path that is missing
        for (size_t end = path.find(L'\\');; end = path.find(L'\\', end + 1)) {
            const std::wstring part = path.substr(0, end);
            if (!KeyExists(root, view, part)) {
                created = part;
                break;
            }
            if (end == std::wstring::npos) break;
        }
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS | view, nullptr, &key, nullptr))
            << Narrow(path);
        if (!created.empty()) {
            undo_.push_back([=] { DeleteKeyTree(root, view, created); });
        } else {
            std::vector<BYTE> old(4096);
            DWORD oldType = 0;
            DWORD oldSize = static_cast<DWORD>(old.size());
            const bool existed = RegQueryValueExW(key, name.c_str(), nullptr, &oldType, old.data(),
                                                  &oldSize) == ERROR_SUCCESS;
            old.resize(existed ? oldSize : 0);
            undo_.push_back([=] {
                HKEY restore = nullptr;
                if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &restore) !=
                    ERROR_SUCCESS) {
                    return;
                }
                if (existed) {
                    RegSetValueExW(restore, name.c_str(), 0, oldType, old.data(),
                                   static_cast<DWORD>(old.size()));
                } else {
                    RegDeleteValueW(restore, name.c_str());
                }
                RegCloseKey(restore);
            });
        }
        RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data),
                       static_cast<DWORD>(size));
        RegCloseKey(key);
    }

    FakePackageManager& packages_;
    std::vector<std::function<void()>> undo_;
};

const REGSAM kOwnView = 0;

// The values the vendor documents for the Visual C++ Redistributable of
// `arch`: Installed, Major, Minor, Bld and Version ("v14.44.35211.00").
void VcRuntime(PrefixChanges& prefix, REGSAM view, const std::wstring& arch, DWORD installed,
               DWORD minor) {
    const std::wstring key = L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\" + arch;
    prefix.SetDword(HKEY_LOCAL_MACHINE, view, key, L"Installed", installed);
    prefix.SetDword(HKEY_LOCAL_MACHINE, view, key, L"Major", 14);
    prefix.SetDword(HKEY_LOCAL_MACHINE, view, key, L"Minor", minor);
    prefix.SetDword(HKEY_LOCAL_MACHINE, view, key, L"Bld", 35211);
    prefix.SetString(HKEY_LOCAL_MACHINE, view, key, L"Version",
                     L"v14." + std::to_wstring(minor) + L".35211.00");
}

void NetFrameworkRelease(PrefixChanges& prefix, DWORD release) {
    prefix.SetDword(HKEY_LOCAL_MACHINE, kOwnView,
                    L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full", L"Release",
                    release);
}

// A Desktop Runtime folder below Program Files\dotnet (`home`: "" for the
// machine's own architecture, "x64\\" for x64 on Arm64 machines).
void DesktopRuntime(PrefixChanges& prefix, const std::wstring& home, const std::wstring& version) {
    prefix.MakeFolder(ProgramFiles64() + L"\\dotnet\\" + home +
                      L"shared\\Microsoft.WindowsDesktop.App\\" + version);
}

const wchar_t* kWebView2Client =
    L"Software\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";

const std::wstring kContosoTool = L"Contoso.Tool|CN=Contoso, O=Contoso Ltd, C=US|";

struct Recipe {
    const char* name;     // of the test case
    const wchar_t* file;  // in examples/recipes
    int prerequisites;    // how many it lists
    bool fromSetupFile;   // "installed from package" rather than "downloaded"
    void (*present)(PrefixChanges&);
    void (*nearMiss)(PrefixChanges&);  // a state that must not count; nullptr: none
};

const Recipe kRecipes[] = {
    // The state the vendor documents: the values under Wow6432Node (the
    // 32-bit view), in both suites.
    {"VcRedistX64", L"vc-redist-x64.ini", 1, false,
     [](PrefixChanges& p) { VcRuntime(p, KEY_WOW64_32KEY, L"x64", 1, 44); },
     // An older runtime in both views.
     [](PrefixChanges& p) {
         VcRuntime(p, KEY_WOW64_64KEY, L"x64", 1, 39);
         VcRuntime(p, KEY_WOW64_32KEY, L"x64", 1, 38);
     }},
    // Machines reported to have the values only in the 64-bit view.
    {"VcRedistX64NativeView", L"vc-redist-x64.ini", 1, false,
     [](PrefixChanges& p) { VcRuntime(p, KEY_WOW64_64KEY, L"x64", 1, 44); },
     // The x86 runtime does not count.
     [](PrefixChanges& p) { VcRuntime(p, KEY_WOW64_32KEY, L"x86", 1, 44); }},
    {"VcRedistX86", L"vc-redist-x86.ini", 1, false,
     [](PrefixChanges& p) { VcRuntime(p, kOwnView, L"x86", 1, 44); },
     [](PrefixChanges& p) { VcRuntime(p, kOwnView, L"x86", 0, 44); }},
    {"NetFramework481", L"dotnet-framework-4.8.1.ini", 1, false,
     [](PrefixChanges& p) { NetFrameworkRelease(p, 533320); },
     [](PrefixChanges& p) { NetFrameworkRelease(p, 528372); }},  // 4.8
    // 4.8.1 where it installs, 4.8 on older systems: on this Windows 10
    // 22H2 both are decided, and 4.8.1 satisfies both.
    {"NetFramework481Or48", L"dotnet-framework-4.8.1-or-4.8.ini", 2, false,
     [](PrefixChanges& p) { NetFrameworkRelease(p, 533320); }, nullptr},
    {"NetFramework48", L"dotnet-framework-4.8.ini", 1, false,
     [](PrefixChanges& p) { NetFrameworkRelease(p, 528040); },
     [](PrefixChanges& p) { NetFrameworkRelease(p, 461814); }},  // 4.7.2
    {"DotNet10DesktopRuntime", L"dotnet-10-desktop-runtime-x64.ini", 2, false,
     [](PrefixChanges& p) { DesktopRuntime(p, L"", L"10.0.1"); },
     // 8.0 and 9.0 do not count; 10.0 where only an Arm64 machine looks.
     [](PrefixChanges& p) {
         DesktopRuntime(p, L"", L"8.0.11");
         DesktopRuntime(p, L"", L"9.0.0");
         DesktopRuntime(p, L"x64\\", L"10.0.1");
     }},
    {"DotNet8DesktopRuntime", L"dotnet-8-desktop-runtime-x64.ini", 2, false,
     [](PrefixChanges& p) { DesktopRuntime(p, L"", L"8.0.11"); },
     // Other major versions; 8.0 where only an Arm64 machine looks.
     [](PrefixChanges& p) {
         DesktopRuntime(p, L"", L"7.0.20");
         DesktopRuntime(p, L"", L"9.0.0");
         DesktopRuntime(p, L"x64\\", L"8.0.11");
     }},
    {"WebView2PerMachine", L"webview2-runtime.ini", 1, false,
     [](PrefixChanges& p) {
         p.SetString(HKEY_LOCAL_MACHINE, kOwnView, kWebView2Client, L"pv", L"131.0.2903.112");
     },
     [](PrefixChanges& p) {
         p.SetString(HKEY_LOCAL_MACHINE, kOwnView, kWebView2Client, L"pv", L"0.0.0.0");
     }},
    {"WebView2PerUser", L"webview2-runtime.ini", 1, false,
     [](PrefixChanges& p) {
         p.SetString(HKEY_CURRENT_USER, kOwnView, kWebView2Client, L"pv", L"131.0.2903.112");
     },
     [](PrefixChanges& p) {
         p.SetString(HKEY_CURRENT_USER, kOwnView, kWebView2Client, L"pv", L"");
     }},
    {"OwnMsiProduct", L"own-msi-product.ini", 1, true,
     [](PrefixChanges& p) {
         p.InstallMsi(PathFromEnvironment("RECIPE_AGENT_MSI"),
                      L"{3E7C9107-FED8-4868-A04E-45213942913D}");
     },
     nullptr},
    {"OwnMsixPackage", L"own-msix-package.ini", 1, true,
     [](PrefixChanges& p) { p.SetPackages({kContosoTool + L"9|1.2.3.0"}); },
     // The x86 package does not count, the x64 one is too old.
     [](PrefixChanges& p) {
         p.SetPackages({kContosoTool + L"0|1.3.0.0", kContosoTool + L"9|1.2.2.0"});
     }},
};

void PrintTo(const Recipe& recipe, std::ostream* out) {
    *out << recipe.name;
}

// The recipe as a decision-only configuration: its general Options emptied.
std::wstring DecisionOnly(const std::wstring& recipe) {
    std::wstring text;
    std::wstring section;
    int replaced = 0;
    for (const std::wstring& line : SplitLines(recipe)) {
        if (!line.empty() && line.front() == L'[') section = line;
        const bool options = section == L"[GeneralOptions]" && line.rfind(L"Options=", 0) == 0;
        replaced += options ? 1 : 0;
        text += (options ? std::wstring(L"Options=") : line) + L"\r\n";
    }
    EXPECT_EQ(1, replaced) << "the general Options of the recipe";
    return text;
}

class RecipeRun : public ::testing::TestWithParam<Recipe> {
  protected:
    // Package searches run on Windows 10 and later only: the prefix reports
    // Windows 10 22H2 for every case, as current systems do.
    RecipeRun() {
        windows_.Delete(L"CSDVersion");
        windows_.SetDword(L"CurrentMajorVersionNumber", 10);
        windows_.SetDword(L"CurrentMinorVersionNumber", 0);
        windows_.SetString(L"CurrentVersion", L"6.3");
        windows_.SetString(L"CurrentBuildNumber", L"19045");
    }

    // The log of a decision-only run (which installs nothing and exits with
    // 0, mandatory prerequisites missing or not).
    std::wstring Decide() {
        std::wstring recipe =
            ReadUtf16(PathFromEnvironment("RECIPES_DIR") + L"\\" + GetParam().file);
        if (!recipe.empty() && recipe.front() == 0xFEFF) recipe.erase(0, 1);
        DeleteFileW(log_.c_str());
        inst_.WriteIni(IniWithLog(log_) + DecisionOnly(recipe));
        const RunResult run = inst_.RunIt();
        EXPECT_TRUE(run.finished);
        EXPECT_EQ(0u, run.exitCode);
        return ReadUtf16(log_);
    }

    RegistrySnapshot windows_{L"Software\\Microsoft\\Windows NT\\CurrentVersion",
                              {L"CurrentMajorVersionNumber", L"CurrentMinorVersionNumber",
                               L"CurrentVersion", L"CurrentBuildNumber", L"CSDVersion"}};
    FakePackageManager packages_;
    Installation inst_{L"recipe", L"recipe.exe"};
    std::wstring log_ = inst_.Dir() / L"recipe.log";
};

}  // namespace

TEST_P(RecipeRun, MissingOnTheBarePrefixAndFoundWhenPresent) {
    const Recipe& recipe = GetParam();
    const std::wstring missing =
        std::wstring(L"Search result:No acceptable version found. It must be ") +
        (recipe.fromSetupFile ? L"installed from package." : L"downloaded.");
    const std::wstring found = L"Search result:An acceptable version was found.";
    // Missing, and no prerequisite of the recipe found (an Arm64-only one
    // included).
    const auto isMissing = [&](const std::wstring& log) {
        return HasMessage(log, missing) && !HasMessage(log, found);
    };

    std::wstring log = Decide();
    EXPECT_TRUE(HasMessage(log, L"Prerequisites loaded:" + std::to_wstring(recipe.prerequisites)))
        << Narrow(log);
    EXPECT_TRUE(isMissing(log)) << "bare prefix: " << Narrow(log);
    if (recipe.nearMiss != nullptr) {
        PrefixChanges prefix(packages_);
        recipe.nearMiss(prefix);
        log = Decide();
        EXPECT_TRUE(isMissing(log)) << "near miss: " << Narrow(log);
    }
    {
        PrefixChanges prefix(packages_);
        recipe.present(prefix);
        log = Decide();
        EXPECT_TRUE(HasMessage(log, found)) << "present: " << Narrow(log);
        EXPECT_TRUE(HasMessage(log, L"No prerequisite must be installed."));
    }
    log = Decide();
    EXPECT_TRUE(isMissing(log)) << "after the removal: " << Narrow(log);
}

INSTANTIATE_TEST_SUITE_P(Recipes, RecipeRun, ::testing::ValuesIn(kRecipes),
                         [](const ::testing::TestParamInfo<Recipe>& info) {
                             return std::string(info.param.name);
                         });
