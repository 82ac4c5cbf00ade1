#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "console/ConsoleLooks.h"

namespace kv {

class TControls;

// One key of the manual keyboard: its big letter (BKey), its shape (Key) and its channel
// number (LKey).
struct ManualKeyLook {
    UiColor Letter = UiColor::Rgb(colors::kGrey);
    UiColor Shape = UiColor::Rgb(colors::kLightGrey);
    UiColor Number = UiColor::Rgb(colors::kBlack);
    QString NumberText;  // 1-based channel, empty for an idle key
    friend bool operator==(const ManualKeyLook&, const ManualKeyLook&) = default;
};

// The letter printed on key i (0..39): "1".."0", "Q".."P", "A"..";", "Z".."/".
QString ManualKeyLetter(int index);

// An idle key: light grey shape, no number, grey letter.
ManualKeyLook IdleManualKey();

// The whole manual keyboard.
struct ManualKeyboardView {
    bool PanelsVisible = false;    // the two manual panels (manual work modes)
    bool CaptionsVisible = false;  // "Пульт:" and "Страница:"
    QString ModuleText;            // the module's address, empty when hidden
    QString PageText;              // ManualPage + 1, empty when hidden
    std::array<ManualKeyLook, 40> Keys{};
};
ManualKeyboardView ManualKeyboard(const TControls& controls, uint8_t workMode, int manualDevice,
                                  int manualPage);

// One key after a fire or a check of (address, channel): the key index and its look, or
// nullopt when that channel is not on the keyboard now.
struct ManualKeyUpdate {
    int Index = 0;
    ManualKeyLook Look;
};
std::optional<ManualKeyUpdate> ManualKeyAfterChange(const TControls& controls, int manualDevice,
                                                    int manualPage, int32_t address,
                                                    int32_t channel);

}  // namespace kv
