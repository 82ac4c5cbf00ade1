#pragma once

#include <QString>
#include <cstdint>

#include "console/ConsoleLooks.h"

namespace kv {

class TCommonControl;

// What one row of the device list panel shows of a module, as plain values.
struct DeviceRowFields {
    int address = 0;
    int kind = 0;
    int32_t version = 0;
    int32_t lastResult = 0;
    int channelCount = 0;
    double supplyVoltage = 0;
    double outputVoltage = 0;
    int forcing = 2;
    int mode = 2;
    double temperature = 0;
    int linkQuality = 0;

    static DeviceRowFields FromControl(const TCommonControl& module);
};

// The 28-character fixed-pitch text of a device row, laid over the template
// "   .     ??.??v     0%      ": address ending in column 3, channel count from column 6,
// supply voltage ending in column 14, link quality ending in column 21 with the forcing mark
// "+" over column 17, and the output voltage (high-voltage controls) or the temperature
// (firmware that measures it) ending in column 28.
QString DeviceRowText(const DeviceRowFields& row);

// A row whose last exchange failed is white on red; otherwise black on the module's mode
// colour: launch lime, test white, unknown yellow.
struct DeviceRowColors {
    UiColor background;
    UiColor text;
};
DeviceRowColors DeviceRowColorsFor(const DeviceRowFields& row);

}  // namespace kv
