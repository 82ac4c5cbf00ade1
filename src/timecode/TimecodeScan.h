#pragma once

#include <QStringList>
#include <optional>
#include <vector>

#include "timecode/LtcFrame.h"

namespace kv {

// A summary of what a timecode recording holds: its rate, first and last frame, where the
// signal dropped out and where the timecode jumped. Frames are added in the order of the audio.
class TimecodeScan {
public:
    explicit TimecodeScan(int sampleRate);

    struct Dropout {
        double atMs;      // audio time where the signal stopped
        double lengthMs;  // how long it was away
    };
    struct Jump {
        double atMs;  // audio time of the first frame on the new time line
        Timecode from;
        Timecode to;
    };

    void Add(const LtcFrame& frame);
    // Closes the scan at the end of the audio (a signal that stops before it is a dropout).
    void Finish(int64_t endSample);

    std::optional<TimecodeRate> Rate() const { return rate_; }
    std::optional<LtcFrame> First() const { return first_; }
    std::optional<LtcFrame> Last() const { return last_; }
    int Frames() const { return frames_; }
    const std::vector<Dropout>& Dropouts() const { return dropouts_; }
    const std::vector<Jump>& Jumps() const { return jumps_; }

    // The lines kelvanectl prints.
    QStringList Report() const;

    // Reads an audio file's channel (0-based) through, as fast as it decodes. False with the
    // reason in error when the file cannot be decoded or has no such channel.
    static bool ScanFile(const QString& path, int channel, TimecodeScan& scan, QString& error);

private:
    double SampleMs(int64_t sample) const;

    int sampleRate_;
    std::optional<TimecodeRate> rate_;
    std::optional<LtcFrame> first_;
    std::optional<LtcFrame> last_;
    int frames_ = 0;
    std::vector<Dropout> dropouts_;
    std::vector<Jump> jumps_;
};

}  // namespace kv
