#include "text_convert.h"

#include <gtest/gtest.h>

TEST(TextConvert, MenuTextKeepsWhatTheCodePageLacksAsReferences) {
    const QString typed = QStringLiteral("Grüße Ω € 😀");
    const std::string stored = MenuTextFromUi(typed);
    EXPECT_EQ(stored, "Gr\xFC\xDF"
                      "e &#937; \x80 &#128512;");
    EXPECT_EQ(MenuTextToUi(stored), typed);
    // A typed reference is stored as typed; every complete decimal reference is shown as its
    // character, whatever its digits; broken ones, controls and values past U+10FFFF stay text.
    EXPECT_EQ(MenuTextFromUi(QStringLiteral("&#65; &#0937;")), "&#65; &#0937;");
    EXPECT_EQ(MenuTextToUi("&#65; &#0937; &#8364; &#0000001078; &#1114111;"),
              QStringLiteral("A \u03A9 \u20AC \u0436 ") + QString::fromUcs4(U"\U0010FFFF", 1));
    EXPECT_EQ(
        MenuTextToUi("&#937 &#; &#x41; &#0; &#10; &#150; &#55296; &#1114112; &#99999999999999999999;"),
        QStringLiteral("&#937 &#; &#x41; &#0; &#10; &#150; &#55296; &#1114112; &#99999999999999999999;"));
    // A lone surrogate (broken paste) still leaves a visible trace instead of vanishing.
    EXPECT_EQ(MenuTextFromUi(QString(QChar(0xD800))), "&#65533;");
}

TEST(TextConvert, FileNamesPercentEncodeOnlyWhatTheCodePageLacks) {
    EXPECT_EQ(FileNameFromUi(QStringLiteral("Ωmega-ä.htm")), "%CE%A9mega-\xE4.htm");
    EXPECT_EQ(FileNameToUi("\xE4.htm"), QStringLiteral("ä.htm"));
}
