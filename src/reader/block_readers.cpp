// The declaration readers of the six rule blocks: each recognised declaration is stored into the
// menu's style record and then reported to the observer.
#include "reader_internal.h"
#include "value_helpers.h"

#include <initializer_list>
#include <optional>

namespace quilso::reader {

namespace {
constexpr Splitter DeclarationSplit(":;", " ");
constexpr Splitter FamilySplit(",", " ");
constexpr Splitter NameSplit("-", "");

using Keywords = std::initializer_list<std::string_view>;

bool OneOf(std::string_view value, Keywords keywords) {
    for (std::string_view k : keywords)
        if (value == k) return true;
    return false;
}

bool ReadKeyword(std::string_view value, Keywords keywords, std::string& field) {
    if (!OneOf(value, keywords)) return false;
    field = value;
    return true;
}

// A keyword goes into the unit field with the row's default number; otherwise a number and a
// unit must both be present.
bool ReadLength(std::string_view value, Keywords keywords, std::string_view defaultNumber,
                std::string& number, std::string& unit) {
    if (OneOf(value, keywords)) {
        unit = value;
        number = defaultNumber;
        return true;
    }
    std::string n, u;
    if (!SplitValueUnit(value, n, u)) return false;
    number = std::move(n);
    unit = std::move(u);
    return true;
}

bool ReadColour(std::string_view value, std::string& field) {
    if (value.size() != 7 || value[0] != '#') return false;
    for (char c : value.substr(1)) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
        if (!hex) return false;
    }
    field = value.substr(1);
    return true;
}

bool ReadBackground(std::string_view value, std::string& field) {
    if (value == "transparent" || value == "inherit") {
        field = value;
        return true;
    }
    return ReadColour(value, field);
}

// The line height also takes a bare number, a factor of the normal height.
bool ReadLineHeight(std::string_view value, MenuStyle& css) {
    if (ReadLength(value, {"normal", "inherit"}, "0", css.lineHeightValue, css.lineHeightUnit)) return true;
    std::string number, unit;
    SplitValueUnit(value, number, unit);
    if (!unit.empty() || number.find_first_of("0123456789") == std::string::npos) return false;
    css.lineHeightValue = std::move(number);
    css.lineHeightUnit.clear();
    return true;
}

void ReadFamilies(std::string_view value, MenuStyle& css) {
    css.fontFamilies.clear();
    FamilySplit.forEach(value, [&](std::string_view family) {
        if (family.front() == '"' && family.back() == '"')
            family = family.size() >= 2 ? family.substr(1, family.size() - 2) : std::string_view();
        css.fontFamilies.emplace_back(family);
        return true;
    });
}

// The word test: every flag is cleared first, so the flags read are exactly what the line names.
void ReadTextDecoration(std::string_view value, MenuStyle& css) {
    css.textDecorationUnderline = css.textDecorationOverline = false;
    css.textDecorationLineThrough = css.textDecorationBlink = false;
    css.textDecorationInherit = false;
    if (Contains(value, "inherit")) {
        css.textDecorationInherit = true;
    } else if (!Contains(value, "none")) {
        css.textDecorationUnderline = Contains(value, "underline");
        css.textDecorationOverline = Contains(value, "overline");
        css.textDecorationLineThrough = Contains(value, "line-through");
        css.textDecorationBlink = Contains(value, "blink");
    }
}

int SideIndex(std::string_view word) {
    for (int s = 0; s < BoxSideCount; ++s)
        if (word == BoxSideTexts[static_cast<std::size_t>(s)]) return s;
    return -1;
}

// Which sides of each box part a block reads, as a bit mask of BoxSide per BoxPart.
struct BoxSides {
    unsigned margin = 0, border = 0, padding = 0;
};
constexpr unsigned AllSides = 0xF;
constexpr unsigned LeftRight = (1u << SideLeft) | (1u << SideRight);
constexpr unsigned TopBottom = (1u << SideTop) | (1u << SideBottom);

// A margin, padding or border declaration of the block, or nothing when the name is none the
// block reads (an unknown side word or attribute included).
std::optional<bool> ReadBoxDeclaration(std::string_view name, std::string_view value, BoxSides sides,
                                       MenuStyle& css) {
    const auto parts = SplitAtMost<3>(name, NameSplit);
    if (parts.count == 2 && (parts.piece[0] == "margin" || parts.piece[0] == "padding")) {
        const bool margin = parts.piece[0] == "margin";
        const int side = SideIndex(parts.piece[1]);
        if (side < 0 || !((margin ? sides.margin : sides.padding) >> side & 1u)) return std::nullopt;
        const int part = margin ? BoxMargin : BoxPadding;
        // The keyword lists must be arguments: a list stored in a variable from a conditional
        // outlives its backing array.
        if (margin)
            return ReadLength(value, {"auto", "inherit"}, "0", css.boxValue[part][side],
                              css.boxUnit[part][side]);
        return ReadLength(value, {"inherit"}, "0", css.boxValue[part][side], css.boxUnit[part][side]);
    }
    if (parts.count == 3 && parts.piece[0] == "border") {
        const int side = SideIndex(parts.piece[1]);
        if (side < 0 || !(sides.border >> side & 1u)) return std::nullopt;
        const std::string_view attribute = parts.piece[2];
        if (attribute == "width")
            return ReadLength(value, {"thin", "medium", "thick", "inherit"}, "0",
                              css.boxValue[BoxBorder][side], css.boxUnit[BoxBorder][side]);
        if (attribute == "color") return ReadColour(value, css.borderColor[side]);
        if (attribute == "style") {
            css.borderStyle[side] = value;
            return true;
        }
    }
    return std::nullopt;
}

// One declaration of a block: nothing when the block does not read the property, else whether
// the value was stored.
using DeclarationReader = std::optional<bool> (*)(MenuKind kind, std::string_view name,
                                                  std::string_view value, MenuStyle& css);

// A lone apostrophe in a value (a family such as Ann's) opens a quoted run that swallows the
// declaration's closing ";". Taking that ";" as part of the value would make the value grow by one
// ";" on every save and reopen, so a value that ends inside an unclosed run loses it.
std::string_view DropSwallowedTerminator(std::string_view value) {
    char open = 0;
    for (const char c : value) {
        if (open) {
            if (c == open) open = 0;
        } else if (c == '\'' || c == '"') {
            open = c;
        }
    }
    if (open && !value.empty() && value.back() == ';') value.remove_suffix(1);
    return value;
}

// Walks the block's lines up to its closing line, handing each declaration to `read`.
void ReadBlockLines(ReadContext& ctx, MenuKind kind, BlockKind block, LineCursor& lines,
                    DeclarationReader read) {
    std::string_view line;
    while (lines.next(line)) {
        if (Contains(line, "}")) return;
        if (!CssTextOf(line, ctx.css)) continue;
        const auto declaration = SplitAtMost<2>(ctx.css, DeclarationSplit);
        if (declaration.count != 2) continue;
        const std::string_view name = declaration.piece[0];
        if (const auto stored =
                read(kind, name, DropSwallowedTerminator(declaration.piece[1]), ctx.style(kind)))
            ctx.observer.declarationRead(kind, block, name, *stored);
    }
}

std::optional<bool> OuterBoxDeclaration(MenuKind, std::string_view name, std::string_view value,
                                        MenuStyle& css) {
    if (name == "clear") return ReadKeyword(value, {"none", "left", "right", "both"}, css.clear);
    if (name == "float") return ReadKeyword(value, {"none", "left", "right"}, css.cssFloat);
    return std::nullopt;
}

std::optional<bool> ContainerDeclaration(MenuKind, std::string_view name, std::string_view value,
                                         MenuStyle& css) {
    if (name == "position") {
        css.position = value;
        return true;
    }
    // The side is taken even when the value is not.
    if (name == "left" || name == "right") {
        css.offsetXSide = name;
        return ReadLength(value, {"auto"}, "0", css.offsetXValue, css.offsetXUnit);
    }
    if (name == "top" || name == "bottom") {
        css.offsetYSide = name;
        return ReadLength(value, {"auto"}, "0", css.offsetYValue, css.offsetYUnit);
    }
    return std::nullopt;
}

std::optional<bool> ItemDeclaration(MenuKind kind, std::string_view name, std::string_view value,
                                    MenuStyle& css) {
    if (name == "width") return ReadLength(value, {"auto"}, "150", css.widthValue, css.widthUnit);
    if (name == "height") return ReadLength(value, {"auto"}, "30", css.heightValue, css.heightUnit);
    if (name == "overflow") return ReadKeyword(value, {"auto", "hidden", "visible", "scroll"}, css.overflow);
    if (name == "letter-spacing")
        return ReadLength(value, {"normal", "inherit"}, "0", css.letterSpacingValue, css.letterSpacingUnit);
    if (name == "line-height") return ReadLineHeight(value, css);
    if (name == "direction") return ReadKeyword(value, {"ltr", "rtl", "inherit"}, css.direction);
    if (name == "text-indent")
        return ReadLength(value, {"inherit"}, "0", css.textIndentValue, css.textIndentUnit);
    if (name == "text-transform")
        return ReadKeyword(value, {"none", "capitalize", "lowercase", "uppercase", "inherit"},
                           css.textTransform);
    if (name == "word-spacing")
        return ReadLength(value, {"normal", "inherit"}, "0", css.wordSpacingValue, css.wordSpacingUnit);
    if (name == "vertical-align")
        return ReadLength(value,
                          {"baseline", "bottom", "middle", "sub", "super", "text-top", "text-bottom", "top"},
                          "0", css.verticalAlignValue, css.verticalAlignUnit);
    if (name == "font-family") {
        ReadFamilies(value, css);
        return true;
    }
    if (name == "font-size")
        return ReadLength(value,
                          {"xx-small", "x-small", "small", "medium", "large", "x-large", "xx-large",
                           "smaller", "larger", "inherit"},
                          "10", css.fontSizeValue, css.fontSizeUnit);
    if (name == "font-style")
        return ReadKeyword(value, {"normal", "italic", "oblique", "inherit"}, css.fontStyle);
    if (name == "font-variant")
        return ReadKeyword(value, {"normal", "small-caps", "inherit"}, css.fontVariant);
    if (name == "font-weight") {
        css.fontWeight = value;
        return true;
    }
    // The breadcrumb trail's items carry only their vertical margins; its links carry the rest.
    const BoxSides sides =
        kind == MenuBreadcrumb ? BoxSides{TopBottom, 0, 0} : BoxSides{AllSides, AllSides, AllSides};
    if (const auto stored = ReadBoxDeclaration(name, value, sides, css)) return stored;
    if (name == "background-color" && kind != MenuBreadcrumb)
        return ReadBackground(value, css.backgroundColor);
    return std::nullopt;
}

std::optional<bool> LinkDeclaration(MenuKind kind, std::string_view name, std::string_view value,
                                    MenuStyle& css) {
    if (name == "text-align")
        return ReadKeyword(value, {"left", "right", "center", "justify", "inherit"}, css.textAlign);
    if (name == "text-decoration") {
        ReadTextDecoration(value, css);
        return true;
    }
    if (name == "white-space")
        return ReadKeyword(value, {"normal", "pre", "nowrap", "inherit"}, css.whiteSpace);
    if (name == "color") return ReadColour(value, css.color);
    if (kind != MenuBreadcrumb) return std::nullopt;
    if (const auto stored = ReadBoxDeclaration(name, value, BoxSides{LeftRight, AllSides, AllSides}, css))
        return stored;
    if (name == "background-color") return ReadBackground(value, css.backgroundColor);
    return std::nullopt;
}

std::optional<bool> SelectedLinkDeclaration(MenuKind, std::string_view name, std::string_view value,
                                            MenuStyle& css) {
    if (name == "color") return ReadColour(value, css.colorSelected);
    if (name == "background-color") return ReadBackground(value, css.backgroundColorSelected);
    return std::nullopt;
}

std::optional<bool> HoverDeclaration(MenuKind, std::string_view name, std::string_view value,
                                     MenuStyle& css) {
    if (name == "color") return ReadColour(value, css.colorHover);
    if (name == "background-color") return ReadBackground(value, css.backgroundColorHover);
    return std::nullopt;
}
} // namespace

void ReadOuterBoxBlock(ReadContext& ctx, MenuKind kind, std::string_view, LineCursor& lines) {
    ReadBlockLines(ctx, kind, BlockKind::OuterBox, lines, OuterBoxDeclaration);
}

void ReadContainerBlock(ReadContext& ctx, MenuKind kind, std::string_view, LineCursor& lines) {
    ReadBlockLines(ctx, kind, BlockKind::Container, lines, ContainerDeclaration);
}

void ReadItemBlock(ReadContext& ctx, MenuKind kind, std::string_view, LineCursor& lines) {
    ReadBlockLines(ctx, kind, BlockKind::Item, lines, ItemDeclaration);
}

void ReadLinkBlock(ReadContext& ctx, MenuKind kind, std::string_view, LineCursor& lines) {
    ReadBlockLines(ctx, kind, BlockKind::Link, lines, LinkDeclaration);
}

void ReadSelectedLinkBlock(ReadContext& ctx, MenuKind kind, std::string_view, LineCursor& lines) {
    ReadBlockLines(ctx, kind, BlockKind::SelectedLink, lines, SelectedLinkDeclaration);
}

void ReadHoverBlock(ReadContext& ctx, MenuKind kind, std::string_view, LineCursor& lines) {
    ReadBlockLines(ctx, kind, BlockKind::Hover, lines, HoverDeclaration);
}

} // namespace quilso::reader
