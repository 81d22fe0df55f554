// The IniDocument readers that turn sections into configuration records.
#include "common/IntegerRule.h"
#include "common/Text.h"
#include "config/Configuration.h"
#include "config/IniDocument.h"

namespace pravel {

namespace {

bool ReadBool(const IniSection& section, const char* key) {
    const IniPair* pair = section.FindKey(key);
    return pair != nullptr && EqualsIgnoreCaseAscii(pair->value, "true");
}

int32_t ReadKeepFiles(const IniSection& section) {
    const IniPair* pair = section.FindKey("KeepFiles");
    if (pair == nullptr) return kKeepNone;
    if (EqualsAscii(pair->value, "complete")) return kKeepComplete;
    if (EqualsAscii(pair->value, "minimum")) return kKeepMinimum;
    if (EqualsAscii(pair->value, "prereqs")) return kKeepPrereqs;
    return kKeepNone;
}

int32_t ReadInteger(const IniSection& section, const char* key) {
    const IniPair* pair = section.FindKey(key);
    return pair == nullptr ? 0 : ParseConfigInteger(pair->value);
}

std::wstring Numbered(const char* key, int n) {
    return Concat({AsciiPiece(key), ToDecimal(n)});
}

// A key whose value is copied as it is into a text field of a record. The
// tables below take 1.5 KiB less in pravel.exe than one call per key.
template <typename Record>
struct TextKey {
    const char* key;
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
    {"MainAppCmdLine", &GeneralOptions::mainAppCmdLine},
    {"Options", &GeneralOptions::options},
    {"UpdatesUrl", &GeneralOptions::updatesUrl},
    {"ProductVersion", &GeneralOptions::productVersion},
    {"MinWIVer", &GeneralOptions::minWiVer},
    {"DownloadFolder", &GeneralOptions::downloadFolder},
    {"MainAppUR", &GeneralOptions::mainAppUrl},
    {"UwpAppxUR", &GeneralOptions::uwpAppxUrl},
    {"LanguageList", &GeneralOptions::languageList},
    {"Langs", &GeneralOptions::langs},
    {"PackageCode", &GeneralOptions::packageCode},
    {"DefaultProdCode", &GeneralOptions::defaultProdCode},
    {"ProductCode", &GeneralOptions::productCode},
    {"UpgradeCode", &GeneralOptions::upgradeCode},
    {"SaveExtUIStub", &GeneralOptions::saveExtUiStub},
    {"FileExtractFirst", &GeneralOptions::fileExtractFirst},
    {"MsiCertData", &GeneralOptions::msiCertData},
    {"AppxVersion", &GeneralOptions::appxVersion},
    {"AppxPkId", &GeneralOptions::appxPkId},
};

constexpr TextKey<Prerequisite> kVersionTexts[] = {
    {"VerMin", &Prerequisite::verMin},
    {"VerMax", &Prerequisite::verMax},
};

constexpr TextKey<Prerequisite> kPrerequisiteTexts[] = {
    {"CommandLine", &Prerequisite::commandLine},
    {"BasicUiCommandLine", &Prerequisite::basicUiCommandLine},
    {"NoUiCommandLine", &Prerequisite::noUiCommandLine},
    {"Options", &Prerequisite::options},
    {"MD5", &Prerequisite::md5},
    {"SHA256", &Prerequisite::sha256},
    {"SignerName", &Prerequisite::signerName},
    {"SignerKey", &Prerequisite::signerKey},
    {"Folder", &Prerequisite::folder},
    {"RetValPropName", &Prerequisite::retValPropName},
    {"InstallCond", &Prerequisite::installCond},
    {"ParentPrereq", &Prerequisite::parentPrereq},
    {"WinNTVersions", &Prerequisite::winNTVersions},
    {"WinNT64Versions", &Prerequisite::winNT64Versions},
    {"LanguageList", &Prerequisite::languageList},
};

// The keys of search k other than SearchType<k> and SearchString<k>.
constexpr TextKey<PrerequisiteSearch> kSearchTexts[] = {
    {"VerMin", &PrerequisiteSearch::verMin},
    {"VerMax", &PrerequisiteSearch::verMax},
    {"RefContent", &PrerequisiteSearch::refContent},
    {"SearchCmdLine", &PrerequisiteSearch::searchCmdLine},
};

constexpr TextKey<ChainerSettings> kChainerTexts[] = {
    {"CleanupFiles", &ChainerSettings::cleanupFiles},
    {"CleanupFolders", &ChainerSettings::cleanupFolders},
    {"LogFile", &ChainerSettings::logFile},
    {"CleanupScript", &ChainerSettings::cleanupScript},
};

}  // namespace

void IniDocument::ReadGeneralOptions(GeneralOptions& o) const {
    const IniSection* s = FindSection("GeneralOptions");
    if (s == nullptr) return;
    ReadTexts(*s, kGeneralTexts, o);
    if (s->ReadString("ExtractionFolder", o.extractionFolder)) {
        o.extractionFolder = NormalizeFolderPath(o.extractionFolder);
    }
    o.keepFiles = ReadKeepFiles(*s);
    o.downloadTimeLimit = ReadInteger(*s, "DownloadTimeLimit");
    o.downloadMinRate = ReadInteger(*s, "DownloadMinRate");
    o.packJars = ReadBool(*s, "PackJars");
    o.allPlatforms = ReadBool(*s, "AllPlatforms");
    o.is64PlatformTransf = ReadBool(*s, "Is64PlatformTransf");
    o.elevateOnce = ReadBool(*s, "ElevateOnce");
    o.extUiStub = !s->StringOrEmpty("ExtUIStub").empty();
}

bool IniDocument::ReadPrerequisite(int n, Prerequisite& p) const {
    const IniSection* list = FindSection("PREREQUISITES");
    if (list == nullptr) return false;
    const std::wstring appKey = Numbered("App", n);
    const IniPair* entry = list->FindKey(appKey);
    if (entry == nullptr) return false;
    const IniSection* s = FindSection(appKey);
    if (s == nullptr) return false;

    p.name = entry->value;
    ReadTexts(*s, kVersionTexts, p);
    if (s->ReadString("SetupFile", p.location)) {
        p.locationKind = kLocationSetupFile;
    } else if (s->ReadString("OpenSite", p.location)) {
        p.locationKind = kLocationOpenSite;
    } else if (s->ReadString("Url", p.location)) {
        p.locationKind = kLocationUrl;
    } else {
        return false;
    }
    ReadTexts(*s, kPrerequisiteTexts, p);
    p.exactSize = ReadInteger(*s, "ExactSize");
    p.op = ReadInteger(*s, "Operator");

    for (int k = 1;; ++k) {
        const IniPair* type = s->FindKey(Numbered("SearchType", k));
        if (type == nullptr) break;
        PrerequisiteSearch search;
        if (!s->ReadString(Numbered("SearchString", k), search.searchString)) return false;
        search.type = ParseConfigInteger(type->value);
        ReadTexts(*s, kSearchTexts, search, k);
        p.searches.push_back(std::move(search));
    }
    return true;
}

bool IniDocument::ReadChainerSettings(ChainerSettings& settings) const {
    const IniSection* s = FindSection("PREREQ_CHAINER");
    if (s == nullptr) return false;
    ReadTexts(*s, kChainerTexts, settings);
    return true;
}

}  // namespace pravel
