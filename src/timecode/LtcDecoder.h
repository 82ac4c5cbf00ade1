#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "timecode/LtcFrame.h"

struct LTCDecoder;

namespace kv {

// Decodes timecode from mono audio samples (libltc's decoder) and measures the frame rate on
// the signal. Samples are fed with the position of their first sample in the stream, so that
// frames come out with their place in the audio; a gap in positions is a gap in the audio.
// Not thread-safe: one feeder.
class LtcDecoder {
public:
    explicit LtcDecoder(int sampleRate);
    ~LtcDecoder();
    LtcDecoder(const LtcDecoder&) = delete;
    LtcDecoder& operator=(const LtcDecoder&) = delete;

    int SampleRate() const { return sampleRate_; }

    void Feed(const float* samples, size_t count, int64_t position);
    void Feed(const int16_t* samples, size_t count, int64_t position);

    // The frames decoded so far, oldest first; taking them empties the queue.
    std::vector<LtcFrame> TakeFrames();

    // The rate measured so far (empty until the signal has shown it).
    std::optional<TimecodeRate> Rate() const { return rate_; }

private:
    void Drain();
    void MeasureRate(const LtcFrame& frame);
    bool PlausibleLength(int64_t samples) const;

    int sampleRate_;
    LTCDecoder* decoder_ = nullptr;
    std::vector<LtcFrame> frames_;
    // Lengths of the latest frames in samples: the rate comes from their mean.
    std::deque<int64_t> lengths_;
    std::optional<TimecodeRate> rate_;
};

}  // namespace kv
