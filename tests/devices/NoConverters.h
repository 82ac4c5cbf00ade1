#pragma once

#include <memory>

#include "bus/ConverterBackend.h"
#include "bus/TPortProto.h"

// A machine with no converter plugged in: every exchange fails with a port error, which is what
// the device model's failure paths need.
class NoConverters : public kv::ConverterBackend {
public:
    kv::ConverterStatus CountDevices(uint32_t& count) override {
        count = 0;
        return kv::ConvOk;
    }
    kv::ConverterStatus SerialNumber(uint32_t, std::string&) override {
        return kv::ConvDeviceNotFound;
    }
    kv::ConverterStatus Description(uint32_t, std::string&) override {
        return kv::ConvDeviceNotFound;
    }
    kv::ConverterStatus Open(uint32_t, kv::ConverterHandle&) override {
        return kv::ConvDeviceNotFound;
    }
    kv::ConverterStatus Close(kv::ConverterHandle) override { return kv::ConvInvalidHandle; }
    kv::ConverterStatus SetBaudRate(kv::ConverterHandle, uint32_t) override {
        return kv::ConvInvalidHandle;
    }
    kv::ConverterStatus SetDataCharacteristics(kv::ConverterHandle, uint8_t, uint8_t,
                                               uint8_t) override {
        return kv::ConvInvalidHandle;
    }
    kv::ConverterStatus SetFlowControl(kv::ConverterHandle, uint16_t, uint8_t, uint8_t) override {
        return kv::ConvInvalidHandle;
    }
    kv::ConverterStatus SetTimeouts(kv::ConverterHandle, uint32_t, uint32_t) override {
        return kv::ConvInvalidHandle;
    }
    kv::ConverterStatus Purge(kv::ConverterHandle, uint32_t) override {
        return kv::ConvInvalidHandle;
    }
    kv::ConverterStatus SetDtr(kv::ConverterHandle) override { return kv::ConvInvalidHandle; }
    kv::ConverterStatus ClrRts(kv::ConverterHandle) override { return kv::ConvInvalidHandle; }
    kv::ConverterStatus Read(kv::ConverterHandle, uint8_t*, uint32_t, uint32_t& got) override {
        got = 0;
        return kv::ConvInvalidHandle;
    }
    kv::ConverterStatus Write(kv::ConverterHandle, const uint8_t*, uint32_t,
                              uint32_t& written) override {
        written = 0;
        return kv::ConvInvalidHandle;
    }
    kv::ConverterStatus GetQueueStatus(kv::ConverterHandle, uint32_t& rx) override {
        rx = 0;
        return kv::ConvInvalidHandle;
    }
};

// A protocol object over no converters (never opened).
struct OfflineBus {
    kv::TPortProto proto{16, std::make_shared<NoConverters>()};
};
