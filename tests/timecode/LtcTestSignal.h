#pragma once

#include <QString>
#include <cstdint>
#include <ostream>
#include <vector>

#include "timecode/Timecode.h"

namespace kv {
// Failure messages show timecodes as a deck does.
inline void PrintTo(const Timecode& tc, std::ostream* os) {
    *os << FormatTimecode(tc).toStdString();
}
}  // namespace kv

namespace kv::test {

// Timecode audio made with libltc's encoder, with the true start sample of every frame, so that
// decoding and following can be checked against what was sent.
class LtcTestSignal {
public:
    LtcTestSignal(int sampleRate, TimecodeRate rate);

    struct SentFrame {
        Timecode timecode;
        int64_t startSample;
    };

    // `frames` frames counting up from `start`. speed > 1 runs fast (1.001 is 0.1 % fast).
    void AppendTimecode(const Timecode& start, int frames, double speed = 1.0);
    // The same, from a time in ms since 00:00:00:00.
    void AppendTimecodeAt(double startMs, double lengthMs, double speed = 1.0);
    void AppendSilence(double ms);
    // White noise over everything so far, of the given peak (full scale is 1).
    void AddNoise(double peak, unsigned seed);

    int SampleRate() const { return sampleRate_; }
    TimecodeRate Rate() const { return rate_; }
    const std::vector<float>& Samples() const { return samples_; }
    const std::vector<SentFrame>& Frames() const { return frames_; }
    int64_t Size() const { return static_cast<int64_t>(samples_.size()); }
    // The sample at which the sent timecode reaches tcMs (by the frame it lies in).
    int64_t SampleOfTimecodeMs(double tcMs) const;

    // A 16-bit WAV file with the signal on one of its channels (the others silent).
    bool WriteWav(const QString& path, int channels, int channel) const;

private:
    int sampleRate_;
    TimecodeRate rate_;
    std::vector<float> samples_;
    std::vector<SentFrame> frames_;
    std::vector<double> speeds_;  // of each sent frame
};

}  // namespace kv::test
