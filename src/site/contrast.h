// Contrast of each menu's text against the background it is shown on, per state, by the
// relative-luminance formula of the web accessibility guidelines.
#pragma once

#include "params.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace quilso {

enum class MenuState { Normal = 0, Current = 1, Hover = 2 };
constexpr int MenuStateCount = 3;
// German names of the states, Windows-1252.
constexpr std::array<std::string_view, MenuStateCount> MenuStateLabels = {"normal", "aktuelle Seite",
                                                                          "Hover/Fokus"};
constexpr std::array<std::string_view, MenuStateCount> MenuStateIds = {"normal", "current", "hover"};

// Ratios below this fail for normal-sized text.
constexpr double MinimumContrast = 4.5;

struct Rgb {
    int red = 0, green = 0, blue = 0;
    bool operator==(const Rgb&) const = default;
};

// Six hexadecimal digits (as the model stores colours, with or without "#"); nothing otherwise.
std::optional<Rgb> ParseHexColor(std::string_view text);
double RelativeLuminance(Rgb colour);
// (lighter + 0.05) / (darker + 0.05): 1 for equal colours, 21 for black on white.
double ContrastRatio(Rgb a, Rgb b);
// "5,9:1": one decimal with a comma, cut off rather than rounded so that a ratio just below
// the limit never shows as the limit itself.
std::string FormatRatio(double ratio);

struct MenuContrast {
    std::string color;      // six hex digits of the text colour in effect
    std::string background; // six hex digits of the background in effect
    double ratio = 1;
    bool sufficient() const { return ratio >= MinimumContrast; }
};

// The colours in effect for one state: the state's own text colour, else the normal one, else
// black; the state's own background, else the item's, else white ("transparent" and "inherit"
// look further out, as does a value that is not a colour).
MenuContrast ContrastOf(const MenuStyle& style, MenuState state);
// The same for the sub menu inside the main menu's item: where the sub menu has no background
// of its own, the item's shows (the sub menu lies inside it on small screens). The main menu's
// other rules do not reach the sub menu.
MenuContrast NestedSubContrastOf(const MenuStyle& sub, const MenuStyle& main, MenuState state);

} // namespace quilso
