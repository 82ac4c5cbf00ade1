#pragma once

#include "sim/SimFiringModule.h"

namespace kv {

// A capacitor-discharge module: its outputs fire from a capacitor charged on command to a
// voltage; status and measurement use the HV scaling; parameter 0xFD holds the energy.
class SimHvModule final : public SimFiringModule {
public:
    explicit SimHvModule(const SimDeviceConfig& config);

    double CapacitorVolts(SimTimeUs now) const;
    int TargetVolts() const { return target_; }
    int Energy() const { return energy_; }
    uint32_t Resets() const { return resets_; }

    uint16_t MeasurementReading(double ohms) const override;

protected:
    void AnswerStatus(const SimFrame& f, SimTimeUs now, SimOutput& out) override;
    void HandleFire(const SimFrame& f, SimTimeUs now, SimOutput& out) override;
    bool HandleSpecial(const SimFrame& f, SimTimeUs now, SimOutput& out) override;
    bool HandleParameter(const SimFrame& f, SimTimeUs now, SimOutput& out) override;

private:
    void ChargeTo(int volts, SimTimeUs now);

    double volts_ = 0;  // at voltsAt_
    SimTimeUs voltsAt_ = 0;
    int target_ = 0;
    int energy_;
    uint32_t resets_ = 0;
};

}  // namespace kv
