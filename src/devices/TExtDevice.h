#pragma once

#include "devices/TCommonDevice.h"

namespace kv {

// Base of the devices that are not modules: radio units, the remote control, other consoles.
class TExtDevice : public TCommonDevice {
public:
    TExtDevice(TPortProto& bus, int32_t address) : TCommonDevice(bus, address) {}

    // The version request alone.
    int32_t GetVersion() override;
};

}  // namespace kv
