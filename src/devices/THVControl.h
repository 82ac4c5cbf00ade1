#pragma once

#include <array>
#include <cstdint>

#include "devices/TAutoControl.h"

namespace kv {

// A capacitor-discharge module: an energy setting, a charge voltage per output and the queue of
// voltages the show player charges to between shots.
class THVControl : public TAutoControl {
public:
    THVControl(TPortProto& bus, int32_t address);

    void Identify() override;
    void ClearChannels() override;
    // The reading scaled by 100, so that one tenth of it is the output's resistance in ohms.
    int32_t MeasureChannel(int channel, double& value) override;

    // The stored energy in millijoules; 0 on failure.
    int32_t ReadEnergy();
    // Energy := value on success.
    int32_t WriteEnergy(int32_t value);
    // Charges the capacitor to voltage (answered).
    int32_t Charge(int32_t voltage);
    // Fires output channel and recharges to nextVoltage (unanswered).
    int32_t FireWithRecharge(int channel, int32_t nextVoltage);
    // Puts the module back to rest after a show.
    int32_t Reset();

    // The voltage that puts energyMj into an output of resistance ohms: sqrt(100 R E), rounded
    // half away from zero, kept within 1..450 V.
    static int32_t ChargeVoltageFor(double ohms, int32_t energyMj);
    // ChargeVoltage of every output from its measured resistance and the current Energy.
    void ComputeChargeVoltages();

    static constexpr int32_t kMinChargeVoltage = 1;
    static constexpr int32_t kMaxChargeVoltage = 450;

    int32_t Energy = 0;
    std::array<int32_t, kMaxChannels> ChargeVoltage{};
    std::array<int32_t, kMaxChannels> ChargeQueue{};
    int32_t ChargeQueueCount = 0;
    int32_t ChargeQueueCursor = 0;

protected:
    int32_t ReadStatusFrame(double& output, uint8_t& flag, double& supply) override;
};

}  // namespace kv
