#pragma once

namespace kv {

class TCommonControl;

// Igniter resistance bands (ohms) of the channel tests, read from the settings at start-up.
struct ResistanceThresholds {
    double Lo = 1;
    double Mid = 20;
    double Hi = 200;

    // The bands of the settings file (ConnectResistLo, ConnectResist, ConnectResistHi).
    static ResistanceThresholds FromSettings();
};

// Turns the value of a successful MeasureChannel into the channel's state (and resistance where
// the firmware reports one). Kinds other than plain and HV modules are left as they were.
void ClassifyMeasurement(TCommonControl& device, int channel, double value,
                         const ResistanceThresholds& thresholds);
// The same with the bands of the settings file: the show player's check after firing.
void ClassifyMeasurement(TCommonControl& device, int channel, double value);

// Old firmware reports a level, not a resistance: at or above this it is connected.
constexpr double kOldFirmwareConnectLevel = 4.0;

}  // namespace kv
