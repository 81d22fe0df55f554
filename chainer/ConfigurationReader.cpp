// The IniDocument readers that turn sections into configuration records.
#include "chainer/Configuration.h"
#include "chainer/IniDocument.h"
#include "common/IntegerRule.h"
#include "common/Text.h"

namespace pravel {

namespace {

bool ReadBool(const IniSection& section, const wchar_t* key) {
    const IniPair* pair = section.FindKey(key);
    return pair != nullptr && EqualsIgnoreCaseAscii(pair->value, L"true");
}

int32_t ReadKeepFiles(const IniSection& section) {
    const IniPair* pair = section.FindKey(L"KeepFiles");
    if (pair == nullptr) return kKeepNone;
    if (pair->value == L"complete") return kKeepComplete;
    if (pair->value == L"minimum") return kKeepMinimum;
    if (pair->value == L"prereqs") return kKeepPrereqs;
    return kKeepNone;
}

int32_t ReadInteger(const IniSection& section, const std::wstring& key) {
    const IniPair* pair = section.FindKey(key);
    return pair == nullptr ? 0 : ParseConfigInteger(pair->value);
}

std::wstring Numbered(const wchar_t* key, int n) {
    return key + ToDecimal(n);
}

}  // namespace

void IniDocument::ReadGeneralOptions(GeneralOptions& o) const {
    const IniSection* s = FindSection(L"GeneralOptions");
    if (s == nullptr) return;
    s->ReadString(L"MainAppCmdLine", o.mainAppCmdLine);
    s->ReadString(L"Options", o.options);
    s->ReadString(L"UpdatesUrl", o.updatesUrl);
    s->ReadString(L"ProductVersion", o.productVersion);
    s->ReadString(L"MinWIVer", o.minWiVer);
    s->ReadString(L"DownloadFolder", o.downloadFolder);
    s->ReadString(L"MainAppURL", o.mainAppUrl);
    s->ReadString(L"UwpAppxURL", o.uwpAppxUrl);
    s->ReadString(L"LanguageList", o.languageList);
    if (s->ReadString(L"ExtractionFolder", o.extractionFolder)) {
        o.extractionFolder = NormalizeFolderPath(o.extractionFolder);
    }
    o.keepFiles = ReadKeepFiles(*s);
    o.packJars = ReadBool(*s, L"PackJars");
    o.allPlatforms = ReadBool(*s, L"AllPlatforms");
    o.is64PlatformTransf = ReadBool(*s, L"Is64PlatformTransf");
    s->ReadString(L"Langs", o.langs);
    s->ReadString(L"PackageCode", o.packageCode);
    s->ReadString(L"DefaultProdCode", o.defaultProdCode);
    s->ReadString(L"ProductCode", o.productCode);
    s->ReadString(L"UpgradeCode", o.upgradeCode);
    o.extUiStub = !s->StringOrEmpty(L"ExtUIStub").empty();
    s->ReadString(L"SaveExtUIStub", o.saveExtUiStub);
    s->ReadString(L"FileExtractFirst", o.fileExtractFirst);
    s->ReadString(L"MsiCertData", o.msiCertData);
    s->ReadString(L"AppxVersion", o.appxVersion);
    s->ReadString(L"AppxPkId", o.appxPkId);
}

bool IniDocument::ReadPrerequisite(int n, Prerequisite& p) const {
    const IniSection* list = FindSection(L"PREREQUISITES");
    if (list == nullptr) return false;
    const std::wstring appKey = Numbered(L"App", n);
    const IniPair* entry = list->FindKey(appKey);
    if (entry == nullptr) return false;
    const IniSection* s = FindSection(appKey);
    if (s == nullptr) return false;

    p.name = entry->value;
    s->ReadString(L"VerMin", p.verMin);
    s->ReadString(L"VerMax", p.verMax);
    if (s->ReadString(L"SetupFile", p.location)) {
        p.locationKind = kLocationSetupFile;
    } else if (s->ReadString(L"OpenSite", p.location)) {
        p.locationKind = kLocationOpenSite;
    } else if (s->ReadString(L"Url", p.location)) {
        p.locationKind = kLocationUrl;
    } else {
        return false;
    }
    s->ReadString(L"CommandLine", p.commandLine);
    s->ReadString(L"BasicUiCommandLine", p.basicUiCommandLine);
    s->ReadString(L"NoUiCommandLine", p.noUiCommandLine);
    s->ReadString(L"Options", p.options);
    s->ReadString(L"MD5", p.md5);
    s->ReadString(L"SHA256", p.sha256);
    p.exactSize = ReadInteger(*s, L"ExactSize");
    s->ReadString(L"Folder", p.folder);
    s->ReadString(L"RetValPropName", p.retValPropName);
    s->ReadString(L"InstallCond", p.installCond);
    s->ReadString(L"ParentPrereq", p.parentPrereq);
    p.op = ReadInteger(*s, L"Operator");

    for (int k = 1;; ++k) {
        const IniPair* type = s->FindKey(Numbered(L"SearchType", k));
        if (type == nullptr) break;
        PrerequisiteSearch search;
        if (!s->ReadString(Numbered(L"SearchString", k), search.searchString)) return false;
        search.type = ParseConfigInteger(type->value);
        s->ReadString(Numbered(L"VerMin", k), search.verMin);
        s->ReadString(Numbered(L"VerMax", k), search.verMax);
        s->ReadString(Numbered(L"RefContent", k), search.refContent);
        s->ReadString(Numbered(L"SearchCmdLine", k), search.searchCmdLine);
        p.searches.push_back(std::move(search));
    }

    s->ReadString(L"WinNTVersions", p.winNTVersions);
    s->ReadString(L"WinNT64Versions", p.winNT64Versions);
    s->ReadString(L"LanguageList", p.languageList);
    return true;
}

bool IniDocument::ReadChainerSettings(ChainerSettings& settings) const {
    const IniSection* s = FindSection(L"PREREQ_CHAINER");
    if (s == nullptr) return false;
    s->ReadString(L"CleanupFiles", settings.cleanupFiles);
    s->ReadString(L"CleanupFolders", settings.cleanupFolders);
    s->ReadString(L"LogFile", settings.logFile);
    s->ReadString(L"CleanupScript", settings.cleanupScript);
    return true;
}

}  // namespace pravel
