#pragma once

#include <cstdint>

namespace kv {

// The three looks of an indicator: on (lime shape, black label), off (button-face shape,
// window-text label), alarm (red shape, window-text label).
enum class Look : uint8_t { Off = 0, On = 1, Alarm = 2 };

// A colour as the display names it: a fixed RGB value or one of the system's colours, which
// only the window can resolve.
struct UiColor {
    enum class Role : uint8_t { Rgb, ButtonFace, WindowText };
    Role role = Role::Rgb;
    uint32_t rgb = 0;  // 0xRRGGBB, for Role::Rgb

    static constexpr UiColor Rgb(uint32_t value) { return {Role::Rgb, value}; }
    static constexpr UiColor ButtonFace() { return {Role::ButtonFace, 0}; }
    static constexpr UiColor WindowText() { return {Role::WindowText, 0}; }
    friend constexpr bool operator==(const UiColor&, const UiColor&) = default;
};

namespace colors {
inline constexpr uint32_t kBlack = 0x000000;
inline constexpr uint32_t kWhite = 0xFFFFFF;
inline constexpr uint32_t kLime = 0x00FF00;
inline constexpr uint32_t kRed = 0xFF0000;
inline constexpr uint32_t kBlue = 0x0000FF;
inline constexpr uint32_t kNavy = 0x000080;
inline constexpr uint32_t kGrey = 0x808080;       // idle key letter, unfired grey shape
inline constexpr uint32_t kLightGrey = 0xA6A6A6;  // idle key shape
inline constexpr uint32_t kDarkGrey = 0x3F3F3F;   // letter of a fired channel
}  // namespace colors

// Shape and label colours of a look.
UiColor LookShapeColor(Look look);
UiColor LookLabelColor(Look look);

}  // namespace kv
