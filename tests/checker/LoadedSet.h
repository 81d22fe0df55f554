// Every field the configuration loader fills, as one text: two sets loaded
// from the same file must give the same text.
#pragma once

#include <string>

#include "chainer/PrerequisiteSet.h"
#include "common/Text.h"

namespace checker_test {

inline std::wstring DescribeLoaded(const pravel::PrerequisiteSet& set) {
    using pravel::ToDecimal;
    const pravel::GeneralOptions& o = set.Options();
    std::wstring t;
    auto add = [&](const std::wstring& text) { t += text + L"|"; };
    for (const std::wstring* field :
         {&o.mainAppCmdLine,   &o.options,          &o.updatesUrl,  &o.productVersion,
          &o.minWiVer,         &o.downloadFolder,   &o.mainAppUrl,  &o.uwpAppxUrl,
          &o.languageList,     &o.extractionFolder, &o.langs,       &o.packageCode,
          &o.defaultProdCode,  &o.productCode,      &o.upgradeCode, &o.saveExtUiStub,
          &o.fileExtractFirst, &o.msiCertData,      &o.appxVersion, &o.appxPkId}) {
        add(*field);
    }
    add(ToDecimal(o.keepFiles) + ToDecimal(o.packJars) + ToDecimal(o.allPlatforms) +
        ToDecimal(o.is64PlatformTransf) + ToDecimal(o.extUiStub));
    for (const pravel::Prerequisite& p : set.Items()) {
        t += L"\n";
        for (const std::wstring* field :
             {&p.name, &p.verMin, &p.verMax, &p.location, &p.commandLine, &p.basicUiCommandLine,
              &p.noUiCommandLine, &p.options, &p.md5, &p.sha256, &p.signerName, &p.signerKey,
              &p.folder, &p.retValPropName, &p.installCond, &p.parentPrereq, &p.winNTVersions,
              &p.winNT64Versions, &p.languageList}) {
            add(*field);
        }
        add(ToDecimal(p.locationKind) + L"," + ToDecimal(p.exactSize) + L"," + ToDecimal(p.op) +
            L"," + ToDecimal(p.skipSearch) + L"," + ToDecimal(p.state));
        for (const pravel::PrerequisiteSearch& s : p.searches) {
            add(L"search " + ToDecimal(s.type));
            for (const std::wstring* field :
                 {&s.searchString, &s.verMin, &s.verMax, &s.refContent, &s.searchCmdLine}) {
                add(*field);
            }
        }
    }
    return t;
}

}  // namespace checker_test
