// The project model: style records of the three menus, the project options and the constant
// tables shared by writer, reader and style panels. All strings are Windows-1252 bytes.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace quilso {

// 0 = main menu, 1 = sub menu, 2 = breadcrumb trail.
enum MenuKind : int { MenuMain = 0, MenuSub = 1, MenuBreadcrumb = 2 };
constexpr int MenuKindCount = 3;

// Short id used in class names (quilso_m) and in the id of the current page's link (m_selected).
constexpr std::array<std::string_view, MenuKindCount> MenuIds = {"m", "um", "bc"};
// German tab captions, in MenuKind order; UTF-8 because only the GUI shows them.
constexpr std::array<std::string_view, MenuKindCount> MenuLabelsUtf8 = {
    "Haupt-Men\xC3\xBC", "Unter-Men\xC3\xBC", "Vorg\xC3\xA4nger-Men\xC3\xBC"};

enum BoxPart : int { BoxMargin = 0, BoxBorder = 1, BoxPadding = 2 };
enum BoxSide : int { SideLeft = 0, SideRight = 1, SideTop = 2, SideBottom = 3 };
constexpr int BoxPartCount = 3;
constexpr int BoxSideCount = 4;
constexpr std::array<std::string_view, BoxPartCount> BoxPartTexts = {"margin", "border", "padding"};
// Side order is left, right, top, bottom; every loop over sides follows it.
constexpr std::array<std::string_view, BoxSideCount> BoxSideTexts = {"left", "right", "top", "bottom"};

// The nine CSS length units; their order is the item order of every unit list in the panels.
constexpr std::array<std::string_view, 9> CssUnits = {"em", "ex", "px", "in", "cm", "mm", "pt", "pc", "%"};
constexpr int CssUnitsLast = 8;

// Style parameters of one menu, held as the CSS text that will be written.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the checker sees the compiler's own names in
// the defaulted comparison.
struct MenuStyle {
    std::string clear;
    std::string cssFloat;
    std::string position;
    std::string offsetXSide;
    std::string offsetXValue;
    std::string offsetXUnit;
    std::string offsetYSide;
    std::string offsetYValue;
    std::string offsetYUnit;
    std::string widthValue;
    std::string widthUnit;
    std::string heightValue;
    std::string heightUnit;
    std::string overflow;
    std::string letterSpacingValue;
    std::string letterSpacingUnit;
    std::string lineHeightValue;
    std::string lineHeightUnit;
    std::string direction;
    std::string textAlign;
    std::string textIndentValue;
    std::string textIndentUnit;
    std::string textTransform;
    std::string wordSpacingValue;
    std::string wordSpacingUnit;
    bool textDecorationUnderline = false;
    bool textDecorationOverline = false;
    bool textDecorationLineThrough = false;
    bool textDecorationBlink = false;
    bool textDecorationInherit = false;
    std::string verticalAlignValue;
    std::string verticalAlignUnit;
    std::string whiteSpace;
    std::vector<std::string> fontFamilies;
    std::string fontSizeValue;
    std::string fontSizeUnit;
    std::string fontStyle;
    std::string fontVariant;
    std::string fontWeight;
    std::string color;
    std::string colorSelected;
    std::string backgroundColorSelected;
    std::string colorHover;           // empty: no hover colour is written
    std::string backgroundColorHover; // empty: no hover background is written
    std::string boxValue[BoxPartCount][BoxSideCount];
    std::string boxUnit[BoxPartCount][BoxSideCount];
    std::string borderColor[BoxSideCount];
    std::string borderStyle[BoxSideCount];
    std::string backgroundColor;

    bool operator==(const MenuStyle&) const = default;
};

struct ProjectOptions {
    bool isTag = false; // '<' and '>' in menu texts are markup, written unencoded
    bool operator==(const ProjectOptions&) const = default;
};

// NOLINTNEXTLINE(bugprone-reserved-identifier): as for MenuStyle.
struct ProjectParams {
    MenuStyle css[MenuKindCount];
    ProjectOptions options;
    bool operator==(const ProjectParams&) const = default;
};

} // namespace quilso
