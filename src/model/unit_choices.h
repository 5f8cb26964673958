// What the unit fields of a style record may hold: the items the style panels' unit lists offer.
#pragma once

#include "params.h"

#include <array>
#include <span>
#include <string_view>

namespace quilso {

// The keywords a unit list offers before its units, and whether its units include "%" (the
// spacing and border width lists leave it out).
struct UnitChoices {
    std::span<const std::string_view> keywords;
    bool percent = true;
};

inline constexpr std::array<std::string_view, 1> PositionUnitKeywords = {"auto"}; // offsets, width, height
inline constexpr std::array<std::string_view, 2> SpacingUnitKeywords = {"normal", "inherit"};
inline constexpr std::array<std::string_view, 2> LineHeightUnitKeywords = {"normal", "inherit"};
inline constexpr std::array<std::string_view, 1> InheritUnitKeyword = {"inherit"}; // indent, padding
inline constexpr std::array<std::string_view, 8> VerticalAlignUnitKeywords = {
    "baseline", "bottom", "middle", "sub", "super", "text-top", "text-bottom", "top"};
inline constexpr std::array<std::string_view, 10> FontSizeUnitKeywords = {
    "xx-small", "x-small", "small", "medium", "large", "x-large", "xx-large", "smaller", "larger", "inherit"};
inline constexpr std::array<std::string_view, 2> MarginUnitKeywords = {"auto", "inherit"};
inline constexpr std::array<std::string_view, 4> BorderUnitKeywords = {"thin", "medium", "thick", "inherit"};

// The choices of the width list of each ring of the box (margin, border, padding).
inline constexpr std::array<UnitChoices, BoxPartCount> BoxUnitChoices = {
    UnitChoices{MarginUnitKeywords}, UnitChoices{BorderUnitKeywords, false}, UnitChoices{InheritUnitKeyword}};

// Whether `unit` is one of the choices, or empty (a list without a choice; the line height's
// bare factor).
constexpr bool IsUnitChoice(const UnitChoices& choices, std::string_view unit) {
    if (unit.empty()) return true;
    for (std::string_view keyword : choices.keywords)
        if (unit == keyword) return true;
    for (int i = 0; i <= CssUnitsLast - (choices.percent ? 0 : 1); ++i)
        if (unit == CssUnits[static_cast<std::size_t>(i)]) return true;
    return false;
}

} // namespace quilso
