#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sim/SimBus.h"
#include "sim/SimDeviceConfig.h"

namespace kv {

// A rig: the converters of a simulated bus, the devices on each and their faults, read from a
// small line-based text format (see rigs/README.md):
//
//   bus pacing=on turnaround-us=1000 seed=7
//   converter serial=KV01 description="left bank" lose=rate:0.05
//   module address=1 version=46B channels=40 ohms=2.2 ohm.7=open ohm.12=35
//   hv address=20 version=46B energy=15
//   console id=77 major=3
//
// Device lines belong to the converter above them. '#' starts a comment.
class SimRig {
public:
    // The most converters a console lists and uses.
    static constexpr int kMaxConverters = 16;

    struct Converter {
        std::string serial;
        std::string description = "USB-RS485 (simulated)";
        SimFaults faults;
        std::vector<SimDeviceConfig> devices;
    };

    SimBusOptions options;
    std::vector<Converter> converters;

    // False with a message naming the line when the text is not a valid rig.
    static bool Parse(const std::string& text, SimRig& rig, std::string& error);
    static bool Load(const std::string& path, SimRig& rig, std::string& error);
    // The built-in demo rig (the text of rigs/demo.rig).
    static const std::string& DemoText();
    static SimRig Demo();

    // A bus with these converters and devices; `pacing` overrides the rig's when given.
    std::unique_ptr<SimBus> Build() const;
    void Populate(SimBus& bus) const;
};

}  // namespace kv
