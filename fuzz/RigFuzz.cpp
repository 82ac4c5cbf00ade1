// The rig file reader of the simulated bus on any text: it reads a rig or names the line it
// refuses, and a rig it reads can be built.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "sim/SimRig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    kv::SimRig rig;
    std::string error;
    if (!kv::SimRig::Parse(text, rig, error)) {
        if (error.empty()) {
            std::abort();
        }
        return 0;
    }
    std::size_t devices = 0;
    for (const auto& c : rig.converters) {
        devices += c.devices.size();
    }
    // Building is bounded by the input's size anyway; keep it cheap per input.
    if (rig.converters.size() <= 16 && devices <= 64) {
        std::unique_ptr<kv::SimBus> bus = rig.Build();
        if (!bus || bus->ConverterTotal() != static_cast<int>(rig.converters.size())) {
            std::abort();
        }
        bus->Pump();
    }
    return 0;
}
