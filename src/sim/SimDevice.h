#pragma once

#include <random>

#include "sim/SimDeviceConfig.h"
#include "sim/SimOutput.h"
#include "sim/SimTypes.h"

namespace kv {

// One virtual device on a simulated RS485 segment: it hears every valid frame on the wire and
// answers through its SimOutput. The device side knows nothing of converters, handles or
// threads: "frames in, frames out with timing". The owner (SimSegment) serialises all calls.
class SimDevice {
public:
    explicit SimDevice(const SimDeviceConfig& config);
    virtual ~SimDevice() = default;
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    SimDeviceKind Kind() const { return config_.kind; }
    int Address() const { return address_; }
    int Version() const { return config_.version; }
    const SimDeviceConfig& Config() const { return config_; }
    SimFaults& Faults() { return config_.faults; }
    // Settings a running device reads as it goes (voltages, temperature, work times, faults);
    // address, channels and resistances are taken once when the device is made.
    SimDeviceConfig& MutableConfig() { return config_; }
    bool Powered() const { return powered_; }
    // Requests addressed to this device that a dropRequest fault swallowed.
    uint32_t DroppedRequests() const { return droppedRequests_; }
    // Answers a loseAnswer fault kept off the wire.
    uint32_t LostAnswers() const { return lostAnswers_; }
    void CountLostAnswer() { ++lostAnswers_; }
    std::mt19937& FaultRng() { return faultRng_; }

    // Every valid frame on the segment; `fromDevice` is the sender (nullptr: the console PC).
    void Hear(const SimFrame& frame, const SimDevice* fromDevice, SimTimeUs now, SimOutput& out);
    // Switching on may announce the device; switching off makes it deaf until switched on.
    void SwitchOn(SimTimeUs now, SimOutput& out);
    void SwitchOff() { powered_ = false; }

    // Time-driven behaviour (show clock, delayed replies): the next time the device wants
    // Advance() called, and the call that runs what is due up to `now`.
    virtual SimTimeUs NextDeadline() const { return kSimNever; }
    virtual void Advance(SimTimeUs /*now*/, SimOutput& /*out*/) {}

protected:
    virtual void OnFrame(const SimFrame& frame, SimTimeUs now, SimOutput& out) = 0;
    virtual void OnSwitchOn(SimTimeUs /*now*/, SimOutput& /*out*/) {}
    // Answers a request heard at `heardAt` after the turnaround and `extraUs` of work.
    void Reply(SimOutput& out, SimTimeUs heardAt, uint8_t code, uint8_t d1, uint8_t d2, uint8_t d3,
               uint8_t d4, SimTimeUs extraUs = 0, const std::vector<uint8_t>& trailer = {});
    void SetAddress(int address) { address_ = address; }
    std::mt19937& Rng() { return rng_; }

private:
    SimDeviceConfig config_;
    int address_;
    bool powered_;
    uint32_t droppedRequests_ = 0;
    uint32_t lostAnswers_ = 0;
    std::mt19937 rng_;
    std::mt19937 faultRng_;
};

}  // namespace kv
