#include "devices/TCommonDevice.h"

#include "bus/TPortProto.h"

namespace kv {

TCommonDevice::TCommonDevice(TPortProto& bus, int32_t address) : Address(address), bus_(&bus) {}

void TCommonDevice::Identify() {
    Version = GetVersion();
}

int32_t TCommonDevice::Ping() {
    LastResult = Bus().QueryOk(Address, PortIndex);
    return LastResult;
}

}  // namespace kv
