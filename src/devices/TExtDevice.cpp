#include "devices/TExtDevice.h"

#include "bus/TPortProto.h"

namespace kv {

int32_t TExtDevice::GetVersion() {
    int version = 0;
    LastResult = Bus().ReadVersion(Address, RelayId, PortIndex, version);
    return LastResult == 0 ? version : 0;
}

}  // namespace kv
