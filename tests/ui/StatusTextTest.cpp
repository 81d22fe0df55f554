// The status line's text: a prerequisite's name shortened with an ellipsis
// before the line would wrap, never below a recognisable length.
#include <gtest/gtest.h>

#include "ui/StatusText.h"

using pravel::FitStatusText;

namespace {

const std::vector<std::wstring> kPatterns = {L"Downloading %s", L"%s wird installiert",
                                             L"100%% %s ok"};

// Fits when it has at most `width` characters.
std::wstring Fit(const std::wstring& text, size_t width) {
    return FitStatusText(text, kPatterns, [width](const std::wstring& candidate) {
        return candidate.size() <= width;
    });
}

}  // namespace

TEST(StatusText, TheNameIsShortenedFirstThenTheTextWrapsWhole) {
    const std::wstring vc = L"Microsoft Visual C++ 2015-2022 Redistributable (x64) - 14.40.33810";
    struct Row {
        std::wstring text;
        size_t width;
        std::wstring shown;
    } rows[] = {
        {L"Downloading Contoso Runtime", 80, L"Downloading Contoso Runtime"},
        {L"Downloading " + vc, 50, L"Downloading Microsoft Visual C++ 2015-2022 Redist\x2026"},
        {vc + L" wird installiert", 50, L"Microsoft Visual C++ 2015-2022 R\x2026 wird installiert"},
        // Fewer than 12 characters of the name would stay: the text wraps whole.
        {vc + L" wird installiert", 29, vc + L" wird installiert"},
        {L"100% " + vc + L" ok", 30, L"100% Microsoft Visual C++\x2026 ok"},
        // The ellipsis follows a letter or digit, never a blank or a full stop.
        {L"Downloading " + vc, 74,
         L"Downloading Microsoft Visual C++ 2015-2022 Redistributable (x64) - 14.40\x2026"},
        // A text no pattern made (an error's text) and a short name wrap whole.
        {L"The server refused the connection to the proxy server", 20,
         L"The server refused the connection to the proxy server"},
        {L"Downloading Contoso Reader 1", 20, L"Downloading Contoso Reader 1"},
    };
    for (const Row& row : rows) {
        EXPECT_TRUE(Fit(row.text, row.width) == row.shown) << row.width;
    }
}

// Over every width and names with surrogate pairs: the text shown either
// fits or is the text itself; a shortened name keeps at least 12 of its
// characters and never half of a pair; nothing but the name changes.
TEST(StatusText, EveryWidthGivesAFittingTextOrTheWholeOne) {
    const std::wstring names[] = {
        L"Contoso Runtime 4.8 (x86 and x64) with language packs",
        L"\xD83D\xDE00\xD83D\xDE00\xD83D\xDE00\xD83D\xDE00\xD83D\xDE00\xD83D\xDE00\xD83D\xDE00"
        L"\xD83D\xDE00\xD83D\xDE00\xD83D\xDE00",
        L"\x6F22\x5B57\xD840\xDC00\x6F22\x5B57\xD840\xDC00\x6F22\x5B57\xD840\xDC00\x6F22\x5B57",
    };
    for (const std::wstring& name : names) {
        const std::wstring text = name + L" wird installiert";
        for (size_t width = 1; width <= text.size() + 1; ++width) {
            const std::wstring shown = Fit(text, width);
            if (shown == text) {
                EXPECT_TRUE(text.size() <= width || width < 12 + 18) << width;
                continue;
            }
            EXPECT_LE(shown.size(), width);
            const size_t cut = shown.find(L'\x2026');
            ASSERT_NE(cut, std::wstring::npos);
            EXPECT_GE(cut, 11u);  // 12, or 11 before a pair
            EXPECT_TRUE(shown.compare(0, cut, text, 0, cut) == 0);
            EXPECT_NE(static_cast<unsigned>(shown[cut - 1]) & 0xFC00u, 0xD800u);
            EXPECT_TRUE(shown.substr(cut + 1) == L" wird installiert");
        }
    }
}
