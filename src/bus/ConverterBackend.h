#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kv {

// Status of a converter call: 0 is success, anything else a failure code. The values follow the
// numbering of the FTDI driver's status codes so that ORed results read the same everywhere.
using ConverterStatus = uint32_t;
enum : ConverterStatus {
    ConvOk = 0,
    ConvInvalidHandle = 1,
    ConvDeviceNotFound = 2,
    ConvDeviceNotOpened = 3,
    ConvIoError = 4,
    ConvInsufficientResources = 5,
    ConvInvalidParameter = 6,
    ConvInvalidBaudRate = 7,
    ConvNotSupported = 17,
    ConvOtherError = 18,
};

// Purge masks.
enum : uint32_t { ConvPurgeRx = 1, ConvPurgeTx = 2 };

// A converter that is present but that this user may not open (device node permissions).
struct ConverterAccessDenied {
    uint32_t index = 0;  // position in the list of the last CountDevices
    std::string path;    // the device node
    std::string group;   // the device node's group, whose members may open it
};

// Opaque handle of an opened converter; 0 is never a valid handle.
using ConverterHandle = std::uintptr_t;
constexpr ConverterHandle kNoConverterHandle = 0;

// The converters of the RS485 bus as the serial link sees them: a numbered list of USB-RS485
// converters, each opened by its position in that list. One implementation drives real
// converters through the kernel's serial driver; the simulated bus is another.
//
// Implementations are called from the GUI thread and the bus worker thread at once (the link
// serialises calls on one converter, not calls across converters) and must be thread-safe.
class ConverterBackend {
public:
    virtual ~ConverterBackend() = default;

    // Number of converters present now; positions 0..count-1 are valid until the next call.
    virtual ConverterStatus CountDevices(uint32_t& count) = 0;
    virtual ConverterStatus SerialNumber(uint32_t index, std::string& serial) = 0;
    virtual ConverterStatus Description(uint32_t index, std::string& description) = 0;

    virtual ConverterStatus Open(uint32_t index, ConverterHandle& handle) = 0;
    virtual ConverterStatus Close(ConverterHandle handle) = 0;

    virtual ConverterStatus SetBaudRate(ConverterHandle handle, uint32_t baud) = 0;
    // wordLength 7 or 8; stopBits 0 = one, 2 = two; parity 0 none, 1 odd, 2 even, 3 mark, 4 space.
    virtual ConverterStatus SetDataCharacteristics(ConverterHandle handle, uint8_t wordLength,
                                                   uint8_t stopBits, uint8_t parity) = 0;
    // flow 0x0000 none, 0x0100 RTS/CTS, 0x0200 DTR/DSR, 0x0400 XON/XOFF.
    virtual ConverterStatus SetFlowControl(ConverterHandle handle, uint16_t flow, uint8_t xon,
                                           uint8_t xoff) = 0;
    virtual ConverterStatus SetTimeouts(ConverterHandle handle, uint32_t readMs,
                                        uint32_t writeMs) = 0;
    virtual ConverterStatus Purge(ConverterHandle handle, uint32_t mask) = 0;
    virtual ConverterStatus SetDtr(ConverterHandle handle) = 0;
    virtual ConverterStatus ClrRts(ConverterHandle handle) = 0;

    // Waits up to the read time-out for count bytes; got is what arrived (0 when nothing did).
    virtual ConverterStatus Read(ConverterHandle handle, uint8_t* buffer, uint32_t count,
                                 uint32_t& got) = 0;
    virtual ConverterStatus Write(ConverterHandle handle, const uint8_t* buffer, uint32_t count,
                                  uint32_t& written) = 0;
    // Bytes waiting in the receive queue. Fails once the converter is gone (unplugged).
    virtual ConverterStatus GetQueueStatus(ConverterHandle handle, uint32_t& rxBytes) = 0;

    // The converters of the last CountDevices that this user lacks the permission to open.
    // A back end without device permissions has none.
    virtual std::vector<ConverterAccessDenied> AccessDenied() { return {}; }
};

}  // namespace kv
