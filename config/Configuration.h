// Records built from the configuration file: the general options, one
// Prerequisite per "App<n>" entry with its searches, and the chainer
// settings of [PREREQ_CHAINER]. String fields are empty when their key is
// absent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pravel {

// KeepFiles values.
enum KeepFilesMode : int32_t {
    kKeepNone = 0,
    kKeepMinimum = 1,   // "minimum"
    kKeepComplete = 2,  // "complete"
    kKeepPrereqs = 5,   // "prereqs"
};

struct GeneralOptions {
    std::wstring mainAppCmdLine;    // MainAppCmdLine
    std::wstring options;           // Options: "q" silent, "b" basic UI
    std::wstring updatesUrl;        // UpdatesUrl
    std::wstring productVersion;    // ProductVersion
    std::wstring minWiVer;          // MinWIVer
    std::wstring downloadFolder;    // DownloadFolder
    std::wstring mainAppUrl;        // MainAppURL
    std::wstring uwpAppxUrl;        // UwpAppxURL
    std::wstring languageList;      // LanguageList
    std::wstring extractionFolder;  // ExtractionFolder, normalised with trailing "\"
    int32_t keepFiles = kKeepNone;  // KeepFiles
    // DownloadTimeLimit (seconds) and DownloadMinRate (bytes per second):
    // the time limit of each download; 0 (absent, or not a positive
    // number) keeps the built-in value.
    int32_t downloadTimeLimit = 0;
    int32_t downloadMinRate = 0;
    bool packJars = false;            // PackJars
    bool allPlatforms = false;        // AllPlatforms
    bool is64PlatformTransf = false;  // Is64PlatformTransf
    bool elevateOnce = false;         // ElevateOnce: administrator rights asked for once
    std::wstring langs;               // Langs
    std::wstring packageCode;         // PackageCode
    std::wstring defaultProdCode;     // DefaultProdCode
    std::wstring productCode;         // ProductCode
    std::wstring upgradeCode;         // UpgradeCode
    bool extUiStub = false;           // ExtUIStub: present with a non-empty value
    std::wstring saveExtUiStub;       // SaveExtUIStub
    std::wstring fileExtractFirst;    // FileExtractFirst
    std::wstring msiCertData;         // MsiCertData
    std::wstring appxVersion;         // AppxVersion
    std::wstring appxPkId;            // AppxPkId
};

struct PrerequisiteSearch {
    int32_t type = 0;            // SearchType<k>
    std::wstring searchString;   // SearchString<k>
    std::wstring verMin;         // VerMin<k>
    std::wstring verMax;         // VerMax<k>
    std::wstring refContent;     // RefContent<k>
    std::wstring searchCmdLine;  // SearchCmdLine<k>
};

// What one search found (one per search actually run).
struct SearchResult {
    std::vector<std::wstring> foundValues;
    std::wstring value;
    bool found = false;
};

// Where a prerequisite comes from (the key that supplied its location).
enum LocationKind : int32_t {
    kLocationSetupFile = 0,  // SetupFile: a file delivered with the program
    kLocationUrl = 1,        // Url: to be downloaded
    kLocationOpenSite = 2,   // OpenSite: a web page the user must visit
};

// Decision states of a prerequisite.
enum PrereqState : int32_t {
    kStatePresent = 0,
    kStateInstallFromPackage = 1,
    kStateDownload = 2,
    kStateOpenSite = 3,
    kStateUnsupported = 4,
    kStateAvailableLocally = 5,
    kStateNotFound = 6,
    kStateNotSelected = 7,
    kStateUndefined = 8,
};

struct Prerequisite {
    std::wstring name;
    std::wstring verMin;
    std::wstring verMax;
    std::wstring location;
    int32_t locationKind = kLocationSetupFile;
    std::wstring commandLine;         // CommandLine
    std::wstring basicUiCommandLine;  // BasicUiCommandLine
    std::wstring noUiCommandLine;     // NoUiCommandLine
    std::wstring options;             // Options
    std::wstring md5;                 // MD5
    std::wstring sha256;              // SHA256: 64 hexadecimal digits, empty when absent
    std::wstring signerName;          // SignerName: the publisher whose signature is accepted
    std::wstring signerKey;           // SignerKey: SHA-256 of the publisher's public key
    int32_t exactSize = 0;            // ExactSize
    std::wstring folder;              // Folder
    std::wstring retValPropName;      // RetValPropName
    std::wstring installCond;         // InstallCond
    std::wstring parentPrereq;        // ParentPrereq
    int32_t op = 0;                   // Operator
    std::vector<PrerequisiteSearch> searches;
    std::wstring winNTVersions;    // WinNTVersions
    std::wstring winNT64Versions;  // WinNT64Versions
    std::wstring languageList;     // LanguageList, ends with ";" when not empty
    std::vector<SearchResult> searchResults;
    int32_t state = kStateUndefined;
    int32_t firstState = kStateUndefined;
    uint8_t availableLocally = 0;
    uint8_t selected = 0;
    int32_t restoredValue = 0;
    uint8_t restoredMark = 0;
    uint8_t skipSearch = 0;  // 1 when Options contains "i"
};

struct ChainerSettings {
    std::wstring cleanupFiles;    // CleanupFiles, items separated by U+0001
    std::wstring cleanupFolders;  // CleanupFolders
    std::wstring logFile;         // LogFile
    std::wstring cleanupScript;   // CleanupScript
};

}  // namespace pravel
