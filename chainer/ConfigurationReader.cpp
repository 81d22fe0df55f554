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

// A key whose value is copied as it is into a text field of a record. The
// tables below take 1.5 KiB less in pravel.exe than one call per key.
template <typename Record>
struct TextKey {
    const wchar_t* key;
    std::wstring Record::*field;
};

// Reads each key present in `section` into its field (`suffix` is appended
// to every key name); absent keys leave their fields as they are.
template <typename Record, size_t N>
void ReadTexts(const IniSection& section, const TextKey<Record> (&keys)[N], Record& record,
               int suffix = 0) {
    for (const TextKey<Record>& entry : keys) {
        if (suffix == 0) {
            section.ReadString(entry.key, record.*entry.field);
        } else {
            section.ReadString(Numbered(entry.key, suffix), record.*entry.field);
        }
    }
}

constexpr TextKey<GeneralOptions> kGeneralTexts[] = {
    {L"MainAppCmdLine", &GeneralOptions::mainAppCmdLine},
    {L"Options", &GeneralOptions::options},
    {L"UpdatesUrl", &GeneralOptions::updatesUrl},
    {L"ProductVersion", &GeneralOptions::productVersion},
    {L"MinWIVer", &GeneralOptions::minWiVer},
    {L"DownloadFolder", &GeneralOptions::downloadFolder},
    {L"MainAppURL", &GeneralOptions::mainAppUrl},
    {L"UwpAppxURL", &GeneralOptions::uwpAppxUrl},
    {L"LanguageList", &GeneralOptions::languageList},
    {L"Langs", &GeneralOptions::langs},
    {L"PackageCode", &GeneralOptions::packageCode},
    {L"DefaultProdCode", &GeneralOptions::defaultProdCode},
    {L"ProductCode", &GeneralOptions::productCode},
    {L"UpgradeCode", &GeneralOptions::upgradeCode},
    {L"SaveExtUIStub", &GeneralOptions::saveExtUiStub},
    {L"FileExtractFirst", &GeneralOptions::fileExtractFirst},
    {L"MsiCertData", &GeneralOptions::msiCertData},
    {L"AppxVersion", &GeneralOptions::appxVersion},
    {L"AppxPkId", &GeneralOptions::appxPkId},
};

constexpr TextKey<Prerequisite> kVersionTexts[] = {
    {L"VerMin", &Prerequisite::verMin},
    {L"VerMax", &Prerequisite::verMax},
};

constexpr TextKey<Prerequisite> kPrerequisiteTexts[] = {
    {L"CommandLine", &Prerequisite::commandLine},
    {L"BasicUiCommandLine", &Prerequisite::basicUiCommandLine},
    {L"NoUiCommandLine", &Prerequisite::noUiCommandLine},
    {L"Options", &Prerequisite::options},
    {L"MD5", &Prerequisite::md5},
    {L"SHA256", &Prerequisite::sha256},
    {L"SignerName", &Prerequisite::signerName},
    {L"SignerKey", &Prerequisite::signerKey},
    {L"Folder", &Prerequisite::folder},
    {L"RetValPropName", &Prerequisite::retValPropName},
    {L"InstallCond", &Prerequisite::installCond},
    {L"ParentPrereq", &Prerequisite::parentPrereq},
    {L"WinNTVersions", &Prerequisite::winNTVersions},
    {L"WinNT64Versions", &Prerequisite::winNT64Versions},
    {L"LanguageList", &Prerequisite::languageList},
};

// The keys of search k other than SearchType<k> and SearchString<k>.
constexpr TextKey<PrerequisiteSearch> kSearchTexts[] = {
    {L"VerMin", &PrerequisiteSearch::verMin},
    {L"VerMax", &PrerequisiteSearch::verMax},
    {L"RefContent", &PrerequisiteSearch::refContent},
    {L"SearchCmdLine", &PrerequisiteSearch::searchCmdLine},
};

constexpr TextKey<ChainerSettings> kChainerTexts[] = {
    {L"CleanupFiles", &ChainerSettings::cleanupFiles},
    {L"CleanupFolders", &ChainerSettings::cleanupFolders},
    {L"LogFile", &ChainerSettings::logFile},
    {L"CleanupScript", &ChainerSettings::cleanupScript},
};

}  // namespace

void IniDocument::ReadGeneralOptions(GeneralOptions& o) const {
    const IniSection* s = FindSection(L"GeneralOptions");
    if (s == nullptr) return;
    ReadTexts(*s, kGeneralTexts, o);
    if (s->ReadString(L"ExtractionFolder", o.extractionFolder)) {
        o.extractionFolder = NormalizeFolderPath(o.extractionFolder);
    }
    o.keepFiles = ReadKeepFiles(*s);
    o.packJars = ReadBool(*s, L"PackJars");
    o.allPlatforms = ReadBool(*s, L"AllPlatforms");
    o.is64PlatformTransf = ReadBool(*s, L"Is64PlatformTransf");
    o.extUiStub = !s->StringOrEmpty(L"ExtUIStub").empty();
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
    ReadTexts(*s, kVersionTexts, p);
    if (s->ReadString(L"SetupFile", p.location)) {
        p.locationKind = kLocationSetupFile;
    } else if (s->ReadString(L"OpenSite", p.location)) {
        p.locationKind = kLocationOpenSite;
    } else if (s->ReadString(L"Url", p.location)) {
        p.locationKind = kLocationUrl;
    } else {
        return false;
    }
    ReadTexts(*s, kPrerequisiteTexts, p);
    p.exactSize = ReadInteger(*s, L"ExactSize");
    p.op = ReadInteger(*s, L"Operator");

    for (int k = 1;; ++k) {
        const IniPair* type = s->FindKey(Numbered(L"SearchType", k));
        if (type == nullptr) break;
        PrerequisiteSearch search;
        if (!s->ReadString(Numbered(L"SearchString", k), search.searchString)) return false;
        search.type = ParseConfigInteger(type->value);
        ReadTexts(*s, kSearchTexts, search, k);
        p.searches.push_back(std::move(search));
    }
    return true;
}

bool IniDocument::ReadChainerSettings(ChainerSettings& settings) const {
    const IniSection* s = FindSection(L"PREREQ_CHAINER");
    if (s == nullptr) return false;
    ReadTexts(*s, kChainerTexts, settings);
    return true;
}

}  // namespace pravel
