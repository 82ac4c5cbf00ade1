#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "timecode/LtcFrame.h"
#include "timecode/TimecodeEvent.h"

namespace kv {

// What the show does when the timecode stays away longer than the freewheel time.
enum class TimecodeLossAction { GoOn, Stop };

struct TimecodeFollowerSettings {
    Timecode showZero;  // the timecode at show position 0 (a pre-roll lies before it)
    int lockFrames = 10;
    int freewheelMs = 2000;
    TimecodeLossAction onLoss = TimecodeLossAction::GoOn;
    // Frames in a row on a new time line before a discontinuity counts as a jump: a single
    // frame with bit errors must not skip cues.
    int jumpConfirmFrames = 3;
};

// What the timecode lamp shows.
enum class TimecodeSignal { NoSignal, Locking, Locked, Freewheeling, OwnClock };

enum class TimecodeShowPhase { Idle, Waiting, Running, Stopped };

// Turns decoded frames into a show clock and decides, cue by cue, what fires and what is
// skipped. Pure: no threads, no clock of its own; time is the audio sample position the caller
// passes in (the capture keeps counting samples when the signal is gone, so freewheeling and
// loss are measured in samples too).
//
// The show position is (timecode - show zero) + offset, interpolated between frames from the
// sample position. The offset is the operator's trim of a constant delay (sound path, lift
// time): a positive offset fires earlier. Changing it moves the clock like on the console's own
// clock (cues passed over by a positive change fire; none fires twice). Tempo does not apply.
class TimecodeFollower {
public:
    TimecodeFollower(int sampleRate, TimecodeFollowerSettings settings);

    // Armed and waiting: the show starts when the locked timecode reaches the zero, or, locking
    // past zero, from the first cue at or after the timecode. cueTimesMs ascending.
    void Arm(std::vector<int> cueTimesMs);
    // Back to following without a show (the operator's stop).
    void Disarm();
    void SetOffsetMs(int offsetMs) { offsetMs_ = offsetMs; }
    int OffsetMs() const { return offsetMs_; }

    // A decoded frame, in the order of the audio.
    std::vector<TimecodeEvent> OnFrame(const LtcFrame& frame);
    // Moves the clock to the sample position: loss, freewheel, start and due cues.
    std::vector<TimecodeEvent> Update(int64_t nowSample);

    TimecodeSignal Signal() const;
    std::optional<TimecodeRate> Rate() const;
    TimecodeShowPhase Phase() const { return phase_; }
    // The show position while the clock has a time line (locked, freewheeling, own clock).
    std::optional<double> PositionMs(int64_t nowSample) const;
    // The timecode in ms since 00:00:00:00 at that sample, on the same time line.
    std::optional<double> TimecodeAtMs(int64_t nowSample) const;
    // The first cue not yet fired or skipped.
    int NextCue() const { return next_; }
    // A discontinuity waits for the next frames to say whether it is a jump: no cue fires.
    bool Holding() const { return holding_; }

private:
    void Advance(int64_t nowSample);
    void TakeFrame(const LtcFrame& frame);
    // Follows a confirmed frame: lock, return or jump.
    void Accept(const LtcFrame& frame);
    void Anchor(const LtcFrame& frame);
    bool OnLine(const LtcFrame& frame, int64_t refSample, double refTcMs,
                TimecodeRate refRate) const;
    void SkipBefore(double positionMs, const LtcFrame* frame);
    void StartLate(double positionMs, const LtcFrame* frame);
    double FrameMs() const;
    int64_t FramesToSamples(double frames) const;
    TimecodeEvent MakeEvent(TimecodeEventKind kind, const LtcFrame* frame) const;

    int sampleRate_;
    TimecodeFollowerSettings settings_;
    std::vector<int> cues_;
    int next_ = 0;
    int offsetMs_ = 0;
    TimecodeShowPhase phase_ = TimecodeShowPhase::Idle;

    // The time line: timecode anchorTcMs_ at sample anchorSample_, at the rate rate_.
    bool haveLine_ = false;
    int64_t anchorSample_ = 0;
    double anchorTcMs_ = 0;
    TimecodeRate rate_ = TimecodeRate::Fps25;
    double zeroMs_ = 0;
    // End of the last frame that was followed: loss and the freewheel time count from here.
    int64_t lastGoodEnd_ = 0;
    bool locked_ = false;
    // A locked clock that saw a discontinuity holds its cues until it is a jump or a glitch.
    bool holding_ = false;
    bool lostReported_ = false;
    bool freewheelOver_ = false;

    // Where the armed show's clock was when last seen before the start: a start at the zero
    // needs the clock seen before it, else the show starts late (armed past the zero).
    std::optional<double> waitingAt_;

    // Frames in a row that agree with each other (a lock or a jump being confirmed).
    int runCount_ = 0;
    LtcFrame runLast_;

    std::vector<TimecodeEvent> out_;
};

}  // namespace kv
