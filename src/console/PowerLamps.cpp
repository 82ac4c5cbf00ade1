#include "console/PowerLamps.h"

namespace kv {

PowerLamps PowerLampsOf(bool readOk, const PcPowerStatus& status) {
    PowerLamps lamps;
    if (!readOk) {
        return lamps;
    }
    const int percent = status.batteryPercent < 0 ? 100 : status.batteryPercent;
    lamps.mains = status.mainsOnline ? PowerLamp::On : PowerLamp::Off;
    if (status.batteryPresent && !status.mainsOnline) {
        lamps.battery = percent >= 30 ? PowerLamp::On : PowerLamp::Alarm;
    }
    lamps.charging = status.charging ? PowerLamp::On : PowerLamp::Off;
    lamps.percent = percent;
    return lamps;
}

PowerLamps ReadPowerLamps(PcPowerSource& source) {
    PcPowerStatus status;
    const bool ok = source.Read(status);
    return PowerLampsOf(ok, status);
}

}  // namespace kv
