#pragma once

#include <cstdint>

#include "devices/DeviceKinds.h"

namespace kv {

class TPortProto;

// Root of the device tree: how a device is reached and what it is. Every operation goes through
// the one bus protocol object given at creation and blocks until its exchange ends; failures are
// recorded as result codes, never thrown. Not thread-safe: main thread only.
class TCommonDevice {
public:
    TCommonDevice(TPortProto& bus, int32_t address);
    virtual ~TCommonDevice() = default;
    TCommonDevice(const TCommonDevice&) = delete;
    TCommonDevice& operator=(const TCommonDevice&) = delete;

    // Firmware version as read from the device (0 on failure).
    virtual int32_t GetVersion() = 0;
    // Version := GetVersion(); modules add their identification.
    virtual void Identify();
    // The identification request; returns its result.
    virtual int32_t Ping();
    virtual void PollStatus() {}

    bool IsModule() const { return IsModuleAddress(Address); }
    TPortProto& Bus() const { return *bus_; }

    // Fields in their documented order.
    int32_t Address;
    int32_t RelayId = -1;
    int32_t PortIndex = -1;
    int32_t Version = 0;
    int32_t LastResult = 0;
    uint8_t Kind = KindCommonDevice;
    uint8_t TypeLetter = 0;

private:
    TPortProto* bus_;
};

}  // namespace kv
