#pragma once

#include <vector>

#include "sim/SimTypes.h"

namespace kv {

class SimDevice;

// Where a device puts what it sends: the segment it sits on. The segment applies the faults
// and the wire timing; devices only say what goes out and from when on.
class SimOutput {
public:
    virtual ~SimOutput() = default;
    // A frame from `from`, on the wire from `at` on (or later, when the wire is busy then).
    // `trailer` follows the frame without a gap (the relay tag after an identification answer).
    virtual void Emit(SimDevice& from, const SimFrame& frame, SimTimeUs at,
                      const std::vector<uint8_t>& trailer = {}) = 0;
    // Time from the end of a request to the first byte of its answer.
    virtual SimTimeUs TurnaroundUs() const = 0;
};

}  // namespace kv
