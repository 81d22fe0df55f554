// Feeds arbitrary bytes through the same path as a configuration file:
// byte-order-mark skip, UTF-16LE decoding, parsing and loading; the window
// texts for a language name taken from the input: every text taken that is
// formatted fills exactly the places of the built-in text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "chainer/PrerequisiteSet.h"
#include "config/ConfigFile.h"
#include "config/IniDocument.h"
#include "ui/LanguageTags.h"
#include "ui/TextTemplate.h"
#include "ui/WindowTexts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pravel::IniDocument document;
    document.Parse(pravel::ConfigurationText(data, size));
    pravel::PrerequisiteSet set;
    set.Load(document, [](const std::wstring& s) { return s; });
    pravel::ChainerSettings settings;
    document.ReadChainerSettings(settings);
    for (const auto& section : document.Sections()) section.FindKey(L"Options");

    pravel::WindowTexts texts;
    // One of the names Windows knows (there are about 420).
    const size_t pick = size >= 4 ? static_cast<size_t>(data[2] | data[3] << 8) % 420 : 0;
    texts.Load(document, {pravel::KnownLanguageName(pick)});
    for (uint8_t k = 0; k < pravel::kTextKeyCount; ++k) {
        const std::wstring* text = texts.Find(static_cast<pravel::TextKey>(k));
        const uint8_t places = pravel::kTextKeys[k].placeholders;
        if (text == nullptr || places == 0 || places == pravel::kTextValue ||
            places == pravel::kTextSwitch) {
            continue;
        }
        // A control character as the value: an accepted text holds none.
        const std::wstring filled = pravel::FormatTemplate(*text, {L"\x01", L"\x01", L"\x01"});
        size_t count = 0;
        for (wchar_t c : filled) count += c == 1 ? 1 : 0;
        if (count != places) std::abort();
    }
    return 0;
}
