#include "params.h"
#include "value_helpers.h"

#include <gtest/gtest.h>

using namespace quilso;

TEST(HtmlEncode, SpaceRunsKeepTheirWidth) {
    EXPECT_EQ(HtmlEncode("a  b", false), "a &nbsp;b");
    EXPECT_EQ(HtmlEncode("  a", false), " &nbsp;a");
    EXPECT_EQ(HtmlEncode("a   b c", false), "a &nbsp;&nbsp;b c");
    EXPECT_EQ(HtmlEncode("", false), "");
}

TEST(HtmlEncode, QuotesAlwaysAnglesOnlyWithoutTags) {
    EXPECT_EQ(HtmlEncode("<b>\"x'</b>", true), "<b>&#34;x&#39;</b>");
    EXPECT_EQ(HtmlEncode("<b>\"x'</b>", false), "&#60;b&#62;&#34;x&#39;&#60;/b&#62;");
    // '&' passes so a text may carry its own references.
    EXPECT_EQ(HtmlEncode("a&amp;b", false), "a&amp;b");
}

TEST(HtmlEncode, HighBytesBecomeDecimalReferences) {
    EXPECT_EQ(HtmlEncode("\xE4", false), "&#228;");
    EXPECT_EQ(HtmlEncode("\xA0\xFF", false), "&#160;&#255;");
    EXPECT_EQ(HtmlEncode("\x80\x9F", false), "\x80\x9F"); // 128..159 pass unchanged
}

TEST(HtmlDecode, ReferencesAfterReplacedOnesStillDecode) {
    EXPECT_EQ(HtmlDecode("&#34;a&#34; &#228;"), "\"a\" \xE4");
    EXPECT_EQ(HtmlDecode("x&nbsp;&nbsp;y"), "x  y");
    EXPECT_EQ(HtmlDecode("&#60;i&#62;&#39;"), "<i>'");
    // A lone reference, as most decoded texts hold one: the byte it gives is not read again.
    EXPECT_EQ(HtmlDecode("Men&#252;eintrag"), "Men\xFC"
                                              "eintrag");
    EXPECT_EQ(HtmlDecode("a&#034;b"), "a\"b");
    EXPECT_EQ(HtmlDecode("&#228;"), "\xE4");
    EXPECT_EQ(HtmlDecode("Gr&#252;n"), "Gr\xFCn");
    EXPECT_EQ(HtmlDecode("gr&#252;"), "gr\xFC");
    EXPECT_EQ(HtmlDecode("&#38;#60;"), "&#60;");
    EXPECT_EQ(HtmlDecode("x&nbsp;"), "x ");
}

TEST(HtmlDecode, MalformedReferencesKeepTheAmpersand) {
    EXPECT_EQ(HtmlDecode("&#5;"), "&#5;");
    EXPECT_EQ(HtmlDecode("&#1234;"), "&#1234;");
    EXPECT_EQ(HtmlDecode("&#ab;"), "&#ab;");
    EXPECT_EQ(HtmlDecode("&#+5;"), "&#+5;");
    EXPECT_EQ(HtmlDecode("&#x41;"), "&#x41;");
    EXPECT_EQ(HtmlDecode("&#4 ;"), "&#4 ;");
    EXPECT_EQ(HtmlDecode("&amp;"), "&amp;");
    EXPECT_EQ(HtmlDecode("&#1"), "&#1");
    EXPECT_EQ(HtmlDecode("&#12"), "&#12");
    EXPECT_EQ(HtmlDecode("&"), "&");
}

TEST(HtmlDecode, OnlyReferencesToABytePassAsTheirCharacter) {
    EXPECT_EQ(HtmlDecode("&#065;&#66;"), "AB");
    EXPECT_EQ(HtmlDecode("&#00;"), std::string(1, '\0'));
    EXPECT_EQ(HtmlDecode("&#255;&#160;"), "\xFF\xA0");
    // A larger value has no byte of its own: keeping only its low bits would turn the Greek
    // omega (969) into 0xC9 and alpha (945) into 0xB1, and the next save would make that final.
    EXPECT_EQ(HtmlDecode("Neue Seite &#969;"), "Neue Seite &#969;");
    EXPECT_EQ(HtmlDecode("&#945;&#256;&#321;&#999;"), "&#945;&#256;&#321;&#999;");
    // What follows a kept reference is still scanned.
    EXPECT_EQ(HtmlDecode("&#969;&#228;&#34;"), "&#969;\xE4\"");
    // Scanning resumes after ';' so the next reference is found too.
    EXPECT_EQ(HtmlDecode("&#65;&#66;;"), "AB;");
}

TEST(HtmlDecode, UndoesEncodeForEveryByte) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        if (b != '&') all += static_cast<char>(b);
    all += "  x   y";
    EXPECT_EQ(HtmlDecode(HtmlEncode(all, false)), all);
    EXPECT_EQ(HtmlDecode(HtmlEncode(all, true)), all);
}

TEST(IndexOfText, ExactCaseSensitiveLookup) {
    EXPECT_EQ(CssUnitIndex("em"), 0);
    EXPECT_EQ(CssUnitIndex("%"), 8);
    EXPECT_EQ(CssUnitIndex("PX"), -1);
    EXPECT_EQ(CssUnitIndex("auto"), -1);
    EXPECT_EQ(CssUnitIndex(""), -1);
    EXPECT_EQ(IndexOfText(CssUnits.data(), 1, "px"), -1); // beyond `last`
    EXPECT_EQ(IndexOfText(CssUnits.data(), -1, "em"), -1);
}

TEST(SplitValueUnit, NumberAndUnit) {
    std::string n, u;
    EXPECT_TRUE(SplitValueUnit("150px", n, u));
    EXPECT_EQ(n, "150");
    EXPECT_EQ(u, "px");
    EXPECT_TRUE(SplitValueUnit("-1.5em", n, u));
    EXPECT_EQ(n, "-1.5");
    EXPECT_EQ(u, "em");
    EXPECT_TRUE(SplitValueUnit("0,8em", n, u));
    EXPECT_EQ(n, "0,8");
    EXPECT_TRUE(SplitValueUnit("1.5.5em", n, u));
    EXPECT_EQ(n, "1.5");
    EXPECT_EQ(u, ".5em");
    EXPECT_TRUE(SplitValueUnit("50%", n, u));
    EXPECT_EQ(u, "%");
}

TEST(SplitValueUnit, MissingPartFails) {
    std::string n = "old", u = "old";
    EXPECT_FALSE(SplitValueUnit("12", n, u));
    EXPECT_EQ(n, "12");
    EXPECT_EQ(u, "");
    EXPECT_FALSE(SplitValueUnit("auto", n, u));
    EXPECT_EQ(n, "");
    EXPECT_EQ(u, "auto");
    EXPECT_FALSE(SplitValueUnit("-", n, u));
    EXPECT_FALSE(SplitValueUnit("-px", n, u));
    EXPECT_FALSE(SplitValueUnit("", n, u));
    EXPECT_FALSE(SplitValueUnit(".px", n, u));
}

TEST(SplitColor, RedIsTheLowByte) {
    int r, g, b;
    SplitColor(0x00336699u, r, g, b);
    EXPECT_EQ(r, 0x99);
    EXPECT_EQ(g, 0x66);
    EXPECT_EQ(b, 0x33);
    SplitColor(0xFF0000FFu, r, g, b);
    EXPECT_EQ(r, 0xFF);
    EXPECT_EQ(b, 0);
}

TEST(KeyFilters, DecimalSeparatorsAreNormalisedOnce) {
    EXPECT_EQ(KeyDecimalComma("15", '.'), ',');
    EXPECT_EQ(KeyDecimalComma("1,5", ','), '\0');
    EXPECT_EQ(KeyDecimalComma("1,5", '.'), '\0');
    EXPECT_EQ(KeyDecimalComma("1", '-'), '\0');
    EXPECT_EQ(KeyDecimalPoint("15", ','), '.');
    EXPECT_EQ(KeyDecimalPoint("1.5", ','), '\0');
    EXPECT_EQ(KeyDecimalPoint("1,5", ','), '.'); // only its own separator blocks
    EXPECT_EQ(KeyDecimal("15", ','), ',');
    EXPECT_EQ(KeyDecimal("15", '.'), '.');
    EXPECT_EQ(KeyDecimal("1.5", ','), '\0');
    EXPECT_EQ(KeyDecimal("1,5", '.'), '\0');
    for (char k : {'\b', '0', '9'}) {
        EXPECT_EQ(KeyDecimalComma("1,5", k), k);
        EXPECT_EQ(KeyDecimalPoint("1.5", k), k);
        EXPECT_EQ(KeyDecimal("1.5", k), k);
    }
    for (char k : {'a', ' ', '\n', '+'}) {
        EXPECT_EQ(KeyDecimal("", k), '\0');
        EXPECT_EQ(KeyDecimalComma("", k), '\0');
    }
}

TEST(KeyFilters, SignedDecimalGuardsTheMinus) {
    EXPECT_EQ(KeySignedDecimal("-5", '3', 0), '\0');
    EXPECT_EQ(KeySignedDecimal("-5", '\b', 0), '\b');
    EXPECT_EQ(KeySignedDecimal("-5", '3', 1), '3');
    EXPECT_EQ(KeySignedDecimal("5", '-', 0), '-');
    EXPECT_EQ(KeySignedDecimal("5", '-', 1), '\0');
    EXPECT_EQ(KeySignedDecimal("5", '\n', 1), '\n');
    EXPECT_EQ(KeySignedDecimal("5", '.', 1), '.');
    EXPECT_EQ(KeySignedDecimal("5,1", '.', 3), '\0');
    EXPECT_EQ(KeySignedDecimal("5", 'x', 1), '\0');
}

TEST(KeyFilters, EnterAndHex) {
    EXPECT_EQ(KeyEnterToNext('\r'), '\0');
    EXPECT_EQ(KeyEnterToNext('a'), 'a');
    EXPECT_EQ(KeyHexDigit('a'), 'A');
    EXPECT_EQ(KeyHexDigit('f'), 'F');
    EXPECT_EQ(KeyHexDigit('F'), 'F');
    EXPECT_EQ(KeyHexDigit('7'), '7');
    EXPECT_EQ(KeyHexDigit('\b'), '\b');
    EXPECT_EQ(KeyHexDigit('g'), '\0');
    EXPECT_EQ(KeyHexDigit('G'), '\0');
    EXPECT_EQ(KeyHexDigit(','), '\0');
    EXPECT_EQ(KeyHexDigit(KeyEnterToNext('\r')), '\0');
}

TEST(StrToIntDef, OnlySignAndDigitsWithinRange) {
    EXPECT_EQ(StrToIntDef("42"), 42);
    EXPECT_EQ(StrToIntDef("+7"), 7);
    EXPECT_EQ(StrToIntDef("-0012"), -12);
    EXPECT_EQ(StrToIntDef("2147483647"), 2147483647);
    EXPECT_EQ(StrToIntDef("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(StrToIntDef("2147483648"), -1);
    EXPECT_EQ(StrToIntDef("-2147483649"), -1);
    EXPECT_EQ(StrToIntDef("99999999999999999999999"), -1);
    EXPECT_EQ(StrToIntDef("0000000000000000000001"), 1);
    for (const char* bad : {"", "+", "-", " 1", "1 ", "0x10", "$10", "1e3", "--1", "1-"})
        EXPECT_EQ(StrToIntDef(bad), -1) << bad;
    EXPECT_EQ(StrToIntDef("x", 99), 99);
}
