// Feeds arbitrary bytes through the same path as a configuration file:
// byte-order-mark skip, UTF-16LE decoding, parsing and loading.
#include <cstddef>
#include <cstdint>

#include "chainer/ConfigFile.h"
#include "chainer/IniDocument.h"
#include "chainer/PrerequisiteSet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pravel::IniDocument document;
    document.Parse(pravel::ConfigurationText(data, size));
    pravel::PrerequisiteSet set;
    set.Load(document, [](const std::wstring& s) { return s; });
    pravel::ChainerSettings settings;
    document.ReadChainerSettings(settings);
    for (const auto& section : document.Sections()) section.FindKey(L"Options");
    return 0;
}
