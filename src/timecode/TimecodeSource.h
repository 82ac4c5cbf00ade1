#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "timecode/LtcFrame.h"

namespace kv {

// Where timecode comes from: decoded frames and the audio sample position "now", on one sample
// time line, so that the follower can interpolate between frames and time a loss.
class TimecodeSource {
public:
    virtual ~TimecodeSource() = default;
    virtual int SampleRate() const = 0;
    // Starts delivering. False with Error() set when the source cannot run.
    virtual bool Start() = 0;
    virtual void Stop() = 0;
    // The frames decoded since the last call (oldest first) and the sample position now.
    virtual std::vector<LtcFrame> Poll(int64_t& nowSample) = 0;
    virtual QString Error() const = 0;
};

}  // namespace kv
