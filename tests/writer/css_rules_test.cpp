#include "example_project.h"
#include "file_io.h"
#include "script_sections.h"

#include <gtest/gtest.h>

using namespace quilso;

namespace {

using Css = std::vector<std::string>;

// The CSS texts of each rule block, recovered from the generated lines.
std::vector<Css> blocksOf(const std::string& text) {
    std::vector<Css> blocks;
    const std::string reset = "  c = \"\";", css = "  c = c + '", write = "  document.write(c);";
    for (const std::string& line : SplitLines(text)) {
        if (line == reset) {
            blocks.emplace_back();
        } else if (line.rfind(css, 0) == 0) {
            EXPECT_EQ(line.substr(line.size() - 2), "';");
            blocks.back().push_back(line.substr(css.size(), line.size() - css.size() - 2));
        } else if (line == write) {
            // Every block ends with the empty CSS line unless it has no content at all.
            if (!blocks.back().empty()) {
                EXPECT_EQ(blocks.back().back(), "");
                blocks.back().pop_back();
            }
        }
    }
    return blocks;
}

std::vector<Css> menuBlocks(const MenuStyle& css, MenuKind kind) {
    ScriptBuffer out;
    WriteMenuCss(out, css, kind);
    return blocksOf(out.text);
}

bool has(const Css& block, const std::string& line) {
    return std::find(block.begin(), block.end(), line) != block.end();
}

// Index of each block within menuBlocks for the main and breadcrumb menus.
enum { Outer, Container, Item, Link, Selected, Hover };

} // namespace

TEST(CssRules, SeventeenBlocksAndNoOuterBoxForTheSubMenu) {
    ProjectParams params;
    for (auto& css : params.css)
        css = sample::exampleCss();
    ScriptBuffer out;
    WriteCssInit(out, params);
    const auto blocks = blocksOf(out.text);
    ASSERT_EQ(blocks.size(), 17u);
    EXPECT_EQ(blocks[0].front(), ".quilso_m_div {");
    EXPECT_EQ(blocks[6].front(), ".quilso_um {");
    EXPECT_EQ(blocks[11].front(), ".quilso_bc_div {");
    EXPECT_EQ(blocks[10].front(), ".quilso_um li a:hover,");
    EXPECT_EQ(blocks[15].front(), ".quilso_bc li a#bc_selected {");
    EXPECT_EQ(out.text.find("  document.write('<style type=\"text/css\">');\r\n"),
              out.text.find("  document.write('"));
    EXPECT_NE(out.text.find("  document.write('</style>');\r\n}\r\n\r\n"), std::string::npos);
}

TEST(CssRules, HoverBlockVariants) {
    MenuStyle css = sample::exampleCss();
    css.colorHover.clear();
    css.backgroundColorHover.clear();
    EXPECT_TRUE(menuBlocks(css, MenuMain)[Hover].empty());

    css.backgroundColorHover = "inherit";
    EXPECT_EQ(menuBlocks(css, MenuMain)[Hover],
              (Css{".quilso_m li a:hover,", ".quilso_m li a:focus,", ".quilso_m li a:active {",
                   "  /* background */", "  background-color:inherit;", "}"}));
    css.colorHover = "00FF00";
    css.backgroundColorHover = "123456";
    EXPECT_EQ(
        menuBlocks(css, MenuBreadcrumb)[Hover],
        (Css{".quilso_bc li a:hover,", ".quilso_bc li a:focus,", ".quilso_bc li a:active {", "  /* font */",
             "  color:#00FF00;", "  /* background */", "  background-color:#123456;", "}"}));
    css.backgroundColorHover.clear();
    EXPECT_EQ(menuBlocks(css, MenuSub)[Hover - 1].size(), 6u);
}

TEST(CssRules, UnitPairsDropNumbersInFrontOfKeywords) {
    MenuStyle css = sample::exampleCss();
    css.widthValue = "150";
    css.widthUnit = "auto";
    css.heightValue = "";
    css.heightUnit = "px";
    css.letterSpacingValue = "2";
    css.letterSpacingUnit = "inherit";
    css.lineHeightValue = "1,5";
    css.lineHeightUnit = "em";
    css.textIndentValue = "4";
    css.textIndentUnit = "normal";
    css.wordSpacingValue = "3";
    css.wordSpacingUnit = "normal";
    css.verticalAlignValue = "7";
    css.verticalAlignUnit = "middle";
    css.fontSizeValue = "12";
    css.fontSizeUnit = "medium";
    css.boxValue[BoxBorder][SideLeft] = "3";
    css.boxUnit[BoxBorder][SideLeft] = "thin";
    css.boxValue[BoxPadding][SideTop] = "-1.5";
    css.boxUnit[BoxPadding][SideTop] = "%";
    const Css item = menuBlocks(css, MenuMain)[Item];
    for (const char* line :
         {"  width:auto;", "  height:px;", "  letter-spacing:inherit;", "  line-height:1,5em;",
          "  text-indent:4normal;", "  word-spacing:normal;", "  vertical-align:middle;",
          "  font-size:medium;", "  border-left-width:thin;", "  padding-top:-1.5%;"})
        EXPECT_TRUE(has(item, line)) << line;

    css.fontSizeValue = "90";
    css.fontSizeUnit = "%";
    css.verticalAlignUnit = "PX"; // units compare case-sensitively
    css.textIndentUnit = "inherit";
    const Css again = menuBlocks(css, MenuMain)[Item];
    EXPECT_TRUE(has(again, "  font-size:90%;"));
    EXPECT_TRUE(has(again, "  vertical-align:PX;"));
    EXPECT_TRUE(has(again, "  text-indent:inherit;"));
}

TEST(CssRules, OffsetsNameTheirSide) {
    MenuStyle css = sample::exampleCss();
    css.offsetXSide = "right";
    css.offsetXValue = "10";
    css.offsetXUnit = "px";
    css.offsetYSide = "bottom";
    css.offsetYValue = "5";
    css.offsetYUnit = "auto";
    const Css container = menuBlocks(css, MenuMain)[Container];
    EXPECT_EQ(container, (Css{".quilso_m {", "  /* position */", "  position:relative;", "  right:10px;",
                              "  bottom:auto;", "  margin:0px;", "  padding:0px;", "}"}));
}

TEST(CssRules, LinkHeightFollowsTheItemHeightUnit) {
    MenuStyle css = sample::exampleCss();
    css.heightUnit = "auto";
    EXPECT_FALSE(has(menuBlocks(css, MenuMain)[Link], "  height:100%;"));
    css.heightUnit = "";
    EXPECT_TRUE(has(menuBlocks(css, MenuMain)[Link], "  height:100%;"));
    css.heightUnit = "em";
    EXPECT_EQ(menuBlocks(css, MenuSub)[Link - 1][3], "  height:100%;");
}

TEST(CssRules, DecorationWords) {
    MenuStyle css = sample::exampleCss();
    auto decoration = [&] {
        const auto blocks = menuBlocks(css, MenuMain);
        for (const std::string& line : blocks[Link])
            if (line.rfind("  text-decoration:", 0) == 0) return line.substr(18);
        return std::string("missing");
    };
    EXPECT_EQ(decoration(), "none;");
    css.textDecorationUnderline = css.textDecorationBlink = true;
    EXPECT_EQ(decoration(), "underline blink;");
    css.textDecorationOverline = css.textDecorationLineThrough = true;
    EXPECT_EQ(decoration(), "underline overline line-through blink;");
    css.textDecorationInherit = true;
    EXPECT_EQ(decoration(), "inherit;");
    css = sample::exampleCss();
    css.textDecorationLineThrough = true;
    EXPECT_EQ(decoration(), "line-through;");
}

TEST(CssRules, FamiliesAndColoursAsWritten) {
    MenuStyle css = sample::exampleCss();
    css.fontFamilies = {"O'Brien Sans", "Verdana", "Comic Sans MS"};
    css.backgroundColor = "";
    css.color = "";
    css.backgroundColorSelected = "transparent";
    ScriptBuffer out;
    WriteMenuCss(out, css, MenuMain);
    // The apostrophe must not end the single-quoted literal.
    EXPECT_NE(
        out.text.find("  c = c + '  font-family:\"O\\x27Brien Sans\", Verdana, \"Comic Sans MS\";';\r\n"),
        std::string::npos);
    const auto blocks = blocksOf(out.text);
    EXPECT_TRUE(has(blocks[Item], "  background-color:#;"));
    EXPECT_TRUE(has(blocks[Link], "  color:#;"));
    EXPECT_TRUE(has(blocks[Selected], "  background-color:transparent;"));

    css.fontFamilies.clear();
    EXPECT_TRUE(has(menuBlocks(css, MenuMain)[Item], "  font-family:;"));
    // An empty name still takes its place in the list, wherever it stands.
    css.fontFamilies = {"", "Arial"};
    EXPECT_TRUE(has(menuBlocks(css, MenuMain)[Item], "  font-family:, Arial;"));
    css.fontFamilies = {"Arial", "", "", "serif", ""};
    EXPECT_TRUE(has(menuBlocks(css, MenuMain)[Item], "  font-family:Arial, , , serif, ;"));
    css.fontFamilies = {""};
    EXPECT_TRUE(has(menuBlocks(css, MenuMain)[Item], "  font-family:;"));
}

TEST(CssRules, TrailCarriesBoxesOnItsLinks) {
    MenuStyle css = sample::exampleCss();
    css.boxValue[BoxMargin][SideTop] = "4";
    css.boxValue[BoxMargin][SideLeft] = "6";
    css.backgroundColor = "ABCDEF";
    const auto trail = menuBlocks(css, MenuBreadcrumb);
    const Css& item = trail[Item];
    EXPECT_EQ(item[2], "  float:left;");
    EXPECT_TRUE(has(item, "  color:#000000;"));
    EXPECT_FALSE(has(item, "  /* background */"));
    const Css itemTail(item.end() - 4, item.end());
    EXPECT_EQ(itemTail, (Css{"  /* border */", "  margin-top:4px;", "  margin-bottom:0px;", "}"}));

    const Css& link = trail[Link];
    EXPECT_EQ(link[2], "  float:left;");
    auto border = std::find(link.begin(), link.end(), "  /* border */");
    ASSERT_NE(border, link.end());
    // Two margins, four widths, colours, styles and paddings, then the background.
    EXPECT_EQ(link.end() - border, 1 + 18 + 2 + 1);
    EXPECT_EQ(border[1], "  margin-left:6px;");
    EXPECT_EQ(border[3], "  border-left-width:1px;");
    EXPECT_EQ(border[7], "  border-left-color:#C0C0C0;");
    EXPECT_EQ(border[11], "  border-left-style:solid;");
    EXPECT_EQ(border[18], "  padding-bottom:1px;");
    EXPECT_EQ(border[20], "  background-color:#ABCDEF;");

    const auto main = menuBlocks(css, MenuMain);
    EXPECT_FALSE(has(main[Item], "  float:left;"));
    EXPECT_FALSE(has(main[Item], "  color:#000000;"));
    EXPECT_FALSE(has(main[Link], "  /* border */"));
    EXPECT_TRUE(has(main[Item], "  margin-left:6px;"));
    EXPECT_TRUE(has(main[Item], "  background-color:#ABCDEF;"));
}
