#include "text_convert.h"

#include <gtest/gtest.h>

TEST(TextConvert, MenuTextKeepsWhatTheCodePageLacksAsReferences) {
    const QString typed = QStringLiteral("Grüße Ω € 😀");
    const std::string stored = MenuTextFromUi(typed);
    EXPECT_EQ(stored, "Gr\xFC\xDF"
                      "e &#937; \x80 &#128512;");
    EXPECT_EQ(MenuTextToUi(stored), typed);
    // References the user typed for storable characters stay as typed, both ways.
    EXPECT_EQ(MenuTextFromUi(QStringLiteral("&#65; &#0937;")), "&#65; &#0937;");
    EXPECT_EQ(MenuTextToUi("&#65; &#0937; &#937 &#;"), QStringLiteral("&#65; &#0937; &#937 &#;"));
    // A lone surrogate (broken paste) still leaves a visible trace instead of vanishing.
    EXPECT_EQ(MenuTextFromUi(QString(QChar(0xD800))), "&#65533;");
}

TEST(TextConvert, FileNamesPercentEncodeOnlyWhatTheCodePageLacks) {
    EXPECT_EQ(FileNameFromUi(QStringLiteral("Ωmega-ä.htm")), "%CE%A9mega-\xE4.htm");
    EXPECT_EQ(FileNameToUi("\xE4.htm"), QStringLiteral("ä.htm"));
}
