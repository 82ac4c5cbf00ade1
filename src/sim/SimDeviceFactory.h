#pragma once

#include <memory>

#include "sim/SimDevice.h"

namespace kv {

// The virtual device of the config's kind.
std::unique_ptr<SimDevice> MakeSimDevice(const SimDeviceConfig& config);

}  // namespace kv
