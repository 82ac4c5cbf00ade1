#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "sim/SimDevice.h"
#include "sim/SimFaultPattern.h"
#include "sim/SimOutput.h"
#include "sim/SimRecord.h"
#include "sim/SimTap.h"
#include "sim/SimTypes.h"

namespace kv {

// Wire timing of a segment.
struct SimWireTiming {
    bool pacing = false;            // bytes take their 19200-baud wire time, both directions
    SimTimeUs turnaroundUs = 1000;  // end of a request to the first byte of its answer
};

// One RS485 segment: a wire, the devices on it and the converters on it (usually one; more when
// several consoles share the wire, each through its own converter). Everything that happens on
// the wire is an event in simulated time; RunUntil() plays the events that are due. Everything
// on the wire reaches every converter that is open, its own writes included (the local echo).
// Not thread-safe: SimBus serialises all calls.
class SimSegment final : public SimOutput {
public:
    // 10 bits a byte (start, 8 data, stop) at 19200 baud: 520.83 us.
    static SimTimeUs ByteOffsetUs(std::size_t byteCount);
    static constexpr std::size_t kRxCapacity = SimTap::kRxCapacity;

    // Index: the converter the segment is made for; it is tap 0.
    SimSegment(int index, SimWireTiming timing, uint32_t seed, std::size_t maxRecords);

    int Index() const { return index_; }
    // Another converter on this wire; returns its tap number.
    int AddTap(int converter);
    SimDevice& AddDevice(std::unique_ptr<SimDevice> device);
    const std::vector<std::unique_ptr<SimDevice>>& Devices() const { return devices_; }
    SimDevice* Find(int address) const;
    SimFaults& Faults() { return faults_; }
    SimWireTiming& Timing() { return timing_; }

    // Plays every event due up to `now`, in time order.
    void RunUntil(SimTimeUs now);

    // Converter side, by tap (see SimTap). Bytes reach a receive queue only while that
    // converter is open; devices make sense of its writes only with usable line settings.
    void SetReceiving(int tap, bool on) { TapAt(tap).SetReceiving(on); }
    void SetLineUsable(int tap, bool usable) { TapAt(tap).SetLineUsable(usable); }
    void ConsoleWrite(int tap, const uint8_t* bytes, std::size_t count, SimTimeUs now);
    std::size_t Available(int tap, SimTimeUs now) const { return TapAt(tap).Available(now); }
    std::size_t Take(int tap, uint8_t* buffer, std::size_t max, SimTimeUs now) {
        return TapAt(tap).Take(buffer, max, now);
    }
    void PurgeRx(int tap, SimTimeUs now) { TapAt(tap).Purge(now); }

    // Puts a frame on the wire at `now` as if `from` had sent it (nullptr: a device not
    // modelled). Faults of the segment apply; those of the device do not.
    void InjectFrame(const SimFrame& frame, SimDevice* from, SimTimeUs now);
    void InjectNoise(const std::vector<uint8_t>& bytes, SimTimeUs now);
    // Powers a device on (it may announce itself) or off.
    void SwitchOn(SimDevice& device, SimTimeUs now);

    const std::deque<SimRecord>& Records() const { return records_; }
    void ClearRecords() { records_.clear(); }
    // Console frames no device heard because a segment fault dropped them.
    uint32_t DroppedRequests() const { return droppedRequests_; }

    // SimOutput
    void Emit(SimDevice& from, const SimFrame& frame, SimTimeUs at,
              const std::vector<uint8_t>& trailer = {}) override;
    SimTimeUs TurnaroundUs() const override { return timing_.turnaroundUs; }

private:
    enum class EventKind { Transmit, HearConsole, HearDevice };
    struct Event {
        EventKind kind = EventKind::Transmit;
        SimDirection direction = SimDirection::FromDevice;
        SimDevice* from = nullptr;
        int fromAddress = -1;
        int tap = 0;  // the writing converter, for console bytes
        std::vector<uint8_t> bytes;
    };

    void Schedule(SimTimeUs at, Event event);
    void Process(SimTimeUs at, Event& event);
    // Puts bytes on the wire from `at` (or when it is free) and returns the time of the last.
    SimTimeUs Send(SimTimeUs at, const Event& event);
    void Deliver(const SimFrame& frame, const SimDevice* from, SimTimeUs at);
    void HearConsoleBytes(int tap, const std::vector<uint8_t>& bytes, SimTimeUs at);
    SimTap& TapAt(int tap) { return taps_.at(static_cast<std::size_t>(tap)); }
    const SimTap& TapAt(int tap) const { return taps_.at(static_cast<std::size_t>(tap)); }
    void Record(SimRecord rec);

    int index_;
    SimWireTiming timing_;
    std::vector<std::unique_ptr<SimDevice>> devices_;
    SimFaults faults_;
    std::mt19937 rng_;
    std::multimap<std::pair<SimTimeUs, uint64_t>, Event> events_;
    uint64_t nextSeq_ = 0;
    SimTimeUs wireFreeAt_ = 0;
    SimTimeUs lastRun_ = 0;
    std::vector<SimTap> taps_;
    std::deque<SimRecord> records_;
    std::size_t maxRecords_;
    uint32_t droppedRequests_ = 0;
};

}  // namespace kv
