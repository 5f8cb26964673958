// The three-entry sample project whose saved form is golden/example.js.
#pragma once

#include "project.h"

namespace quilso::sample {

inline void setBoxes(MenuStyle& css, const char* margin, const char* border, const char* padV,
                     const char* padH) {
    for (int s = 0; s < BoxSideCount; ++s) {
        css.boxValue[BoxMargin][s] = margin;
        css.boxUnit[BoxMargin][s] = "px";
        css.boxValue[BoxBorder][s] = border;
        css.boxUnit[BoxBorder][s] = "px";
        css.boxValue[BoxPadding][s] = s == SideLeft || s == SideRight ? padH : padV;
        css.boxUnit[BoxPadding][s] = "px";
        css.borderColor[s] = "C0C0C0";
        css.borderStyle[s] = "solid";
    }
}

inline MenuStyle exampleCss() {
    MenuStyle css;
    css.clear = "none";
    css.cssFloat = "left";
    css.position = "relative";
    css.offsetXSide = "left";
    css.offsetXValue = "0";
    css.offsetXUnit = "auto";
    css.offsetYSide = "top";
    css.offsetYValue = "0";
    css.offsetYUnit = "auto";
    css.widthValue = "150";
    css.widthUnit = "px";
    css.heightValue = "20";
    css.heightUnit = "auto";
    css.overflow = "hidden";
    css.letterSpacingValue = "1";
    css.letterSpacingUnit = "normal";
    css.lineHeightValue = "1.2";
    css.lineHeightUnit = "em";
    css.direction = "ltr";
    css.textAlign = "left";
    css.textIndentValue = "5";
    css.textIndentUnit = "px";
    css.textTransform = "none";
    css.wordSpacingValue = "";
    css.wordSpacingUnit = "normal";
    css.verticalAlignValue = "3";
    css.verticalAlignUnit = "baseline";
    css.whiteSpace = "nowrap";
    css.fontFamilies = {"Arial", "Helvetica", "sans-serif"};
    css.fontSizeValue = "10";
    css.fontSizeUnit = "pt";
    css.fontStyle = "normal";
    css.fontVariant = "normal";
    css.fontWeight = "bold";
    css.color = "000000";
    css.colorSelected = "FFFFFF";
    css.backgroundColorSelected = "0000FF";
    css.colorHover = "FF0000";
    css.backgroundColor = "transparent";
    setBoxes(css, "0", "1", "1", "2");
    return css;
}

inline void makeExampleProject(Project& project) {
    MenuStyle& m = project.params.css[MenuMain];
    m = exampleCss();

    MenuStyle& um = project.params.css[MenuSub];
    um = exampleCss();
    um.position = "absolute";
    um.offsetXValue = "150";
    um.offsetXUnit = "px";
    um.offsetYValue = "0";
    um.offsetYUnit = "px";
    um.fontFamilies = {"Times New Roman", "Times", "serif"};
    um.fontSizeValue = "12";
    um.fontSizeUnit = "small";
    um.fontWeight = "normal";
    um.backgroundColor = "EEEEEE";
    um.textDecorationUnderline = true;
    um.textDecorationBlink = true;
    um.colorHover.clear();

    MenuStyle& bc = project.params.css[MenuBreadcrumb];
    bc = exampleCss();
    bc.widthUnit = "auto";
    bc.heightValue = "20";
    bc.heightUnit = "px";
    bc.fontWeight = "normal";
    bc.textDecorationInherit = true;
    bc.textDecorationOverline = true;
    bc.backgroundColor = "FFFFCC";
    bc.colorHover.clear();
    bc.backgroundColorHover = "inherit";

    project.params.options.isTag = false;
    SiteTree& tree = project.tree;
    tree.insert(tree.root(), -1, {"Home", "index.htm"});
    SiteNode* products = tree.insert(tree.root(), -1, {"Produkte", "produkte.htm"});
    tree.insert(products, -1, {"Filialen", "Filialen.htm"});
}

inline ProgramInfo exampleProgram() {
    ProgramInfo program;
    program.functionsLines = {"function cr(text, file, next, parent, child) {", "  this.text = text;", "}"};
    return program;
}

} // namespace quilso::sample
