#pragma once

#include "devices/TExtDevice.h"

namespace kv {

// A radio link unit (addresses 240..254). Its status poll re-reads the version, so a unit that
// stopped answering shows as a failed LastResult.
class TRadioModule : public TExtDevice {
public:
    TRadioModule(TPortProto& bus, int32_t address) : TExtDevice(bus, address) {
        Kind = KindRadioModule;
    }

    void PollStatus() override { Identify(); }
};

}  // namespace kv
