#include "ui/LanguageTags.h"

#include <algorithm>

#include "common/Text.h"

namespace pravel {

namespace {

// Windows' language identifiers in ascending order and their names in the
// same order, each ended by "\0" (as LCIDToLocaleName names them; 1034, the
// traditional sort of Spanish, is es-ES, and 2074 and 3098 keep the names of
// Serbia and Montenegro).
const uint16_t kIds[] = {
    0x0001, 0x0002, 0x0003, 0x0004, 0x0005, 0x0006, 0x0007, 0x0008, 0x0009, 0x000A, 0x000B, 0x000C,
    0x000D, 0x000E, 0x000F, 0x0010, 0x0011, 0x0012, 0x0013, 0x0014, 0x0015, 0x0016, 0x0017, 0x0018,
    0x0019, 0x001A, 0x001B, 0x001C, 0x001D, 0x001E, 0x001F, 0x0020, 0x0021, 0x0022, 0x0023, 0x0024,
    0x0025, 0x0026, 0x0027, 0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F, 0x0030,
    0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B, 0x003C,
    0x003D, 0x003E, 0x003F, 0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047, 0x0048,
    0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F, 0x0050, 0x0051, 0x0052, 0x0053, 0x0054,
    0x0055, 0x0056, 0x0057, 0x0058, 0x0059, 0x005A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F, 0x0060,
    0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067, 0x0068, 0x006A, 0x006B, 0x006C, 0x006D,
    0x006E, 0x006F, 0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077, 0x0078, 0x007A,
    0x007C, 0x007E, 0x0080, 0x0081, 0x0082, 0x0083, 0x0084, 0x0085, 0x0086, 0x0087, 0x0088, 0x008C,
    0x0091, 0x0092, 0x0401, 0x0402, 0x0403, 0x0404, 0x0405, 0x0406, 0x0407, 0x0408, 0x0409, 0x040A,
    0x040B, 0x040C, 0x040D, 0x040E, 0x040F, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416,
    0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422,
    0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E,
    0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A,
    0x043B, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, 0x0450, 0x0451, 0x0452, 0x0453,
    0x0454, 0x0455, 0x0456, 0x0457, 0x0458, 0x0459, 0x045A, 0x045B, 0x045C, 0x045D, 0x045E, 0x0460,
    0x0461, 0x0462, 0x0463, 0x0464, 0x0465, 0x0466, 0x0467, 0x0468, 0x046A, 0x046B, 0x046C, 0x046D,
    0x046E, 0x046F, 0x0470, 0x0471, 0x0472, 0x0473, 0x0474, 0x0475, 0x0476, 0x0477, 0x0478, 0x047A,
    0x047C, 0x047E, 0x0480, 0x0481, 0x0482, 0x0483, 0x0484, 0x0485, 0x0486, 0x0487, 0x0488, 0x048C,
    0x0491, 0x0492, 0x0801, 0x0803, 0x0804, 0x0807, 0x0809, 0x080A, 0x080C, 0x0810, 0x0813, 0x0814,
    0x0816, 0x0818, 0x0819, 0x081A, 0x081D, 0x0820, 0x082C, 0x082E, 0x0832, 0x083B, 0x083C, 0x083E,
    0x0843, 0x0845, 0x0846, 0x0849, 0x0850, 0x0859, 0x085D, 0x085F, 0x0860, 0x0861, 0x0867, 0x086B,
    0x0873, 0x0C01, 0x0C04, 0x0C07, 0x0C09, 0x0C0A, 0x0C0C, 0x0C1A, 0x0C3B, 0x0C50, 0x0C51, 0x0C6B,
    0x1001, 0x1004, 0x1007, 0x1009, 0x100A, 0x100C, 0x101A, 0x103B, 0x1401, 0x1404, 0x1407, 0x1409,
    0x140A, 0x140C, 0x141A, 0x143B, 0x1801, 0x1809, 0x180A, 0x180C, 0x181A, 0x183B, 0x1C01, 0x1C09,
    0x1C0A, 0x1C0C, 0x1C1A, 0x1C3B, 0x2001, 0x2009, 0x200A, 0x200C, 0x201A, 0x203B, 0x2401, 0x2409,
    0x240A, 0x240C, 0x241A, 0x243B, 0x2801, 0x2809, 0x280A, 0x280C, 0x281A, 0x2C01, 0x2C09, 0x2C0A,
    0x2C0C, 0x2C1A, 0x3001, 0x3009, 0x300A, 0x300C, 0x301A, 0x3401, 0x3409, 0x340A, 0x340C, 0x3801,
    0x3809, 0x380A, 0x380C, 0x3C01, 0x3C09, 0x3C0A, 0x3C0C, 0x4001, 0x4009, 0x400A, 0x4409, 0x440A,
    0x4809, 0x480A, 0x4C09, 0x4C0A, 0x500A, 0x540A, 0x580A, 0x5C0A, 0x641A, 0x681A, 0x6C1A, 0x701A,
    0x703B, 0x742C, 0x743B, 0x7804, 0x7814, 0x781A, 0x782C, 0x783B, 0x7843, 0x7850, 0x785D, 0x7C04,
    0x7C14, 0x7C1A, 0x7C28, 0x7C2E, 0x7C3B, 0x7C43, 0x7C46, 0x7C50, 0x7C59, 0x7C5C, 0x7C5D, 0x7C5F,
    0x7C67, 0x7C68, 0x7C86, 0x7C92,
};
const char kNames[] =
    "ar\0bg\0ca\0zh-Hans\0cs\0da\0de\0el\0en\0es\0fi\0fr\0he\0hu\0is\0it\0ja\0ko\0nl\0no\0pl\0pt\0"
    "rm\0ro\0ru\0hr\0sk\0sq\0sv\0th\0tr\0ur\0id\0uk\0be\0sl\0et\0lv\0lt\0tg\0fa\0vi\0hy\0az\0eu\0"
    "hsb\0mk\0st\0ts\0tn\0ve\0xh\0zu\0af\0ka\0fo\0hi\0mt\0se\0ga\0yi\0ms\0kk\0ky\0sw\0tk\0uz\0tt\0"
    "bn\0pa\0gu\0or\0ta\0te\0kn\0ml\0as\0mr\0sa\0mn\0bo\0cy\0km\0lo\0my\0gl\0kok\0mni\0sd\0syr\0"
    "si\0chr\0iu\0am\0tzm\0ks\0ne\0fy\0ps\0fil\0dv\0bin\0ff\0ha\0yo\0quz\0nso\0ba\0lb\0kl\0ig\0kr\0"
    "om\0ti\0gn\0haw\0la\0so\0ii\0arn\0moh\0br\0ug\0mi\0oc\0co\0gsw\0sah\0quc\0rw\0wo\0prs\0gd\0"
    "ku\0ar-SA\0bg-BG\0ca-ES\0zh-TW\0cs-CZ\0da-DK\0de-DE\0el-GR\0en-US\0es-ES\0fi-FI\0fr-FR\0"
    "he-IL\0hu-HU\0is-IS\0it-IT\0ja-JP\0ko-KR\0nl-NL\0nb-NO\0pl-PL\0pt-BR\0rm-CH\0ro-RO\0ru-RU\0"
    "hr-HR\0sk-SK\0sq-AL\0sv-SE\0th-TH\0tr-TR\0ur-PK\0id-ID\0uk-UA\0be-BY\0sl-SI\0et-EE\0lv-LV\0"
    "lt-LT\0tg-Cyrl-TJ\0fa-IR\0vi-VN\0hy-AM\0az-Latn-AZ\0eu-ES\0hsb-DE\0mk-MK\0st-ZA\0ts-ZA\0"
    "tn-ZA\0ve-ZA\0xh-ZA\0zu-ZA\0af-ZA\0ka-GE\0fo-FO\0hi-IN\0mt-MT\0se-NO\0yi-001\0ms-MY\0kk-KZ\0"
    "ky-KG\0sw-KE\0tk-TM\0uz-Latn-UZ\0tt-RU\0bn-IN\0pa-IN\0gu-IN\0or-IN\0ta-IN\0te-IN\0kn-IN\0"
    "ml-IN\0as-IN\0mr-IN\0sa-IN\0mn-MN\0bo-CN\0cy-GB\0km-KH\0lo-LA\0my-MM\0gl-ES\0kok-IN\0mni-IN\0"
    "sd-Deva-IN\0syr-SY\0si-LK\0chr-Cher-US\0iu-Cans-CA\0am-ET\0ks-Arab\0ne-NP\0fy-NL\0ps-AF\0"
    "fil-PH\0dv-MV\0bin-NG\0ff-Latn-NG\0ha-Latn-NG\0yo-NG\0quz-BO\0nso-ZA\0ba-RU\0lb-LU\0kl-GL\0"
    "ig-NG\0kr-Latn-NG\0om-ET\0ti-ET\0gn-PY\0haw-US\0la-VA\0so-SO\0ii-CN\0arn-CL\0moh-CA\0br-FR\0"
    "ug-CN\0mi-NZ\0oc-FR\0co-FR\0gsw-FR\0sah-RU\0quc-Latn-GT\0rw-RW\0wo-SN\0prs-AF\0gd-GB\0"
    "ku-Arab-IQ\0ar-IQ\0ca-ES-valencia\0zh-CN\0de-CH\0en-GB\0es-MX\0fr-BE\0it-CH\0nl-BE\0nn-NO\0"
    "pt-PT\0ro-MD\0ru-MD\0sr-Latn-CS\0sv-FI\0ur-IN\0az-Cyrl-AZ\0dsb-DE\0tn-BW\0se-SE\0ga-IE\0"
    "ms-BN\0uz-Cyrl-UZ\0bn-BD\0pa-Arab-PK\0ta-LK\0mn-Mong-CN\0sd-Arab-PK\0iu-Latn-CA\0tzm-Latn-DZ\0"
    "ks-Deva-IN\0ne-IN\0ff-Latn-SN\0quz-EC\0ti-ER\0ar-EG\0zh-HK\0de-AT\0en-AU\0es-ES\0fr-CA\0"
    "sr-Cyrl-CS\0se-FI\0mn-Mong-MN\0dz-BT\0quz-PE\0ar-LY\0zh-SG\0de-LU\0en-CA\0es-GT\0fr-CH\0"
    "hr-BA\0smj-NO\0ar-DZ\0zh-MO\0de-LI\0en-NZ\0es-CR\0fr-LU\0bs-Latn-BA\0smj-SE\0ar-MA\0en-IE\0"
    "es-PA\0fr-MC\0sr-Latn-BA\0sma-NO\0ar-TN\0en-ZA\0es-DO\0fr-029\0sr-Cyrl-BA\0sma-SE\0ar-OM\0"
    "en-JM\0es-VE\0fr-RE\0bs-Cyrl-BA\0sms-FI\0ar-YE\0en-029\0es-CO\0fr-CD\0sr-Latn-RS\0smn-FI\0"
    "ar-SY\0en-BZ\0es-PE\0fr-SN\0sr-Cyrl-RS\0ar-JO\0en-TT\0es-AR\0fr-CM\0sr-Latn-ME\0ar-LB\0en-ZW\0"
    "es-EC\0fr-CI\0sr-Cyrl-ME\0ar-KW\0en-PH\0es-CL\0fr-ML\0ar-AE\0en-ID\0es-UY\0fr-MA\0ar-BH\0"
    "en-HK\0es-PY\0fr-HT\0ar-QA\0en-IN\0es-BO\0en-MY\0es-SV\0en-SG\0es-HN\0en-AE\0es-NI\0es-PR\0"
    "es-US\0es-419\0es-CU\0bs-Cyrl\0bs-Latn\0sr-Cyrl\0sr-Latn\0smn\0az-Cyrl\0sms\0zh\0nn\0bs\0"
    "az-Latn\0sma\0uz-Cyrl\0mn-Cyrl\0iu-Cans\0zh-Hant\0nb\0sr\0tg-Cyrl\0dsb\0smj\0uz-Latn\0"
    "pa-Arab\0mn-Mong\0sd-Arab\0chr-Cher\0iu-Latn\0tzm-Latn\0ff-Latn\0ha-Latn\0quc-Latn\0ku-Arab\0";
constexpr size_t kIdCount = sizeof(kIds) / sizeof(kIds[0]);

// The parts of a language name (views into it): variants is everything
// after the region, "-"-separated.
struct Parts {
    std::wstring_view language;
    std::wstring_view script;
    std::wstring_view region;
    std::wstring_view variants;
};

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool IsAsciiDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

wchar_t ToUpperAscii(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool AllLetters(std::wstring_view text) {
    return std::all_of(text.begin(), text.end(), IsAsciiLetter);
}

bool IsVariant(std::wstring_view text) {
    const size_t n = text.size();
    return ((n >= 5 && n <= 8) || (n == 4 && IsAsciiDigit(text[0]))) &&
           std::all_of(text.begin(), text.end(),
                       [](wchar_t c) { return IsAsciiLetter(c) || IsAsciiDigit(c); });
}

// Splits `text` into its parts; false when it is not a language name.
bool Split(std::wstring_view text, Parts& parts) {
    parts = Parts{};
    int next = 0;  // 0 language, 1 script, 2 region, 3 variants
    for (size_t start = 0;;) {
        const size_t end = std::min(text.find(L'-', start), text.size());
        const std::wstring_view part = text.substr(start, end - start);
        const size_t n = part.size();
        if (next == 0) {
            if (n < 2 || n > 3 || !AllLetters(part)) return false;
            parts.language = part;
            next = 1;
        } else if (next == 1 && n == 4 && AllLetters(part)) {
            parts.script = part;
            next = 2;
        } else if (next <= 2 && ((n == 2 && AllLetters(part)) ||
                                 (n == 3 && IsAsciiDigit(part[0]) && IsAsciiDigit(part[1]) &&
                                  IsAsciiDigit(part[2])))) {
            parts.region = part;
            next = 3;
        } else if (IsVariant(part)) {
            if (parts.variants.empty()) parts.variants = text.substr(start);
            next = 3;
        } else {
            return false;
        }
        if (end == text.size()) return true;
        start = end + 1;
    }
}

// The script Chinese of region `region` is written in ("Hant" for Taiwan,
// Hong Kong and Macao, "Hans" for every other region and none).
std::wstring_view ChineseScript(std::wstring_view region) {
    return region == L"TW" || region == L"HK" || region == L"MO" ? L"Hant" : L"Hans";
}

// Serbian and Bosnian are written in Latin and in Cyrillic alike.
bool HasTwoScripts(std::wstring_view language) {
    return language == L"sr" || language == L"bs";
}

// The parent of canonical name `name` (see the header); empty when it has
// none. Mostly the name without its last part.
std::wstring Parent(const std::wstring& name) {
    Parts p;
    if (!Split(name, p)) return std::wstring();
    if (!p.variants.empty()) return name.substr(0, name.rfind(L'-'));
    if (!p.region.empty()) {
        if (p.language == L"zh" && p.script.empty()) {
            static const wchar_t* const kChinese[][2] = {
                {L"zh-MO", L"zh-HK"}, {L"zh-HK", L"zh-TW"}, {L"zh-SG", L"zh-CN"}};
            for (const auto& step : kChinese) {
                if (name == step[0]) return step[1];
            }
            return L"zh-" + std::wstring(ChineseScript(p.region));
        }
        return name.substr(0, name.size() - p.region.size() - 1);
    }
    if (p.script.empty()) return std::wstring();
    if (p.language == L"zh") return p.script == L"Hans" ? L"zh" : L"";  // zh is Simplified
    return HasTwoScripts(p.language) ? std::wstring() : std::wstring(p.language);
}

// The script of a name for SameLanguage: its own, the one Chinese of its
// region is written in, "?" for Serbian and Bosnian without one (either),
// else empty (the language's usual one).
std::wstring_view ScriptOf(const Parts& parts) {
    if (!parts.script.empty()) return parts.script;
    if (parts.language == L"zh") return ChineseScript(parts.region);
    if (HasTwoScripts(parts.language)) return L"?";
    return {};
}

}  // namespace

std::wstring CanonicalLanguageName(std::wstring_view text) {
    Parts p;
    if (!Split(text, p)) return std::wstring();
    std::wstring name(text);
    // Lowercase but the script's first letter and the region.
    const size_t scriptAt = static_cast<size_t>(p.script.data() - text.data());
    const size_t regionAt = static_cast<size_t>(p.region.data() - text.data());
    for (size_t i = 0; i < name.size(); ++i) {
        const bool upper = (!p.script.empty() && i == scriptAt) ||
                           (!p.region.empty() && i >= regionAt && i < regionAt + p.region.size());
        name[i] = upper ? ToUpperAscii(name[i]) : ToLowerAscii(name[i]);
    }
    // zh-Hant-TW is zh-TW: the region implies the script.
    if (Split(name, p) && p.language == L"zh" && !p.region.empty() &&
        p.script == ChineseScript(p.region)) {
        name.erase(2, p.script.size() + 1);
    }
    return name;
}

std::wstring KnownLanguageName(size_t index) {
    const char* name = kNames;
    for (size_t i = 0; i < index && *name != 0; ++i)
        name += std::char_traits<char>::length(name) + 1;
    return WideFromAscii(name);
}

std::wstring LanguageNameOfId(uint16_t id) {
    const uint16_t* at = std::lower_bound(kIds, kIds + kIdCount, id);
    if (at == kIds + kIdCount || *at != id) return std::wstring();
    return KnownLanguageName(static_cast<size_t>(at - kIds));
}

std::vector<std::wstring> LanguageChain(const std::wstring& name) {
    std::vector<std::wstring> chain;
    for (std::wstring next = name; !next.empty(); next = Parent(next)) chain.push_back(next);
    return chain;
}

bool SameLanguage(const std::wstring& a, const std::wstring& b) {
    Parts first;
    Parts second;
    if (!Split(a, first) || !Split(b, second) || first.language != second.language) return false;
    const std::wstring_view one = ScriptOf(first);
    const std::wstring_view other = ScriptOf(second);
    if (one == L"?" || other == L"?") return false;
    return one.empty() || other.empty() || one == other;
}

bool ScriptIsOpen(const std::wstring& name) {
    Parts parts;
    return Split(name, parts) && ScriptOf(parts) == L"?";
}

bool IsRightToLeftName(const std::wstring& name) {
    Parts parts;
    if (!Split(name, parts)) return false;
    // Scripts, then languages written in one of them by default.
    static const char* const kScripts = " Arab Hebr Syrc Thaa Adlm Nkoo ";
    static const char* const kLanguages = " ar ckb dv fa he ks ku prs ps sd syr ug ur yi ";
    const std::wstring key =
        L" " + std::wstring(parts.script.empty() ? parts.language : parts.script) + L" ";
    return Contains(WideFromAscii(parts.script.empty() ? kLanguages : kScripts), key);
}

}  // namespace pravel
