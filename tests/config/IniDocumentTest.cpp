#include <gtest/gtest.h>

#include "config/IniDocument.h"

using namespace pravel;

namespace {

IniDocument Parsed(const std::wstring& text) {
    IniDocument doc;
    doc.Parse(text);
    return doc;
}

std::wstring ValueOf(const IniDocument& doc, const wchar_t* section, const wchar_t* key) {
    const IniSection* s = doc.FindSection(section);
    if (s == nullptr) return L"<no section>";
    const IniPair* p = s->FindKey(key);
    return p == nullptr ? L"<no key>" : p->value;
}

}  // namespace

TEST(IniDocument, SectionsAndPairs) {
    const IniDocument doc = Parsed(L"[A]\r\nx=1\r\n  [B]  \r\n y = two words \r\nz=\r\n");
    ASSERT_EQ(2u, doc.Sections().size());
    EXPECT_EQ(L"1", ValueOf(doc, L"A", L"x"));
    EXPECT_EQ(L"two words", ValueOf(doc, L"B", L"y"));
    EXPECT_EQ(L"", ValueOf(doc, L"B", L"z"));
}

TEST(IniDocument, ValueKeepsEverythingAfterTheFirstEquals) {
    const IniDocument doc = Parsed(L"[S]\r\nCmd = /a=b c==d  \r\n");
    EXPECT_EQ(L"/a=b c==d", ValueOf(doc, L"S", L"Cmd"));
}

TEST(IniDocument, DuplicatesKeepTheirOrderAndLookupsTakeTheFirst) {
    const IniDocument doc = Parsed(L"[S]\r\nk=first\r\nk=second\r\n[S]\r\nk=third\r\n");
    EXPECT_EQ(2u, doc.Sections().size());
    EXPECT_EQ(2u, doc.Sections()[0].Pairs().size());
    EXPECT_EQ(L"first", ValueOf(doc, L"S", L"k"));
}

TEST(IniDocument, NamesAreCaseSensitive) {
    const IniDocument doc = Parsed(L"[App1]\r\nsetupfile=x\r\n");
    EXPECT_EQ(nullptr, doc.FindSection(L"app1"));
    EXPECT_EQ(L"<no key>", ValueOf(doc, L"App1", L"SetupFile"));
}

TEST(IniDocument, HeaderWithTrailingTextIsNotASection) {
    const IniDocument doc = Parsed(L"[A]\r\n[Name] ; note\r\nk=v\r\n[Name] ; a=b\r\n");
    ASSERT_EQ(1u, doc.Sections().size());
    EXPECT_EQ(L"v", ValueOf(doc, L"A", L"k"));
    // With an "=" the line is a pair of the current section.
    EXPECT_EQ(L"b", ValueOf(doc, L"A", L"[Name] ; a"));
}

TEST(IniDocument, SectionNameIsVerbatimBetweenFirstAndLastBracket) {
    const IniDocument doc = Parsed(L"[ a [b] ]\r\nk=v\r\n");
    ASSERT_EQ(1u, doc.Sections().size());
    EXPECT_EQ(L" a [b] ", doc.Sections()[0].Name());
}

TEST(IniDocument, PairsBeforeTheFirstSectionAndLinesWithoutEqualsAreIgnored) {
    const IniDocument doc = Parsed(L"k=v\r\n[S]\r\njust text\r\n; k2=comment?\r\n");
    ASSERT_EQ(1u, doc.Sections().size());
    // There is no comment syntax: the ";" line is a pair.
    EXPECT_EQ(L"comment?", ValueOf(doc, L"S", L"; k2"));
    EXPECT_EQ(1u, doc.Sections()[0].Pairs().size());
}

TEST(IniDocument, OnlyCrLfEndsALine) {
    const IniDocument doc = Parsed(L"[S]\r\na=1\nb=2\r\nc=3\rd=4\r\ne=5");
    EXPECT_EQ(L"1\nb=2", ValueOf(doc, L"S", L"a"));
    EXPECT_EQ(L"<no key>", ValueOf(doc, L"S", L"b"));
    EXPECT_EQ(L"3\rd=4", ValueOf(doc, L"S", L"c"));
    EXPECT_EQ(L"5", ValueOf(doc, L"S", L"e"));  // last line without separator
}

TEST(IniDocument, AByteOrderMarkAtALinesStartIsBlank) {
    // Two files joined with "copy /b": the second one's mark starts a line.
    const IniDocument doc =
        Parsed(L"\xFEFF[S]\r\nk=v\r\n\xFEFF[Texts.1041]\r\n \xFEFFPreparing=x\r\n");
    EXPECT_EQ(L"v", ValueOf(doc, L"S", L"k"));
    EXPECT_EQ(L"x", ValueOf(doc, L"Texts.1041", L"Preparing"));
    EXPECT_TRUE(doc.IgnoredLines().empty());
}

TEST(IniDocument, ParseReplacesEarlierContent) {
    IniDocument doc;
    doc.Parse(L"[A]\r\nk=v\r\n");
    doc.Parse(L"[B]\r\n");
    EXPECT_EQ(nullptr, doc.FindSection(L"A"));
    EXPECT_NE(nullptr, doc.FindSection(L"B"));
}

TEST(IniDocument, RemembersLineNumbersAndIgnoredLines) {
    // Line 1 carries the byte-order mark; a lone LF does not start a line.
    const IniDocument doc = Parsed(
        L"\xFEFFk=before\r\n[A]\r\n\r\nx=1\r\n; note\r\n  [B] ; not a header\r\ny=2\nz=3\r\n"
        L"   \r\n[A]\r\nx=again\r\n");
    ASSERT_EQ(2u, doc.Sections().size());
    EXPECT_EQ(2, doc.Sections()[0].Line());
    EXPECT_EQ(9, doc.Sections()[1].Line());
    const std::vector<IniPair>& pairs = doc.Sections()[0].Pairs();
    ASSERT_EQ(2u, pairs.size());
    EXPECT_EQ(4, pairs[0].line);
    EXPECT_EQ(L"y", pairs[1].key);
    EXPECT_EQ(7, pairs[1].line);
    EXPECT_EQ(10, doc.Sections()[1].Pairs()[0].line);
    // The pair before the first section and the lines without "=" (a blank
    // line is not reported).
    const std::vector<IniIgnoredLine>& ignored = doc.IgnoredLines();
    ASSERT_EQ(3u, ignored.size());
    EXPECT_EQ(1, ignored[0].line);
    EXPECT_EQ(L"k=before", ignored[0].text);
    EXPECT_EQ(5, ignored[1].line);
    EXPECT_EQ(6, ignored[2].line);
    EXPECT_EQ(L"  [B] ; not a header", ignored[2].text);
    // Parsing again replaces everything.
    IniDocument again = doc;
    again.Parse(L"[C]\r\n");
    EXPECT_TRUE(again.IgnoredLines().empty());
}
