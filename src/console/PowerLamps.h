#pragma once

#include "core/PcPower.h"

namespace kv {

// The three power lamps of the status bar and the battery gauge, refreshed every 5 s.
enum class PowerLamp { Off, On, Alarm };  // dark, green, red

struct PowerLamps {
    PowerLamp mains = PowerLamp::Off;     // "От сети"
    PowerLamp battery = PowerLamp::Off;   // "Батарея"
    PowerLamp charging = PowerLamp::Off;  // "Зарядка"
    int percent = 0;                      // the gauge, 0..100
};

// readOk false (the system could not tell): everything dark, 0 %. Otherwise the battery lamp
// stays dark without a system battery or on mains, and is red below 30 %; an unknown charge
// reads as 100 %.
PowerLamps PowerLampsOf(bool readOk, const PcPowerStatus& status);
PowerLamps ReadPowerLamps(PcPowerSource& source);

}  // namespace kv
