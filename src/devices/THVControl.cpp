#include "devices/THVControl.h"

#include <algorithm>
#include <cmath>

#include "bus/TPortProto.h"
#include "util/SystemUtils.h"

namespace kv {

THVControl::THVControl(TPortProto& bus, int32_t address) : TAutoControl(bus, address) {
    Kind = KindHVControl;
    ChargeVoltage.fill(0);
}

void THVControl::Identify() {
    TCommonControl::Identify();
    Energy = ReadEnergy();
}

void THVControl::ClearChannels() {
    TCommonControl::ClearChannels();
    ChargeVoltage.fill(0);
}

int32_t THVControl::MeasureChannel(int channel, double& value) {
    const int32_t result = TCommonControl::MeasureChannel(channel, value);
    if (result == 0) {
        value *= 100;
    }
    return result;
}

int32_t THVControl::ReadStatusFrame(double& output, uint8_t& flag, double& supply) {
    int f = ModeUnknown;
    const int result = Bus().ReadHVStatus(Address, RelayId, PortIndex, output, f, supply);
    // The top bit belongs to the output voltage here, not to a mode flag: an HV module does not
    // report its mode, and taking the bit for one showed every HV module in launch mode.
    flag = ModeUnknown;
    return result;
}

int32_t THVControl::ReadEnergy() {
    int value = 0;
    if (Bus().ReadHVParameter(Address, RelayId, PortIndex, value) != 0) {
        return 0;
    }
    return value;
}

int32_t THVControl::WriteEnergy(int32_t value) {
    const int result = Bus().WriteHVParameter(Address, value, RelayId, PortIndex);
    if (result == 0) {
        Energy = value;
    }
    return result;
}

int32_t THVControl::Charge(int32_t voltage) {
    return Bus().ChargeHV(Address, voltage, RelayId, PortIndex);
}

int32_t THVControl::FireWithRecharge(int channel, int32_t nextVoltage) {
    return Bus().SetChannelValue(Address, channel, RelayId, PortIndex, nextVoltage, false);
}

int32_t THVControl::ChargeVoltageFor(double ohms, int32_t energyMj) {
    const double product = 100.0 * ohms * energyMj;
    // A negative product only comes from bad data; it must not become NaN on the wire.
    const int64_t u = product > 0 ? RoundHalfAway(std::sqrt(product)) : 0;
    return static_cast<int32_t>(std::clamp<int64_t>(u, kMinChargeVoltage, kMaxChargeVoltage));
}

void THVControl::ComputeChargeVoltages() {
    const int n = std::clamp(ChannelCount, 0, kMaxChannels);
    for (int i = 0; i < n; ++i) {
        ChargeVoltage[i] = ChargeVoltageFor(ChannelResistance[i], Energy);
    }
}

int32_t THVControl::Reset() {
    return Bus().ResetHV(Address, RelayId, PortIndex);
}

}  // namespace kv
