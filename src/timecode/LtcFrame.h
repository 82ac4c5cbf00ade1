#pragma once

#include <cstdint>
#include <optional>

#include "timecode/Timecode.h"

namespace kv {

// One decoded timecode frame and where it sits in the audio: startSample is the first sample of
// the frame (the moment its timecode names), endSample its last.
struct LtcFrame {
    Timecode timecode;
    // The rate measured on the signal so far; empty until it is known.
    std::optional<TimecodeRate> rate;
    int64_t startSample = 0;
    int64_t endSample = 0;
    bool reverse = false;  // the signal played backwards
};

}  // namespace kv
