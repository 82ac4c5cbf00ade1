#include "sim/SimHvModule.h"

#include <algorithm>
#include <cmath>

namespace kv {

SimHvModule::SimHvModule(const SimDeviceConfig& config)
    : SimFiringModule(config), energy_(config.energy) {}

double SimHvModule::CapacitorVolts(SimTimeUs now) const {
    const double dt = now > voltsAt_ ? static_cast<double>(now - voltsAt_) / 1e6 : 0.0;
    const double step = Config().chargeVoltsPerSecond * dt;
    // Charging climbs at the charger's rate; a lower target bleeds down at the same rate.
    if (volts_ < target_) {
        return std::min<double>(target_, volts_ + step);
    }
    return std::max<double>(target_, volts_ - step);
}

void SimHvModule::ChargeTo(int volts, SimTimeUs now) {
    volts_ = CapacitorVolts(now);
    voltsAt_ = now;
    target_ = std::clamp(volts, 0, 1000);
}

uint16_t SimHvModule::MeasurementReading(double ohms) const {
    // The console multiplies by 100 and stores a tenth of that: hundredths of an ohm.
    if (std::isinf(ohms)) {
        return 65535;
    }
    return static_cast<uint16_t>(std::clamp(std::round(ohms * 100.0), 0.0, 65535.0));
}

void SimHvModule::AnswerStatus(const SimFrame&, SimTimeUs now, SimOutput& out) {
    // Tenths of a volt over all 16 bits; the capacitor never reaches the 3276.8 V where the
    // top bit would be set, so the test-mode flag stays clear.
    const int output =
        std::clamp(static_cast<int>(std::lround(CapacitorVolts(now) * 10)), 0, 0x7FFF);
    const int supply =
        std::clamp(static_cast<int>(std::lround(Config().supplyVolts * 1000)), 0, 0xFFFF);
    Reply(out, now, 0x7A, static_cast<uint8_t>(output >> 8), static_cast<uint8_t>(output & 0xFF),
          static_cast<uint8_t>(supply >> 8), static_cast<uint8_t>(supply & 0xFF));
}

void SimHvModule::HandleFire(const SimFrame& f, SimTimeUs now, SimOutput& out) {
    const int number = f[1] | (f[2] << 8);
    if (!(f[3] & 0x80) || number > Channels()) {
        return;
    }
    const int volts = ((f[3] & 0x7F) << 7) | (f[4] & 0x7F);
    if (number == 0) {
        ChargeTo(volts, now);
    } else if (FiringAllowed()) {
        const int at = static_cast<int>(std::lround(CapacitorVolts(now)));
        FireOutput(number - 1, now, false, at);
        volts_ = 0;  // the shot empties the capacitor; it then recharges to the next voltage
        voltsAt_ = now;
        target_ = std::clamp(volts, 0, 1000);
    } else {
        FireOutput(number - 1, now, false);  // counted as refused
    }
    if (f[4] & 0x80) {
        Reply(out, now, 0x7B, 0, 0, f[3] & 0x7F, f[4] & 0x7F);
    }
}

bool SimHvModule::HandleSpecial(const SimFrame& f, SimTimeUs now, SimOutput& out) {
    if (f[0] == 0x88 && f[1] == 0x01 && f[2] == 0x00 && f[3] == 0x01 && f[4] == 0x00) {
        ++resets_;
        volts_ = 0;
        voltsAt_ = now;
        target_ = 0;
        Reply(out, now, 0x77, 0x01, 0x00, 0x01, 0x00);
        return true;
    }
    return false;
}

bool SimHvModule::HandleParameter(const SimFrame& f, SimTimeUs now, SimOutput& out) {
    if (f[1] != 0x01 || f[2] != 0xFD) {
        return false;
    }
    if (f[0] == 0x81) {
        energy_ = f[3];
        Reply(out, now, 0x7E, f[1], f[2], f[3], f[4]);
    } else {
        Reply(out, now, 0x7D, 0x01, 0xFD, static_cast<uint8_t>(energy_),
              static_cast<uint8_t>(255 - energy_));
    }
    return true;
}

}  // namespace kv
