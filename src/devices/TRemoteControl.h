#pragma once

#include "devices/DeviceEvents.h"
#include "devices/TExtDevice.h"

namespace kv {

// The radio remote control, always at address 0.
class TRemoteControl : public TExtDevice {
public:
    explicit TRemoteControl(TPortProto& bus) : TExtDevice(bus, kRemoteAddress) {
        Kind = KindRemoteControl;
    }

    // Reports of the remote's memory operations; empty means no reports.
    TransferProgressEvent OnTransferProgress;
};

}  // namespace kv
