#include "site_text.h"
#include "value_helpers.h"

#include <gtest/gtest.h>

using namespace quilso;

namespace {
std::string title(std::string_view html) {
    const auto t = PageTitle(html);
    return t ? EncodeUtf8(*t) : "<none>";
}
} // namespace

TEST(PageTitleText, CharsetsReferencesAndWhiteSpace) {
    // Declared Latin-1 is read as Windows-1252, where 0x96 is the en dash.
    EXPECT_EQ(title("<meta charset='ISO-8859-1'><title>Gr\xFC\xDF \x96 Gott</title>"), "Grüß – Gott");
    // Undeclared: UTF-8 when valid, else Windows-1252.
    EXPECT_EQ(title("<title>Grüß</title>"), "Grüß");
    EXPECT_EQ(title("<title>Gr\xFC\xDF</title>"), "Grüß");
    // A declared UTF-8 page with a stray byte keeps its other characters.
    EXPECT_EQ(title("<meta charset=\"utf-8\"><title>\xFC"
                    "ber</title>"),
              "\xEF\xBF\xBD"
              "ber");
    EXPECT_EQ(title("\xEF\xBB\xBF<title>\xC3\xA4</title>"), "ä");
    EXPECT_EQ(title("<title lang=de>\t A &amp;&nbsp;B&#150;&#x2192;&#8364 &bogus; &#0; </title>"),
              "A &\xC2\xA0"
              "B–→€ &bogus; \xEF\xBF\xBD");
    EXPECT_EQ(title("<html><title>   </title>"), "<none>");
    EXPECT_EQ(title("<titlebar>x</titlebar>"), "<none>");
    EXPECT_EQ(title("<!-- <title>Alt</title> --><title>Neu</title>"), "Neu");
    EXPECT_EQ(title("<head></head><body><svg><title>Logo</title></svg>"), "<none>");
    EXPECT_EQ(title("<title>offen"), "<none>");
}

TEST(StoredForms, TextsAndFileNamesAsTheApplicationStoresThem) {
    EXPECT_EQ(StoredTextFromUnicode(U"Grüße → €"), "Gr\xFC\xDF"
                                                   "e &#8594; \x80");
    // A browser shows the text as it is, whether '<' and '>' are markup or not: what would start
    // a reference or a tag is escaped, and nothing else.
    EXPECT_EQ(StoredTextFromUnicode(U"AT&T &copy; &#60; Tom & Jerry &"),
              "AT&amp;T &amp;copy; &amp;#60; Tom & Jerry &");
    EXPECT_EQ(StoredTextFromUnicode(U"<b>x</b> <!-- <?x a < 10 > 5"),
              "&lt;b>x&lt;/b> &lt;!-- &lt;?x a < 10 > 5");
    // "&#139;" would read back as the Windows-1252 character 139, "‹", not as the control.
    EXPECT_EQ(StoredTextFromUnicode(U"a\u008Bb\u0081"), "ab\x81");
    EXPECT_EQ(DisplayUtf8("Gr\xFC\xDF"
                          "e &#8594; \x80"),
              "Grüße → €");
    // A typed reference of a character the code page has stays as typed.
    EXPECT_EQ(DisplayUtf8("&#228; &#0937;"), "&#228; &#0937;");

    EXPECT_EQ(StoredFileNameFromUtf8("über uns/Ω 100%#?.htm"), "\xFC"
                                                               "ber uns/%CE%A9 100%25%23%3F.htm");
    EXPECT_EQ(StoredFileNameFromUtf8("bad\xFF.htm"), "bad%FF.htm");
    // A backslash in a name would read as a folder separator on the way back.
    EXPECT_EQ(StoredFileNameFromUtf8("a\\b.htm"), "a%5Cb.htm");
    for (const char* name : {"über uns/Ω 100%#?.htm", "a\tb.htm", "bad\xFF.htm", "plain.htm"})
        EXPECT_EQ(Utf8PathFromStoredFileName(StoredFileNameFromUtf8(name)), name) << name;
    // A typed %-escape is what a browser decodes, too.
    EXPECT_EQ(Utf8PathFromStoredFileName("%C3%BCber%20uns.htm"), "über uns.htm");
    EXPECT_EQ(Utf8PathFromStoredFileName("50%.htm"), "50%.htm");
}

TEST(StoredForms, MenuTextFromFileNameAsTheDialogDerivesIt) {
    EXPECT_EQ(EncodeUtf8(MenuTextFromFileName(U"produkte.htm")), "Produkte");
    EXPECT_EQ(EncodeUtf8(MenuTextFromFileName(U"dir/über.uns.htm")), "über.uns");
    EXPECT_EQ(EncodeUtf8(MenuTextFromFileName(U".htm")), "");
    EXPECT_EQ(EncodeUtf8(MenuTextFromFileName(U"README")), "README");
}

TEST(MenuOrder, UmlautsSortWithTheirLetters) {
    std::vector<std::string> texts = {"Zubehör", "Änderungen", "anleitung", "Apfel", "Straße",
                                      "Strasse", "Über",       "Uhr",       "Ende",  "Жизнь"};
    std::sort(texts.begin(), texts.end(),
              [](const std::string& a, const std::string& b) { return MenuTextLess(a, b); });
    std::string order;
    for (const auto& t : texts)
        order += t + ",";
    EXPECT_EQ(order, "Änderungen,anleitung,Apfel,Ende,Strasse,Straße,Über,Uhr,Zubehör,Жизнь,");
}

TEST(AddressKinds, UnsafeSchemesAndNamesThatAreNotFiles) {
    for (const char* unsafe : {"javascript:x", " JavaScript:x", "java\tscript:x",
                               "jav\x01"
                               "ascript:x",
                               "\nvbscript:x", "DATA:text/html,x", "da ta:x"})
        EXPECT_TRUE(IsUnsafeAddress(unsafe)) << unsafe;
    for (const char* safe : {"javascript.htm", "my-data:x", "data.htm", "scripts/javascript:x", ""})
        EXPECT_FALSE(IsUnsafeAddress(safe)) << safe;

    for (const char* other : {"https://x.de", "mailto:a@b.de", "/root.htm", "\\\\server\\x", "c:x"})
        EXPECT_TRUE(HasSchemeOrIsRooted(other)) << other;
    for (const char* file : {"a.htm", "a/b:c.htm", "1http:x", "", "./x:y"})
        EXPECT_FALSE(HasSchemeOrIsRooted(file)) << file;

    for (const char* page : {"a.htm", "A.HTML", "x.Shtml", "x.shtm", "index.php"})
        EXPECT_TRUE(IsPageFileName(page)) << page;
    for (const char* other : {"a.php3", "a.txt", "htm", ".htm", "a.htm.bak"})
        EXPECT_FALSE(IsPageFileName(other)) << other;
}

// A text shown piece by piece reads as the whole text shown at once: no reference is cut, and a
// cut falls at the requested length wherever no reference reaches past it.
TEST(DisplayPieces, PiecesJoinToTheWholeText) {
    const std::string texts[] = {
        std::string(40, 'a'),
        std::string(14, 'a') + "&#8594;" + std::string(30, 'b'),
        std::string(10, 'a') + "&#12345678;" + "&#8364;x&#;&#99999999999;" + std::string(20, '&'),
        "&#8594;&#8594;&#8594;&#8594;&#8594;&#8594;&#8594;&#8594;",
        "\x80\x9F\xFF&#8594",
    };
    for (const std::string& text : texts) {
        std::string joined;
        ForEachDisplayPiece(text, 16, [&](std::string_view piece) { joined += piece; });
        EXPECT_EQ(joined, DisplayUtf8(text)) << text;
    }
    const std::string arrow = "abcdefghij&#8594;";
    EXPECT_EQ(ReferenceSafeCut(arrow, 12), 10u);
    EXPECT_EQ(ReferenceSafeCut(arrow, 17), 17u);
    EXPECT_EQ(ReferenceSafeCut(arrow, 10), 10u);
    EXPECT_EQ(ReferenceSafeCut(arrow, 99), arrow.size());
    EXPECT_EQ(ReferenceSafeCut("&#8594;abc", 3), 3u); // nothing before it to cut at
}
