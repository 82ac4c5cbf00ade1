#pragma once

#include <cstdint>
#include <vector>

#include "sim/SimTypes.h"

namespace kv {

// Who put a chunk of bytes on a segment's wire.
enum class SimDirection {
    FromConsole,  // written by the converter (what the console sent)
    FromDevice,   // a device's frame, with any trailer bytes that follow it
    Noise,        // random bytes between frames (a fault)
};

// One chunk on a segment's wire: a frame the console wrote, a device's answer, or noise.
struct SimRecord {
    SimTimeUs timeUs = 0;  // first byte on the wire (simulated microseconds)
    SimTimeUs endUs = 0;   // last byte off the wire
    // Position among all converters, plugged or not: for a console frame the converter that
    // wrote it, otherwise the first converter of the segment.
    int converter = 0;
    SimDirection direction = SimDirection::FromConsole;
    int device = -1;  // sending device's address; -1 for the console and noise
    std::vector<uint8_t> bytes;
};

const char* SimDirectionName(SimDirection direction);

}  // namespace kv
