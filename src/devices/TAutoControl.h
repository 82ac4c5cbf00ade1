#pragma once

#include "devices/TCommonControl.h"

namespace kv {

// A plain firing module.
class TAutoControl : public TCommonControl {
public:
    TAutoControl(TPortProto& bus, int32_t address) : TCommonControl(bus, address) {
        Kind = KindAutoControl;
    }
};

}  // namespace kv
