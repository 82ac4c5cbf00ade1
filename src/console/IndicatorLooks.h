#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "console/ConsoleLooks.h"

namespace kv {

class TControls;

// The mode indicators after a button refresh.
struct ModeIndicatorInputs {
    bool Searching = false;
    bool Testing = false;
    uint8_t LaunchState = 0;
    uint8_t WorkMode = 0;
    uint8_t ControlMode = 0;
};
struct ModeIndicators {
    QString WaitLabel;  // message 24 "Поиск..." while searching, else 25 "Ожидание"
    Look Wait = Look::Off;        // "Ожидание"
    Look Work = Look::Off;        // "Работа"
    Look WorkAuto = Look::Off;    // "Автомат"
    Look WorkManual = Look::Off;  // "Ручной запуск"
    Look Direct = Look::Off;      // "Прямое упр."
    Look Autonomous = Look::Off;  // "Автономный"
    // "Воспр." is switched off here in Waiting; otherwise it is left as it is.
    std::optional<Look> SoundPlay;
};
ModeIndicators ModeIndicatorLooks(const ModeIndicatorInputs& in);

// "Питание", "Связь", "Форсир." over the modules (address 1..199) of the list.
struct SummaryLeds {
    Look Power = Look::Off;
    Look Link = Look::Off;
    Look Forcing = Look::Off;
};
SummaryLeds SummaryLedLooks(const TControls& controls);

// "ПДУ(Р)", "Радио" and the shapes "R240".."R254".
struct PresenceLeds {
    static constexpr int kRadioUnits = 15;
    Look Remote = Look::Off;
    Look Radio = Look::Off;
    std::array<Look, kRadioUnits> RadioUnits{};  // index = address - 240
};
// After the device list changed: present is on, absent off.
PresenceLeds PresenceAfterRebuild(const TControls& controls);
// After the device at index was polled: the remote control or the radio unit shows its last
// exchange (alarm when it failed); "Радио" is alarm while any radio unit failed.
void PresenceAfterPoll(PresenceLeds& leds, const TControls& controls, int index);

// "Синхр.": off without a playing soundtrack; on within 400 ms of the show clock, else alarm.
Look SyncLook(bool soundLoaded, bool soundPlaying, int32_t soundPosition, int32_t position);
inline constexpr int32_t kSyncToleranceMs = 400;

// "Воспр." at a soundtrack timer tick: on while it plays; otherwise off, except while armed,
// where the blink drives it (nullopt: leave it).
std::optional<Look> SoundPlayLookAtSoundTick(bool soundPlaying, uint8_t launchState);

// One blink tick: the phase flips (1, 0, 1, ... from 0) and the blinking indicators follow it.
// An empty look is left as it is.
struct BlinkInputs {
    bool Searching = false;
    uint8_t LaunchState = 0;
    bool SoundLoaded = false;
    bool SoundPlaying = false;
    bool ConverterFault = false;
};
struct BlinkEffects {
    int Phase = 0;
    std::optional<Look> Wait;       // "Ожидание" while searching
    std::optional<Look> Work;       // "Работа" while armed
    std::optional<Look> SoundPlay;  // "Воспр." while armed with a loaded, silent soundtrack
    std::optional<Look> Rs485;      // RS485 shape while the converter is lost: Alarm or Off;
                                    // its label keeps the window-text colour
};
BlinkEffects BlinkTick(int previousPhase, const BlinkInputs& in);

// One project slot in the slot panel.
struct SlotView {
    Look Led = Look::Off;  // PLed: on for the current slot
    QString ProjectText;   // PLabel: clock time of the script's last cue, empty without cues
    QString SoundText;     // SLabel: clock time of the soundtrack's length, empty without one
    UiColor TextColor;     // navy, black for the current slot
};
SlotView SlotViewFor(bool current, int cueCount, int32_t lastTime, int32_t soundLength);

}  // namespace kv
