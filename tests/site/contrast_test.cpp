#include "contrast.h"
#include "link_check.h"
#include "site_text.h"

#include <gtest/gtest.h>

using namespace quilso;

TEST(Contrast, RatiosOfKnownPairs) {
    const Rgb black{0, 0, 0}, white{255, 255, 255};
    EXPECT_DOUBLE_EQ(ContrastRatio(black, white), 21.0);
    EXPECT_DOUBLE_EQ(ContrastRatio(white, black), 21.0);
    EXPECT_DOUBLE_EQ(ContrastRatio(*ParseHexColor("3a7bd5"), *ParseHexColor("#3A7BD5")), 1.0);
    // The grey pair every checker agrees on: #767676 just passes on white, #777777 does not.
    EXPECT_NEAR(ContrastRatio(*ParseHexColor("767676"), white), 4.54, 0.005);
    EXPECT_NEAR(ContrastRatio(*ParseHexColor("777777"), white), 4.48, 0.005);
    EXPECT_NEAR(ContrastRatio(*ParseHexColor("FF0000"), white), 4.0, 0.005);

    EXPECT_EQ(FormatRatio(ContrastRatio(*ParseHexColor("777777"), white)), "4,4:1");
    EXPECT_EQ(FormatRatio(4.5), "4,5:1");
    EXPECT_EQ(FormatRatio(21), "21,0:1");
    EXPECT_EQ(FormatRatio(5.96), "5,9:1");

    EXPECT_FALSE(ParseHexColor("12345"));
    EXPECT_FALSE(ParseHexColor("12345G"));
    EXPECT_FALSE(ParseHexColor("transparent"));
}

TEST(Contrast, ColoursInEffectPerState) {
    MenuStyle style;
    style.color = "333333";
    style.backgroundColor = "transparent";
    style.colorSelected = "";
    style.backgroundColorSelected = "000080";
    style.colorHover = "FFFFFF";
    style.backgroundColorHover = "inherit";

    const auto normal = ContrastOf(style, MenuState::Normal);
    EXPECT_EQ(normal.color + " " + normal.background, "333333 FFFFFF");
    const auto current = ContrastOf(style, MenuState::Current);
    EXPECT_EQ(current.color + " " + current.background, "333333 000080");
    EXPECT_FALSE(current.sufficient());
    const auto hover = ContrastOf(style, MenuState::Hover);
    EXPECT_EQ(hover.color + " " + hover.background, "FFFFFF FFFFFF");
    EXPECT_DOUBLE_EQ(hover.ratio, 1.0);

    // No text colour at all counts as black; an item background shows through every state.
    MenuStyle bare;
    bare.backgroundColor = "202020";
    const auto dark = ContrastOf(bare, MenuState::Hover);
    EXPECT_EQ(dark.color + " " + dark.background, "000000 202020");
}

TEST(Contrast, FindingsNameMenuAndState) {
    ProjectParams params;
    for (auto& css : params.css) {
        css.color = "000000";
        css.backgroundColor = "FFFFFF";
    }
    EXPECT_TRUE(CheckContrasts(params).empty());
    params.css[MenuSub].colorHover = "AAAAAA";
    params.css[MenuBreadcrumb].backgroundColorSelected = "111111";
    const auto findings = CheckContrasts(params);
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_EQ(DisplayUtf8(findings[0].where), "Unter-Menü, Hover/Fokus");
    EXPECT_EQ(DisplayUtf8(findings[0].message), "Kontrast 2,3:1 unter 4,5:1 (Schrift #AAAAAA auf #FFFFFF)");
    EXPECT_EQ(findings[0].menu, MenuSub);
    EXPECT_EQ(findings[0].state, MenuState::Hover);
    EXPECT_EQ(DisplayUtf8(findings[1].where), "Vorgänger-Menü, aktuelle Seite");
    EXPECT_EQ(findings[1].contrast.background, "111111");
    EXPECT_FALSE(IsBrokenLink(findings[0]));
}

// A sub menu inside the main menu's item shows, where it has no background of its own, the
// item's background (it lies inside the item on small screens); elsewhere the page's.
TEST(Contrast, SubMenuRatedInEachPlacement) {
    ProjectParams params;
    for (auto& css : params.css) {
        css.color = "000000";
        css.backgroundColor = "FFFFFF";
        css.colorSelected = "FFFFFF";
        css.backgroundColorSelected = "0000FF";
    }
    MenuStyle& main = params.css[MenuMain];
    main.color = "FFFFFF";
    main.backgroundColor = "333333";
    main.colorHover = "FFCC00";
    MenuStyle& sub = params.css[MenuSub];
    sub.backgroundColor = "EEEEEE";
    // The sub menu keeps its own colours wherever it is placed: nothing of the main menu's
    // hover reaches it.
    EXPECT_TRUE(CheckContrasts(params).empty());

    sub.color = "555555";
    sub.backgroundColor = "transparent";
    const auto findings = CheckContrasts(params);
    std::vector<std::string> seen;
    for (const Finding& f : findings)
        seen.push_back(DisplayUtf8(f.where) + ": " + DisplayUtf8(f.message));
    EXPECT_EQ(
        seen,
        (std::vector<std::string>{
            "Unter-Menü im Haupt-Menü, normal: Kontrast 1,6:1 unter 4,5:1 (Schrift #555555 auf #333333)",
            "Unter-Menü im Haupt-Menü, Hover/Fokus: Kontrast 1,6:1 unter 4,5:1 (Schrift #555555 auf "
            "#333333)"}));
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_EQ(findings[0].menu, MenuSub);
    EXPECT_TRUE(findings[0].insideMain);

    // A pair too weak on its own is named once, for the sub menu as such.
    sub.backgroundColor = "666666";
    const auto weak = CheckContrasts(params);
    ASSERT_EQ(weak.size(), 2u);
    EXPECT_EQ(DisplayUtf8(weak[0].where), "Unter-Menü, normal");
    EXPECT_FALSE(weak[0].insideMain);
}
