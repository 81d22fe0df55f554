#include "chainer/SystemSearchRunner.h"

#include "chainer/PrerequisiteSet.h"
#include "common/ProcessLaunch.h"
#include "common/Text.h"
#include "detect/FileSearch.h"
#include "detect/MsiSearch.h"
#include "detect/OsNames.h"
#include "detect/ReferenceExpansion.h"
#include "detect/RegistryAccess.h"
#include "detect/SearchReport.h"
#include "diag/Logger.h"
#include "launch/PackageFinder.h"

namespace pravel {

namespace {

bool OpenKeyPath(const std::wstring& text, bool use64, RegistryView view, UniqueHKey& key) {
    RegistryPath path;
    return ParseRegistryKeyPath(text, path) && OpenRegistryKey(path, KEY_READ, use64, view, key);
}

// Opens the key of a value path; `name` receives the value name.
bool OpenValuePath(const std::wstring& text, bool use64, UniqueHKey& key, std::wstring& name) {
    RegistryPath path;
    if (!ParseRegistryValuePath(text, path) ||
        !OpenRegistryKey(path, KEY_READ, use64, RegistryView::k64IfChosen, key)) {
        return false;
    }
    name = path.valueName;
    return true;
}

bool ValueExists(const std::wstring& text, bool use64) {
    UniqueHKey key;
    std::wstring name;
    return OpenValuePath(text, use64, key, name) &&
           ::RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS;
}

bool RunPayloadProgram(const PrerequisiteSet& set, const PrerequisiteSearch& search) {
    const std::wstring program = set.PayloadPath(search.searchString);
    if (program.empty()) return false;  // no payload: the start fails
    uint32_t exitCode = 1;
    bool noProcess = false;  // no exit code to go by: not found
    return ShellExecuteAndWait(program, ExpandReferences(search.searchCmdLine, false),
                               std::wstring(), search.refContent == L"WND_HIDE", &exitCode,
                               &noProcess) &&
           !noProcess && exitCode == 0;
}

void FindPackage(const std::wstring& searchString, std::vector<std::wstring>& values) {
    if (!IsWindows10OrLater()) return;
    std::vector<std::wstring> fields = Split(searchString, L"?");
    fields.resize(3);
    values = CurrentPackageFinder().FindVersions(fields[0], fields[1], fields[2]);
}

}  // namespace

bool SystemSearchRunner::Run(const PrerequisiteSearch& search, bool use64, SearchResult& result) {
    const std::wstring& target = search.searchString;
    auto& values = result.foundValues;
    switch (search.type) {
        case kSearchFile:
            values = FindFileVersion(target, use64, &result.value);  // the file read, for the log
            return false;
        case kSearchSubkeyNames: {
            UniqueHKey key;
            if (OpenKeyPath(target, use64, RegistryView::k64IfChosen, key)) {
                values = EnumerateSubkeys(key.Get());
            }
            return false;
        }
        case kSearchRegistryValue: {
            UniqueHKey key;
            std::wstring name;
            std::wstring text;
            if (OpenValuePath(target, use64, key, name) && ReadValueRaw(key.Get(), name, text)) {
                values.push_back(text);
            }
            return false;
        }
        case kSearchMsiProduct: {
            std::wstring version;
            if (MsiProductVersion(target, version)) values.push_back(version);
            return false;
        }
        case kSearchMsiUpgradeCode:
            values = MsiRelatedProductVersions(target);
            return false;
        case kSearchKeyExists:
        case kSearchKeyMissing: {
            UniqueHKey key;
            const bool opened = OpenKeyPath(target, use64, RegistryView::k64IfChosen, key);
            return search.type == kSearchKeyExists ? opened : !opened;
        }
        case kSearchValueExists:
            return ValueExists(target, use64);
        case kSearchValueMissing:
            return !ValueExists(target, use64);
        case kSearchValueCompare: {
            UniqueHKey key;
            std::wstring name;
            if (!OpenValuePath(target, use64, key, name) ||
                !ReadValueTyped(key.Get(), name, result.value)) {
                return false;
            }
            values.push_back(result.value);  // what was compared, for the log
            return CompareWithReference(result.value, search.refContent);
        }
        case kSearchRunProgram:
            return RunPayloadProgram(set_, search);
        case kSearchMsiComponent:
            return MsiComponentInstalled(target);
        case kSearchValueNames: {
            UniqueHKey key;
            std::vector<std::wstring> names;
            if (OpenKeyPath(target, use64, RegistryView::k64WhenChosen, key) &&
                EnumerateValueNames(key.Get(), names)) {
                values = names;
            }
            return false;
        }
        case kSearchPackage:
            FindPackage(target, values);
            return false;
        case kSearchSubfolderNames:
            values = ListSubfolders(ExpandReferences(target, use64), use64);
            return false;
        default:
            return true;
    }
}

void SystemSearchRunner::Decided(size_t number, const PrerequisiteSearch& search,
                                 const SearchResult& result) {
    if (logEnabled) Log(DescribeSearch(number, search, result));
}

}  // namespace pravel
