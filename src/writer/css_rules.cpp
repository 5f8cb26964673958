// The CSS rule blocks of one menu inside the style function. Every value is stored as the text
// it is written as, so a block is mostly concatenation; the value forms below decide where a
// number is dropped in front of a keyword.
#include "script_sections.h"
#include "value_helpers.h"

namespace quilso {

namespace {

std::string autoPair(const std::string& value, const std::string& unit) {
    return unit == "auto" ? unit : value + unit;
}

std::string normalPair(const std::string& value, const std::string& unit) {
    return unit == "normal" || unit == "inherit" ? unit : value + unit;
}

std::string inheritPair(const std::string& value, const std::string& unit) {
    return unit == "inherit" ? unit : value + unit;
}

// A number is only meaningful in front of a length unit; keywords stand alone.
std::string unitPair(const std::string& value, const std::string& unit) {
    return CssUnitIndex(unit) >= 0 ? value + unit : unit;
}

std::string background(const std::string& colour) {
    return colour == "transparent" || colour == "inherit" ? colour : "#" + colour;
}

std::string familyList(const std::vector<std::string>& families) {
    // The separator goes by position, not by what was written so far: an empty first name
    // still needs its comma.
    std::string list;
    for (std::size_t i = 0; i < families.size(); ++i) {
        const std::string& name = families[i];
        if (i > 0) list += ", ";
        if (name.find(' ') != std::string::npos)
            list += '"' + name + '"';
        else
            list += name;
    }
    return list;
}

std::string decoration(const MenuStyle& css) {
    if (css.textDecorationInherit) return "inherit";
    std::string words;
    const std::pair<bool, const char*> flags[] = {{css.textDecorationUnderline, "underline"},
                                                  {css.textDecorationOverline, "overline"},
                                                  {css.textDecorationLineThrough, "line-through"},
                                                  {css.textDecorationBlink, "blink"}};
    for (const auto& [set, word] : flags) {
        if (!set) continue;
        if (!words.empty()) words += ' ';
        words += word;
    }
    return words.empty() ? "none" : words;
}

// The selector prefix of every block of one menu: ".quilso_m" and so on.
std::string prefix(MenuKind kind) {
    return ".quilso_" + std::string(MenuIds[kind]);
}

void line(ScriptBuffer& out, std::string_view a, std::string_view b = {}, std::string_view c = {}) {
    std::string css;
    css.reserve(a.size() + b.size() + c.size());
    css.append(a).append(b).append(c);
    AddCssLine(out, css);
}

void endBlock(ScriptBuffer& out) {
    AddCssLine(out, "}");
    AddCssLine(out, "");
    AddBufferWrite(out);
}

void sideLine(ScriptBuffer& out, const MenuStyle& css, BoxPart part, BoxSide side) {
    std::string name = "  ";
    name.append(BoxPartTexts[part]).append("-").append(BoxSideTexts[side]);
    name += part == BoxBorder ? "-width:" : ":";
    line(out, name, unitPair(css.boxValue[part][side], css.boxUnit[part][side]), ";");
}

// Border widths, then colours, then styles, then the paddings, each in side order.
void bordersAndPaddings(ScriptBuffer& out, const MenuStyle& css) {
    for (int s = 0; s < BoxSideCount; ++s)
        sideLine(out, css, BoxBorder, static_cast<BoxSide>(s));
    for (int s = 0; s < BoxSideCount; ++s)
        line(out, "  border-" + std::string(BoxSideTexts[s]) + "-color:#", css.borderColor[s], ";");
    for (int s = 0; s < BoxSideCount; ++s)
        line(out, "  border-" + std::string(BoxSideTexts[s]) + "-style:", css.borderStyle[s], ";");
    for (int s = 0; s < BoxSideCount; ++s)
        sideLine(out, css, BoxPadding, static_cast<BoxSide>(s));
}

void writeOuterBox(ScriptBuffer& out, const MenuStyle& css, MenuKind kind) {
    AddResetLine(out);
    line(out, prefix(kind), "_div {");
    line(out, "  /* position */");
    line(out, "  clear:", css.clear, ";");
    line(out, "  float:", css.cssFloat, ";");
    endBlock(out);
}

void writeContainer(ScriptBuffer& out, const MenuStyle& css, MenuKind kind) {
    AddResetLine(out);
    line(out, prefix(kind), " {");
    line(out, "  /* position */");
    line(out, "  position:", css.position, ";");
    line(out, "  " + css.offsetXSide + ":", autoPair(css.offsetXValue, css.offsetXUnit), ";");
    line(out, "  " + css.offsetYSide + ":", autoPair(css.offsetYValue, css.offsetYUnit), ";");
    line(out, "  margin:0px;");
    line(out, "  padding:0px;");
    endBlock(out);
}

void writeItem(ScriptBuffer& out, const MenuStyle& css, MenuKind kind) {
    const bool trail = kind == MenuBreadcrumb;
    AddResetLine(out);
    line(out, prefix(kind), " li {");
    line(out, "  /* position */");
    if (trail) line(out, "  float:left;");
    line(out, "  width:", autoPair(css.widthValue, css.widthUnit), ";");
    line(out, "  height:", autoPair(css.heightValue, css.heightUnit), ";");
    line(out, "  overflow:", css.overflow, ";");
    line(out, "  /* list-style */");
    line(out, "  list-style-type:none;");
    line(out, "  /* text */");
    line(out, "  letter-spacing:", normalPair(css.letterSpacingValue, css.letterSpacingUnit), ";");
    line(out, "  line-height:", normalPair(css.lineHeightValue, css.lineHeightUnit), ";");
    line(out, "  direction:", css.direction, ";");
    line(out, "  text-indent:", inheritPair(css.textIndentValue, css.textIndentUnit), ";");
    line(out, "  text-transform:", css.textTransform, ";");
    line(out, "  word-spacing:", normalPair(css.wordSpacingValue, css.wordSpacingUnit), ";");
    line(out, "  vertical-align:", unitPair(css.verticalAlignValue, css.verticalAlignUnit), ";");
    line(out, "  /* font */");
    line(out, "  font-family:", familyList(css.fontFamilies), ";");
    line(out, "  font-size:", unitPair(css.fontSizeValue, css.fontSizeUnit), ";");
    line(out, "  font-style:", css.fontStyle, ";");
    line(out, "  font-variant:", css.fontVariant, ";");
    line(out, "  font-weight:", css.fontWeight, ";");
    if (trail) line(out, "  color:#", css.color, ";");
    line(out, "  /* border */");
    if (trail) {
        // Trail items float in a row: only the vertical margins belong to them.
        sideLine(out, css, BoxMargin, SideTop);
        sideLine(out, css, BoxMargin, SideBottom);
    } else {
        for (int s = 0; s < BoxSideCount; ++s)
            sideLine(out, css, BoxMargin, static_cast<BoxSide>(s));
        bordersAndPaddings(out, css);
        line(out, "  /* background */");
        line(out, "  background-color:", background(css.backgroundColor), ";");
    }
    endBlock(out);
}

void writeLink(ScriptBuffer& out, const MenuStyle& css, MenuKind kind) {
    const bool trail = kind == MenuBreadcrumb;
    AddResetLine(out);
    line(out, prefix(kind), " li a {");
    line(out, "  /* position */");
    if (trail) line(out, "  float:left;");
    line(out, "  display:block;");
    if (css.heightUnit != "auto") line(out, "  height:100%;");
    line(out, "  /* text */");
    line(out, "  text-align:", css.textAlign, ";");
    line(out, "  text-decoration:", decoration(css), ";");
    line(out, "  white-space:", css.whiteSpace, ";");
    line(out, "  /* font */");
    line(out, "  color:#", css.color, ";");
    if (trail) {
        line(out, "  /* border */");
        sideLine(out, css, BoxMargin, SideLeft);
        sideLine(out, css, BoxMargin, SideRight);
        bordersAndPaddings(out, css);
        line(out, "  /* background */");
        line(out, "  background-color:", background(css.backgroundColor), ";");
    }
    endBlock(out);
}

void writeSelected(ScriptBuffer& out, const MenuStyle& css, MenuKind kind) {
    AddResetLine(out);
    const std::string id(MenuIds[kind]);
    line(out, prefix(kind), " li a#" + id, "_selected {");
    line(out, "  /* font */");
    line(out, "  color:#", css.colorSelected, ";");
    line(out, "  /* background */");
    line(out, "  background-color:", background(css.backgroundColorSelected), ";");
    endBlock(out);
}

void writeHover(ScriptBuffer& out, const MenuStyle& css, MenuKind kind) {
    AddResetLine(out);
    // Without a hover value the block stays empty but keeps its place, so every file has the
    // same number of blocks.
    if (css.colorHover.empty() && css.backgroundColorHover.empty()) {
        AddBufferWrite(out);
        return;
    }
    line(out, prefix(kind), " li a:hover,");
    line(out, prefix(kind), " li a:focus,");
    line(out, prefix(kind), " li a:active {");
    if (!css.colorHover.empty()) {
        line(out, "  /* font */");
        line(out, "  color:#", css.colorHover, ";");
    }
    if (!css.backgroundColorHover.empty()) {
        line(out, "  /* background */");
        line(out, "  background-color:", background(css.backgroundColorHover), ";");
    }
    endBlock(out);
}

} // namespace

void WriteMenuCss(ScriptBuffer& out, const MenuStyle& css, MenuKind kind) {
    if (kind != MenuSub) writeOuterBox(out, css, kind);
    writeContainer(out, css, kind);
    writeItem(out, css, kind);
    writeLink(out, css, kind);
    writeSelected(out, css, kind);
    writeHover(out, css, kind);
}

} // namespace quilso
