#pragma once

#include "sim/SimDevice.h"

namespace kv {

// A radio link unit (addresses 240-254): answers its version and the identification request.
class SimRadioUnit final : public SimDevice {
public:
    explicit SimRadioUnit(const SimDeviceConfig& config) : SimDevice(config) {}

protected:
    void OnFrame(const SimFrame& frame, SimTimeUs now, SimOutput& out) override;
};

}  // namespace kv
