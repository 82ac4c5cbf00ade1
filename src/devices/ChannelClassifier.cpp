#include "devices/ChannelClassifier.h"

#include <cmath>

#include "core/Settings.h"
#include "devices/TCommonControl.h"

namespace kv {

namespace {

// Readings come in steps of 0.1 ohm, but value * 100 carries binary representation error
// (0.199 * 100 = 19.900000000000002); rounding to a millionth keeps the band edges exact.
double CleanOhms(double ohms) {
    return std::round(ohms * 1e6) / 1e6;
}

uint8_t BandState(double r, const ResistanceThresholds& t) {
    if (r < t.Lo) {
        return ChannelError;
    }
    if (r < t.Mid) {
        return ChannelConnected;
    }
    if (r < t.Hi) {
        return ChannelError;
    }
    return ChannelNotConnected;
}

}  // namespace

ResistanceThresholds ResistanceThresholds::FromSettings() {
    const ConsoleSettings s = CurrentSettings();
    return ResistanceThresholds{s.ConnectResistLo, s.ConnectResist, s.ConnectResistHi};
}

void ClassifyMeasurement(TCommonControl& device, int channel, double value) {
    ClassifyMeasurement(device, channel, value, ResistanceThresholds::FromSettings());
}

void ClassifyMeasurement(TCommonControl& device, int channel, double value,
                         const ResistanceThresholds& thresholds) {
    if (channel < 0 || channel >= kMaxChannels) {
        return;
    }
    switch (device.Kind) {
        case KindCommonControl:
        case KindAutoControl:
            if (device.Version < fw::Resistance) {
                device.ChannelState[channel] =
                    value >= kOldFirmwareConnectLevel ? ChannelConnected : ChannelNotConnected;
            } else {
                const double r = CleanOhms(value * 100);
                device.ChannelResistance[channel] = r;
                device.ChannelState[channel] = BandState(r, thresholds);
            }
            break;
        case KindHVControl:
            device.ChannelState[channel] = ChannelConnected;
            device.ChannelResistance[channel] = CleanOhms(value / 10);
            break;
        default:
            break;
    }
}

}  // namespace kv
