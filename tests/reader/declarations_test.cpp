// The block scan and the declaration readers, checked through whole (small) files.
#include "reader_test_support.h"
#include "writer.h"

#include <gtest/gtest.h>

using namespace quilso;
using namespace quilso::test;

namespace {
// Loads the blocks over a fresh project and returns its style settings.
ProjectParams LoadBlocks(const std::string& text) {
    Project project;
    Load(text, project);
    return project.params;
}
} // namespace

TEST(BlockScan, SelectorsPickBlockAndMenu) {
    const ProjectParams p = LoadBlocks(
        Block(".quilso_m_div {", {"  clear:both;"}) + Block(".quilso_bc_div {", {"  float:right;"}) +
        Block(".quilso_um {", {"  position:fixed;"}) + Block(".quilso_bc li {", {"  overflow:scroll;"}) +
        Block(".quilso_um li a {", {"  white-space:pre;"}) +
        Block(".quilso_m li a#m_selected {", {"  color:#00FF00;"}));
    EXPECT_EQ(p.css[MenuMain].clear, "both");
    EXPECT_EQ(p.css[MenuBreadcrumb].cssFloat, "right");
    EXPECT_EQ(p.css[MenuSub].position, "fixed");
    EXPECT_EQ(p.css[MenuBreadcrumb].overflow, "scroll");
    EXPECT_EQ(p.css[MenuSub].whiteSpace, "pre");
    EXPECT_EQ(p.css[MenuMain].colorSelected, "00FF00");
    EXPECT_EQ(p.css[MenuMain].position, "");
}

TEST(BlockScan, MenuComesFromTheClassNotFromTheSelectedId) {
    const ProjectParams p = LoadBlocks(Block(".quilso_m li a#um_selected {", {"  color:#010203;"}) +
                                       // The first letters decide: "mx" is the main menu, "bcz" the trail.
                                       Block(".quilso_mx li {", {"  direction:rtl;"}) +
                                       Block(".quilso_bcz li a {", {"  text-align:center;"}));
    EXPECT_EQ(p.css[MenuMain].colorSelected, "010203");
    EXPECT_EQ(p.css[MenuSub].colorSelected, "");
    EXPECT_EQ(p.css[MenuMain].direction, "rtl");
    EXPECT_EQ(p.css[MenuBreadcrumb].textAlign, "center");
}

TEST(BlockScan, LinesThatStartNoBlock) {
    const std::string hover = "  c = \"\";\r\n" + CssLine(".quilso_m li a:hover,") + "\r\n" +
                              CssLine("  color:#111111;") + "\r\n" + CssLine(".quilso_m li a:focus,") +
                              "\r\n" + CssLine("  color:#222222;") + "\r\n" +
                              CssLine(".quilso_m li a:active {") + "\r\n" + CssLine("  color:#333333;") +
                              "\r\n" + CssLine("}") + "\r\n";
    const ProjectParams p = LoadBlocks(
        Block(".quilso_um_div {", {"  clear:both;"}) + // the sub menu has no outer box
        Block(".quilso_x li {", {"  overflow:auto;"}) +
        Block(".quilso_m  li {", {"  overflow:auto;"}) + // still two pieces
        Block(".quilso_m li a b {", {"  text-align:right;"}) +
        Block("div.quilso_m {", {"  position:fixed;"}) + CssLine("  overflow:visible;") + "\r\n" + hover);
    for (const MenuStyle& css : p.css)
        EXPECT_EQ(css.clear, "");
    EXPECT_EQ(p.css[MenuMain].overflow, "auto");
    EXPECT_EQ(p.css[MenuSub].overflow, "");
    EXPECT_EQ(p.css[MenuMain].textAlign, "");
    EXPECT_EQ(p.css[MenuMain].position, "");
    // Only the third hover line starts the block; the declarations after the first two are loose.
    EXPECT_EQ(p.css[MenuMain].colorHover, "333333");
}

TEST(BlockScan, AnyBraceInTheRawLineClosesTheBlock) {
    Project p;
    Load(Block(".quilso_m li {",
               {"  font-style:italic;", "  font-family:\"}\";", "  font-variant:small-caps;"}),
         p);
    EXPECT_EQ(p.params.css[MenuMain].fontStyle, "italic");
    EXPECT_EQ(p.params.css[MenuMain].fontVariant, "");
    EXPECT_TRUE(p.params.css[MenuMain].fontFamilies.empty());
    // A block without its closing line takes every line to the end of the file.
    Load(CssLine(".quilso_um li {") + "\r\n" + CssLine("  font-style:oblique;") + "\r\n" +
             CssLine(".quilso_m li {") + "\r\n" + CssLine("  font-variant:inherit;"),
         p);
    EXPECT_EQ(p.params.css[MenuSub].fontStyle, "oblique");
    EXPECT_EQ(p.params.css[MenuSub].fontVariant, "inherit"); // read by the sub menu's block
    EXPECT_EQ(p.params.css[MenuMain].fontVariant, "");
}

TEST(BlockScan, MenuAndOtherLinesTakePartInTheFraming) {
    Project p;
    // A menu line whose text holds a brace closes the block it stands in; one whose text holds
    // "*/" closes the options block.
    Load(CssLine(".quilso_m li {") + "\r\n" + CssLine("  font-style:italic;") +
             "\r\nca[0] = new cr(\"a}\", \"a\", cs, cs, cs);\r\n" + CssLine("  font-variant:inherit;") +
             "\r\n/* options\r\nca[1] = new cr(\"*/\", \"b\", cs, cs, cs);\r\nistag=true\r\n",
         p);
    EXPECT_EQ(p.params.css[MenuMain].fontStyle, "italic");
    EXPECT_EQ(p.params.css[MenuMain].fontVariant, "");
    EXPECT_FALSE(p.params.options.isTag);
    EXPECT_EQ(Shape(p.tree), "a}(a) */(b)");
}

TEST(Declarations, KeywordsAndColoursAreExactAndCaseSensitive) {
    const ProjectParams p = LoadBlocks(
        Block(".quilso_m li {", {"  overflow:Hidden;", "  font-style:normal ;", "  direction:rtl;"}) +
        Block(".quilso_m li a {", {"  color:#abcDEF;"}) + Block(".quilso_um li a {", {"  color:#ABCDE;"}) +
        Block(".quilso_bc li a {", {"  color:ABCDEF0;"}) +
        Block(".quilso_m li a#m_selected {", {"  color:#12345G;"}));
    const MenuStyle& m = p.css[MenuMain];
    EXPECT_EQ(m.overflow, "");
    EXPECT_EQ(m.fontStyle, "");
    EXPECT_EQ(m.direction, "rtl");
    EXPECT_EQ(m.color, "abcDEF");
    EXPECT_EQ(p.css[MenuSub].color, "");
    EXPECT_EQ(p.css[MenuBreadcrumb].color, "");
    EXPECT_EQ(m.colorSelected, "");
}

TEST(Declarations, LengthsTakeKeywordsWithTheirDefaultNumber) {
    const ProjectParams p =
        LoadBlocks(Block(".quilso_m li {", {"  width:auto;", "  height:auto;", "  font-size:small;",
                                            "  vertical-align:text-top;", "  letter-spacing:inherit;",
                                            "  word-spacing:3em;", "  text-indent:-1,5pt;"}));
    const MenuStyle& m = p.css[MenuMain];
    EXPECT_EQ(m.widthValue + "|" + m.widthUnit, "150|auto");
    EXPECT_EQ(m.heightValue + "|" + m.heightUnit, "30|auto");
    EXPECT_EQ(m.fontSizeValue + "|" + m.fontSizeUnit, "10|small");
    EXPECT_EQ(m.verticalAlignValue + "|" + m.verticalAlignUnit, "0|text-top");
    EXPECT_EQ(m.letterSpacingValue + "|" + m.letterSpacingUnit, "0|inherit");
    EXPECT_EQ(m.wordSpacingValue + "|" + m.wordSpacingUnit, "3|em");
    EXPECT_EQ(m.textIndentValue + "|" + m.textIndentUnit, "-1,5|pt");
}

TEST(Declarations, LaterDeclarationWinsAndUnusableValuesKeepTheField) {
    const ProjectParams p =
        LoadBlocks(Block(".quilso_m li {", {"  width:auto;", "  width:120px;", "  height:12;",
                                            "  font-size:auto;", "  text-indent:normal;"}));
    const MenuStyle& m = p.css[MenuMain];
    EXPECT_EQ(m.widthValue + "|" + m.widthUnit, "120|px");
    EXPECT_EQ(m.heightValue + "|" + m.heightUnit, "|");
    EXPECT_EQ(m.fontSizeValue + "|" + m.fontSizeUnit, "|"); // "auto" is no keyword of the font size
    EXPECT_EQ(m.textIndentUnit, "");
}

TEST(Declarations, LineHeightTakesABareFactor) {
    Project p;
    Load(Block(".quilso_m li {", {"  line-height:1.5;"}), p);
    EXPECT_EQ(p.params.css[MenuMain].lineHeightValue + "|" + p.params.css[MenuMain].lineHeightUnit, "1.5|");
    Load(Block(".quilso_m li {", {"  line-height:-;", "  line-height:abc;"}), p);
    EXPECT_EQ(p.params.css[MenuMain].lineHeightValue + "|" + p.params.css[MenuMain].lineHeightUnit, "1.5|");
    Load(Block(".quilso_m li {", {"  line-height:normal;"}), p);
    EXPECT_EQ(p.params.css[MenuMain].lineHeightValue + "|" + p.params.css[MenuMain].lineHeightUnit,
              "0|normal");
}

TEST(Declarations, FontFamiliesLoseTheirQuotes) {
    const ProjectParams p =
        LoadBlocks(Block(".quilso_m li {", {"  font-family:Arial, \"Times New Roman\", serif;"}) +
                   Block(".quilso_um li {", {"  font-family:\"A, B\",C ,\"D;"}));
    EXPECT_EQ(p.css[MenuMain].fontFamilies, (std::vector<std::string>{"Arial", "Times New Roman", "serif"}));
    // An unclosed quote swallows the closing ";" in the split; it is not taken into the value.
    EXPECT_EQ(p.css[MenuSub].fontFamilies, (std::vector<std::string>{"A, B", "C ", "\"D"}));
}

TEST(Declarations, AnApostropheInAFamilySurvivesSaveAndReopen) {
    Project project;
    project.params.css[MenuMain].fontFamilies = {"Ann's"};
    project.params.css[MenuSub].borderStyle[SideLeft] = "x'y";
    std::vector<std::string> first, second;
    BuildMenuScript(project, ProgramInfo{}, "01.01.2027", first);
    std::string text;
    for (const auto& line : first)
        text += line + "\r\n";
    Project reread;
    Load(text, reread);
    EXPECT_EQ(reread.params.css[MenuMain].fontFamilies, (std::vector<std::string>{"Ann's"}));
    EXPECT_EQ(reread.params.css[MenuSub].borderStyle[SideLeft], "x'y");
    BuildMenuScript(reread, ProgramInfo{}, "01.01.2027", second);
    EXPECT_EQ(first, second);
}

TEST(Declarations, TextDecorationClearsEveryFlagFirst) {
    Project p;
    Load(Block(".quilso_m li a {", {"  text-decoration:underline blink;"}), p);
    const MenuStyle& m = p.params.css[MenuMain];
    EXPECT_TRUE(m.textDecorationUnderline && m.textDecorationBlink);
    EXPECT_FALSE(m.textDecorationOverline || m.textDecorationLineThrough || m.textDecorationInherit);
    Load(Block(".quilso_m li a {", {"  text-decoration:overline;"}), p);
    EXPECT_TRUE(m.textDecorationOverline);
    EXPECT_FALSE(m.textDecorationUnderline || m.textDecorationBlink);
    Load(Block(".quilso_m li a {", {"  text-decoration:inherit underline;"}), p);
    EXPECT_TRUE(m.textDecorationInherit);
    EXPECT_FALSE(m.textDecorationUnderline || m.textDecorationOverline);
    Load(Block(".quilso_m li a {", {"  text-decoration:none;"}), p);
    EXPECT_FALSE(m.textDecorationInherit || m.textDecorationOverline);
    // The word test looks for contained words.
    Load(Block(".quilso_m li a {", {"  text-decoration:underlined line-throughs;"}), p);
    EXPECT_TRUE(m.textDecorationUnderline && m.textDecorationLineThrough);
}

TEST(Declarations, ContainerTakesTheSideEvenWhenTheValueIsRejected) {
    Project p;
    Load(Block(".quilso_m {", {"  position:anything;", "  left:12px;", "  bottom:auto;"}), p);
    MenuStyle& m = p.params.css[MenuMain];
    EXPECT_EQ(m.position, "anything");
    EXPECT_EQ(m.offsetXSide + m.offsetXValue + m.offsetXUnit, "left12px");
    EXPECT_EQ(m.offsetYSide + m.offsetYValue + m.offsetYUnit, "bottom0auto");
    Load(Block(".quilso_m {", {"  right:wide;", "  top:5;", "  margin:0px;"}), p);
    EXPECT_EQ(m.offsetXSide + m.offsetXValue + m.offsetXUnit, "right12px");
    EXPECT_EQ(m.offsetYSide + m.offsetYValue + m.offsetYUnit, "top0auto");
}

TEST(Declarations, BoxDeclarationsFollowTheWriterSplitPerMenu) {
    const std::initializer_list<std::string_view> boxes = {"  margin-left:1px;",
                                                           "  margin-top:2px;",
                                                           "  border-right-width:thin;",
                                                           "  border-bottom-color:#A1B2C3;",
                                                           "  border-top-style:dashed;",
                                                           "  padding-left:4em;",
                                                           "  background-color:transparent;"};
    const ProjectParams p = LoadBlocks(Block(".quilso_m li {", boxes) + Block(".quilso_um li a {", boxes) +
                                       Block(".quilso_bc li {", boxes) + Block(".quilso_bc li a {", boxes));
    const MenuStyle& m = p.css[MenuMain];
    EXPECT_EQ(m.boxValue[BoxMargin][SideLeft] + m.boxUnit[BoxMargin][SideLeft], "1px");
    EXPECT_EQ(m.boxValue[BoxMargin][SideTop] + m.boxUnit[BoxMargin][SideTop], "2px");
    EXPECT_EQ(m.boxValue[BoxBorder][SideRight] + m.boxUnit[BoxBorder][SideRight], "0thin");
    EXPECT_EQ(m.borderColor[SideBottom], "A1B2C3");
    EXPECT_EQ(m.borderStyle[SideTop], "dashed");
    EXPECT_EQ(m.boxValue[BoxPadding][SideLeft] + m.boxUnit[BoxPadding][SideLeft], "4em");
    EXPECT_EQ(m.backgroundColor, "transparent");
    // The sub menu's link block reads no boxes and no background.
    EXPECT_EQ(p.css[MenuSub], MenuStyle{});
    // The trail: vertical margins from the item, the rest from the link.
    const MenuStyle& bc = p.css[MenuBreadcrumb];
    EXPECT_EQ(bc.boxUnit[BoxMargin][SideTop], "px");
    EXPECT_EQ(bc.boxValue[BoxMargin][SideLeft] + bc.boxUnit[BoxMargin][SideLeft], "1px");
    EXPECT_EQ(bc.boxUnit[BoxBorder][SideRight], "thin");
    EXPECT_EQ(bc.borderColor[SideBottom], "A1B2C3");
    EXPECT_EQ(bc.borderStyle[SideTop], "dashed");
    EXPECT_EQ(bc.boxUnit[BoxPadding][SideLeft], "em");
    EXPECT_EQ(bc.backgroundColor, "transparent");

    // What each block of the trail must not read.
    const ProjectParams only =
        LoadBlocks(Block(".quilso_bc li {",
                         {"  margin-left:9px;", "  padding-top:9px;", "  background-color:#999999;"}) +
                   Block(".quilso_bc li a {", {"  margin-top:9px;"}));
    EXPECT_EQ(only.css[MenuBreadcrumb], MenuStyle{});
}

TEST(Declarations, BoxNamesWithUnknownWordsAreSkipped) {
    const ProjectParams p = LoadBlocks(Block(
        ".quilso_m li {", {"  margin-middle:1px;", "  border-left-colour:#FFFFFF;", "  border-left:1px;",
                           "  padding-left-x:1px;", "  margin--right:3px;", "  border-left-style:;"}));
    MenuStyle expected;
    expected.boxValue[BoxMargin][SideRight] = "3";
    expected.boxUnit[BoxMargin][SideRight] = "px";
    EXPECT_EQ(p.css[MenuMain], expected);
}

TEST(Declarations, BackgroundColoursAndHoverFields) {
    const ProjectParams p =
        LoadBlocks(Block(".quilso_m li a#m_selected {", {"  background-color:inherit;"}) +
                   Block(".quilso_um li a:active {", {"  color:#FEDCBA;", "  background-color:#0a0B0c;"}) +
                   Block(".quilso_bc li a:active {", {"  background-color:Transparent;"}));
    EXPECT_EQ(p.css[MenuMain].backgroundColorSelected, "inherit");
    EXPECT_EQ(p.css[MenuSub].colorHover, "FEDCBA");
    EXPECT_EQ(p.css[MenuSub].backgroundColorHover, "0a0B0c");
    EXPECT_EQ(p.css[MenuBreadcrumb].backgroundColorHover, "");
}

TEST(Options, IsTagLine) {
    Project p;
    Load("/* options\r\nistag=true\r\n*/\r\n", p);
    EXPECT_TRUE(p.params.options.isTag);
    Load("/* options\r\nistag=TRUE\r\n*/\r\n", p);
    EXPECT_FALSE(p.params.options.isTag);
    p.params.options.isTag = true;
    Load("/* options\r\nistag =false\r\n*/\r\n", p); // the name keeps its trailing space
    EXPECT_TRUE(p.params.options.isTag);
    Load("/* options  \r\n  istag = 1\r\n*/\r\n", p);
    EXPECT_TRUE(p.params.options.isTag);
    Load("/* options  \r\nistag=1\r\n*/\r\n", p);
    EXPECT_FALSE(p.params.options.isTag);
    // Header blocks other than the options block have no effect; an unclosed block runs to the end.
    Load("/* project\r\nistag=true\r\n*/\r\n/*options\r\nistag=true\r\n", p);
    EXPECT_FALSE(p.params.options.isTag);
    Load("/* options\r\nistag=true", p);
    EXPECT_TRUE(p.params.options.isTag);
}

TEST(Overlay, StylesKeepUnnamedValuesButHoverColoursAreForgotten) {
    Project p;
    Load(Block(".quilso_m li {", {"  font-weight:bold;"}) +
             Block(".quilso_m li a:active {", {"  color:#FF0000;"}) +
             Block(".quilso_bc li a:active {", {"  background-color:#00FF00;"}),
         p);
    EXPECT_EQ(p.params.css[MenuMain].colorHover, "FF0000");
    Load(Block(".quilso_m li {", {"  font-style:italic;"}), p);
    EXPECT_EQ(p.params.css[MenuMain].fontWeight, "bold");
    EXPECT_EQ(p.params.css[MenuMain].fontStyle, "italic");
    EXPECT_EQ(p.params.css[MenuMain].colorHover, "");
    EXPECT_EQ(p.params.css[MenuBreadcrumb].backgroundColorHover, "");
}
