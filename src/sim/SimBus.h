#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bus/ConverterBackend.h"
#include "sim/SimDevice.h"
#include "sim/SimDeviceConfig.h"
#include "sim/SimRecord.h"
#include "sim/SimSegment.h"

namespace kv {

struct SimBusOptions {
    bool pacing = false;              // 19200-baud wire time for every byte, both directions
    uint32_t turnaroundUs = 1000;     // device turnaround
    uint32_t seed = 1;                // randomness of faults and console reply delays
    std::size_t maxRecords = 100000;  // frames kept per segment by the recorder (0: none)
};

// A simulated RS485 bus behind the converter interface: one segment per converter (or one
// segment shared by several converters, as when two consoles are on one wire), with the local
// echo of everything a converter writes, devices that answer after their turnaround,
// optional byte pacing, faults and a recorder. Simulated time follows kv::TickCount() (so a
// FakeClock drives it); device work that falls due is run whenever the bus is called, or by
// Pump().
//
// Thread-safe: one lock guards everything. Tests that touch devices while a bus worker runs
// hold Lock() for as long as they use the device references.
class SimBus final : public ConverterBackend {
public:
    explicit SimBus(SimBusOptions options = {});
    ~SimBus() override;
    SimBus(const SimBus&) = delete;
    SimBus& operator=(const SimBus&) = delete;

    // Adds a converter with its segment and returns its number (0, 1, ...). The number stays the
    // converter's while it is unplugged, although the converter list then skips it.
    // shareSegmentOf >= 0 puts the new converter on the wire of that converter instead (another
    // console's converter): each hears everything on the wire, the other's writes included, and
    // the devices hear both.
    int AddConverter(const std::string& serial = {},
                     const std::string& description = "USB-RS485 (simulated)",
                     int shareSegmentOf = -1);
    int ConverterTotal() const;
    // Creates the device of the config's kind on a converter's segment.
    SimDevice& AddDevice(int converter, const SimDeviceConfig& config);

    std::unique_lock<std::recursive_mutex> Lock() const;
    // The segment a converter is on (a shared one for converters added on another's wire).
    SimSegment& Segment(int converter);
    // First device answering at an address (converter -1: any segment), or nullptr.
    SimDevice* Find(int address, int converter = -1);
    template <class T>
    T* FindAs(int address, int converter = -1) {
        return dynamic_cast<T*>(Find(address, converter));
    }

    // Unplugging makes the converter vanish from the list and fails every call on its handle;
    // replugging lists it again (it must be opened anew, as after a real replug).
    void Unplug(int converter);
    void Replug(int converter);
    bool Plugged(int converter) const;
    bool IsOpen(int converter) const;
    // The converter's position in the converter list now, or -1 while it is unplugged.
    int ListedIndexOf(int converter) const;

    // Runs device work due up to now (show clocks, slow answers, announcements).
    void Pump();
    SimTimeUs NowUs();
    // A frame or raw bytes on a segment's wire now, as if from a device.
    void InjectFrame(int converter, const SimFrame& frame);
    void InjectNoise(int converter, const std::vector<uint8_t>& bytes);
    // Runs `action` on a segment at the present simulated time (a device acting by itself, such
    // as another console broadcasting a start), then plays what it caused.
    void Act(int converter, const std::function<void(SimSegment&, SimTimeUs)>& action);
    void SwitchOn(int converter, int address);
    void SwitchOff(int converter, int address);

    // Recorder: frames of one converter's segment (-1: all, by time) and emptying it.
    std::vector<SimRecord> Records(int converter = -1) const;
    std::vector<SimRecord> TakeRecords();
    void ClearRecords();

    void SetPacing(bool on);
    const SimBusOptions& Options() const { return options_; }

    // ConverterBackend
    ConverterStatus CountDevices(uint32_t& count) override;
    ConverterStatus SerialNumber(uint32_t index, std::string& serial) override;
    ConverterStatus Description(uint32_t index, std::string& description) override;
    ConverterStatus Open(uint32_t index, ConverterHandle& handle) override;
    ConverterStatus Close(ConverterHandle handle) override;
    ConverterStatus SetBaudRate(ConverterHandle handle, uint32_t baud) override;
    ConverterStatus SetDataCharacteristics(ConverterHandle handle, uint8_t wordLength,
                                           uint8_t stopBits, uint8_t parity) override;
    ConverterStatus SetFlowControl(ConverterHandle handle, uint16_t flow, uint8_t xon,
                                   uint8_t xoff) override;
    ConverterStatus SetTimeouts(ConverterHandle handle, uint32_t readMs, uint32_t writeMs) override;
    ConverterStatus Purge(ConverterHandle handle, uint32_t mask) override;
    ConverterStatus SetDtr(ConverterHandle handle) override;
    ConverterStatus ClrRts(ConverterHandle handle) override;
    ConverterStatus Read(ConverterHandle handle, uint8_t* buffer, uint32_t count,
                         uint32_t& got) override;
    ConverterStatus Write(ConverterHandle handle, const uint8_t* buffer, uint32_t count,
                          uint32_t& written) override;
    ConverterStatus GetQueueStatus(ConverterHandle handle, uint32_t& rxBytes) override;

private:
    struct Converter {
        std::string serial;
        std::string description;
        bool plugged = true;
        uint32_t generation = 0;  // bumped by an unplug: handles from before go stale
        ConverterHandle open = kNoConverterHandle;
        SimSegment* segment = nullptr;  // owned by segments_
        int tap = 0;                    // the converter's tap on it
    };
    struct Handle {
        int converter = 0;
        uint32_t generation = 0;
        uint32_t baud = 9600;
        uint8_t wordLength = 8, stopBits = 0, parity = 0;
        uint32_t readMs = 0;
    };

    int ListedToConverter(uint32_t index) const;
    // The open converter of a handle, or nullptr with the status to return.
    Handle* HandleOf(ConverterHandle h, ConverterStatus& status);
    void UpdateLine(const Handle& h);
    void PumpAll(SimTimeUs now);

    SimBusOptions options_;
    mutable std::recursive_mutex mutex_;
    std::vector<Converter> converters_;
    std::vector<std::unique_ptr<SimSegment>> segments_;
    std::map<ConverterHandle, Handle> handles_;
    ConverterHandle nextHandle_ = 1;
    uint32_t lastTick_ = 0;
    uint64_t elapsedMs_ = 0;
};

}  // namespace kv
