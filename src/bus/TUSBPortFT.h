#pragma once

#include "bus/ConverterBackend.h"
#include "bus/TUSBDevices.h"

#include <cstdint>
#include <memory>
#include <mutex>

namespace kv {

// All listed converters opened and configured together. Every operation on "all" loops over the
// list in order and returns the OR of the back end's status codes (0 = all succeeded).
class TUSBPortFT {
public:
    static constexpr uint32_t kBaudRate = 19200;

    explicit TUSBPortFT(std::shared_ptr<ConverterBackend> backend);
    ~TUSBPortFT();
    TUSBPortFT(const TUSBPortFT&) = delete;
    TUSBPortFT& operator=(const TUSBPortFT&) = delete;

    uint8_t dataBits = 8;
    uint8_t stopBits = 1;
    uint8_t parity = 0;
    uint8_t flowControl = 0;  // 0 none, 1 RTS/CTS, 2 DTR/DSR, 3 XON/XOFF
    uint8_t xonChar = 0x11;
    uint8_t xoffChar = 0x13;
    uint32_t readTimeout = 0;
    uint32_t writeTimeout = 0;
    int maxConverters = 1;

    TUSBDevices& Devices() { return devices_; }
    const TUSBDevices& Devices() const { return devices_; }
    std::mutex& Lock() { return lock_; }
    ConverterBackend& Backend() { return *backend_; }

    ConverterStatus OpenAll();
    // Opens a converter that came back (found by a Scan) at its own place, set up as OpenAll
    // and Open set up the others. False when it did not open.
    bool OpenReturned(int converterIndex, const ConverterInfo& found);
    ConverterStatus Configure();
    ConverterStatus PurgeRx();
    ConverterStatus PurgeTx();
    ConverterStatus SetDtr();
    ConverterStatus ClearRts();
    ConverterStatus CloseAll();
    // total: bytes waiting over all converters whose query succeeded.
    ConverterStatus QueueStatus(int& total);
    // Bytes waiting in one converter (0 for one that is not listed or not open).
    ConverterStatus QueueStatusOf(int converterIndex, int& count);

    // One read of one converter under the lock; the count that arrived within the read time-out.
    int ReadFrom(int converterIndex, uint8_t* buffer, int count);
    // Empties the converter's transmit queue (unless purgeTx is false: a frame still queued
    // there must go out whole), then writes; the count written. Received bytes stay for the
    // caller to read.
    int WriteTo(int converterIndex, const uint8_t* buffer, int count, bool purgeTx = true);

    // The codes passed to the back end.
    uint8_t StopBitsCode() const;
    uint16_t FlowControlCode() const;

private:
    template <typename F>
    ConverterStatus ForEachOpen(F&& call);
    ConverterStatus ConfigureOne(ConverterHandle handle);

    std::shared_ptr<ConverterBackend> backend_;
    std::mutex lock_;
    TUSBDevices devices_;
};

}  // namespace kv
