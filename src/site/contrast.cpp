#include "contrast.h"

#include <cmath>
#include <cstdio>

namespace quilso {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

double channel(int value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

std::string hex(Rgb c) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", c.red, c.green, c.blue);
    return text;
}

} // namespace

std::optional<Rgb> ParseHexColor(std::string_view text) {
    if (!text.empty() && text[0] == '#') text.remove_prefix(1);
    if (text.size() != 6) return std::nullopt;
    int v[6];
    for (int i = 0; i < 6; ++i)
        if ((v[i] = hexDigit(text[static_cast<std::size_t>(i)])) < 0) return std::nullopt;
    return Rgb{v[0] * 16 + v[1], v[2] * 16 + v[3], v[4] * 16 + v[5]};
}

double RelativeLuminance(Rgb c) {
    return 0.2126 * channel(c.red) + 0.7152 * channel(c.green) + 0.0722 * channel(c.blue);
}

double ContrastRatio(Rgb a, Rgb b) {
    const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

std::string FormatRatio(double ratio) {
    // The small epsilon keeps 4.5 computed as 4.4999999 from showing as 4,4.
    const long tenths = static_cast<long>(std::floor(ratio * 10 + 1e-9));
    return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10) + ":1";
}

namespace {

MenuContrast contrastOn(const MenuStyle& style, MenuState state, Rgb behind) {
    std::optional<Rgb> text, background;
    switch (state) {
    case MenuState::Normal:
        break;
    case MenuState::Current:
        text = ParseHexColor(style.colorSelected);
        background = ParseHexColor(style.backgroundColorSelected);
        break;
    case MenuState::Hover:
        text = ParseHexColor(style.colorHover);
        background = ParseHexColor(style.backgroundColorHover);
        break;
    }
    if (!text) text = ParseHexColor(style.color);
    if (!background) background = ParseHexColor(style.backgroundColor);
    const Rgb fg = text.value_or(Rgb{0, 0, 0});
    const Rgb bg = background.value_or(behind);
    return {hex(fg), hex(bg), ContrastRatio(fg, bg)};
}

} // namespace

MenuContrast ContrastOf(const MenuStyle& style, MenuState state) {
    return contrastOn(style, state, Rgb{255, 255, 255});
}

MenuContrast NestedSubContrastOf(const MenuStyle& sub, const MenuStyle& main, MenuState state) {
    return contrastOn(sub, state, ParseHexColor(main.backgroundColor).value_or(Rgb{255, 255, 255}));
}

} // namespace quilso
