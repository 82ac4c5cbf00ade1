#include "timecode/TimecodeFollower.h"

#include <algorithm>
#include <cmath>

namespace kv {

TimecodeFollower::TimecodeFollower(int sampleRate, TimecodeFollowerSettings settings)
    : sampleRate_(sampleRate > 0 ? sampleRate : 48000), settings_(settings) {
    settings_.lockFrames = std::max(1, settings_.lockFrames);
    settings_.jumpConfirmFrames = std::max(1, settings_.jumpConfirmFrames);
    settings_.freewheelMs = std::max(0, settings_.freewheelMs);
}

void TimecodeFollower::Arm(std::vector<int> cueTimesMs) {
    cues_ = std::move(cueTimesMs);
    std::stable_sort(cues_.begin(), cues_.end());
    next_ = 0;
    phase_ = TimecodeShowPhase::Waiting;
    freewheelOver_ = false;
    waitingAt_.reset();
}

void TimecodeFollower::Disarm() {
    phase_ = TimecodeShowPhase::Idle;
    if (!locked_) {
        // Without a show nothing freewheels: the lamp shows the signal as it is.
        haveLine_ = false;
    }
}

double TimecodeFollower::FrameMs() const {
    return 1000.0 / RealFps(rate_);
}

int64_t TimecodeFollower::FramesToSamples(double frames) const {
    return static_cast<int64_t>(std::llround(frames * sampleRate_ / RealFps(rate_)));
}

std::optional<TimecodeRate> TimecodeFollower::Rate() const {
    if (haveLine_ || runCount_ > 0) {
        return rate_;
    }
    return std::nullopt;
}

TimecodeSignal TimecodeFollower::Signal() const {
    if (locked_) {
        return TimecodeSignal::Locked;
    }
    if (haveLine_ && phase_ == TimecodeShowPhase::Running) {
        return freewheelOver_ ? TimecodeSignal::OwnClock : TimecodeSignal::Freewheeling;
    }
    return runCount_ > 0 ? TimecodeSignal::Locking : TimecodeSignal::NoSignal;
}

std::optional<double> TimecodeFollower::TimecodeAtMs(int64_t nowSample) const {
    if (!haveLine_) {
        return std::nullopt;
    }
    return anchorTcMs_ + static_cast<double>(nowSample - anchorSample_) * 1000.0 / sampleRate_;
}

std::optional<double> TimecodeFollower::PositionMs(int64_t nowSample) const {
    const std::optional<double> tc = TimecodeAtMs(nowSample);
    if (!tc) {
        return std::nullopt;
    }
    return TimecodeDistanceMs(zeroMs_, *tc, rate_) + offsetMs_;
}

bool TimecodeFollower::OnLine(const LtcFrame& frame, int64_t refSample, double refTcMs,
                              TimecodeRate refRate) const {
    if (!frame.rate || *frame.rate != refRate) {
        return false;
    }
    const double predicted =
        refTcMs + static_cast<double>(frame.startSample - refSample) * 1000.0 / sampleRate_;
    const double actual = TimecodeMs(frame.timecode, refRate);
    // Half a frame: the edge detector's jitter and a deck's vari-speed stay far below it, a
    // frame out of place does not.
    return std::abs(TimecodeDistanceMs(predicted, actual, refRate)) <= 500.0 / RealFps(refRate);
}

TimecodeEvent TimecodeFollower::MakeEvent(TimecodeEventKind kind, const LtcFrame* frame) const {
    TimecodeEvent e;
    e.kind = kind;
    e.rate = rate_;
    if (frame) {
        e.timecode = frame->timecode;
    }
    return e;
}

std::vector<TimecodeEvent> TimecodeFollower::OnFrame(const LtcFrame& frame) {
    out_.clear();
    // Whatever was due before this frame began is due on the time line known until now.
    Advance(frame.startSample);
    if (frame.rate && !frame.reverse) {
        TakeFrame(frame);
    }
    std::vector<TimecodeEvent> out;
    out.swap(out_);
    return out;
}

std::vector<TimecodeEvent> TimecodeFollower::Update(int64_t nowSample) {
    out_.clear();
    Advance(nowSample);
    std::vector<TimecodeEvent> out;
    out.swap(out_);
    return out;
}

void TimecodeFollower::TakeFrame(const LtcFrame& frame) {
    if (locked_ && OnLine(frame, anchorSample_, anchorTcMs_, rate_)) {
        // On the followed time line: a pending discontinuity was a glitch.
        holding_ = false;
        runCount_ = 0;
        Anchor(frame);
        return;
    }
    if (runCount_ > 0 && *frame.rate == *runLast_.rate &&
        OnLine(frame, runLast_.startSample, TimecodeMs(runLast_.timecode, *runLast_.rate),
               *runLast_.rate)) {
        ++runCount_;
    } else {
        runCount_ = 1;
    }
    runLast_ = frame;
    if (locked_) {
        holding_ = true;
        if (runCount_ >= settings_.jumpConfirmFrames) {
            Accept(frame);
        }
    } else if (runCount_ >= settings_.lockFrames) {
        Accept(frame);
    }
}

void TimecodeFollower::Accept(const LtcFrame& frame) {
    const TimecodeRate rate = *frame.rate;
    const bool following = haveLine_ && phase_ == TimecodeShowPhase::Running;
    const bool wasLocked = locked_;
    double oldPosition = 0;
    bool jumped = false;
    if (following) {
        oldPosition = *PositionMs(frame.startSample);
        jumped = !OnLine(frame, anchorSample_, anchorTcMs_, rate_);
    } else if (haveLine_ && wasLocked) {
        // A jump before the show started: reported, nothing to skip yet.
        oldPosition = *PositionMs(frame.startSample);
        jumped = true;
    }
    rate_ = rate;
    Anchor(frame);
    const double newPosition = *PositionMs(frame.startSample);
    locked_ = true;
    holding_ = false;
    runCount_ = 0;
    freewheelOver_ = false;

    if (!wasLocked) {
        out_.push_back(MakeEvent(
            lostReported_ && following ? TimecodeEventKind::Returned : TimecodeEventKind::Locked,
            &frame));
        out_.back().positionMs = newPosition;
    }
    lostReported_ = false;
    if (jumped) {
        TimecodeEvent e = MakeEvent(newPosition >= oldPosition ? TimecodeEventKind::JumpForward
                                                               : TimecodeEventKind::JumpBack,
                                    &frame);
        e.fromMs = oldPosition;
        e.positionMs = newPosition;
        out_.push_back(e);
        if (following && newPosition > oldPosition) {
            SkipBefore(newPosition, &frame);
        }
    }
    if (phase_ == TimecodeShowPhase::Waiting) {
        if (newPosition > 0) {
            StartLate(newPosition, &frame);
        } else {
            waitingAt_ = newPosition;
        }
    }
}

void TimecodeFollower::StartLate(double positionMs, const LtcFrame* frame) {
    // Past the zero: start from the first cue at or after the timecode, never with the ones
    // before it.
    phase_ = TimecodeShowPhase::Running;
    TimecodeEvent e = MakeEvent(TimecodeEventKind::StartedLate, frame);
    e.positionMs = positionMs;
    out_.push_back(e);
    SkipBefore(positionMs, frame);
}

void TimecodeFollower::SkipBefore(double positionMs, const LtcFrame* frame) {
    while (next_ < static_cast<int>(cues_.size()) && cues_[next_] < positionMs) {
        TimecodeEvent e = MakeEvent(TimecodeEventKind::CueSkipped, frame);
        e.cue = next_;
        e.positionMs = positionMs;
        out_.push_back(e);
        ++next_;
    }
}

void TimecodeFollower::Anchor(const LtcFrame& frame) {
    anchorSample_ = frame.startSample;
    anchorTcMs_ = TimecodeMs(frame.timecode, rate_);
    Timecode zero = settings_.showZero;
    zero.frames = std::min(zero.frames, NominalFps(rate_) - 1);
    zeroMs_ = TimecodeMs(zero, rate_);
    haveLine_ = true;
    // By the frame's start: its end may lie past a silence that followed it.
    lastGoodEnd_ = frame.startSample + FramesToSamples(1) - 1;
}

void TimecodeFollower::Advance(int64_t nowSample) {
    // Loss: no frame followed for a few frame times (longer than a jump takes to confirm).
    const int64_t lossSamples = FramesToSamples(settings_.jumpConfirmFrames + 2);
    if (locked_ && nowSample - lastGoodEnd_ > lossSamples) {
        locked_ = false;
        holding_ = false;
        runCount_ = 0;
        lostReported_ = true;
        TimecodeEvent e = MakeEvent(TimecodeEventKind::Lost, nullptr);
        e.positionMs = *PositionMs(nowSample);
        out_.push_back(e);
        if (phase_ != TimecodeShowPhase::Running) {
            // Before the start nothing freewheels: a deck stopped in the pre-roll must not
            // start the show by the console's clock.
            haveLine_ = false;
            waitingAt_.reset();
        }
    }
    if (!locked_ && runCount_ > 0 &&
        nowSample - (runLast_.startSample + FramesToSamples(1)) > lossSamples) {
        runCount_ = 0;
    }
    if (phase_ == TimecodeShowPhase::Running && haveLine_ && !locked_ && !freewheelOver_ &&
        nowSample - lastGoodEnd_ >=
            static_cast<int64_t>(settings_.freewheelMs) * sampleRate_ / 1000) {
        freewheelOver_ = true;
        TimecodeEvent e = MakeEvent(settings_.onLoss == TimecodeLossAction::Stop
                                        ? TimecodeEventKind::StopShow
                                        : TimecodeEventKind::FreewheelOver,
                                    nullptr);
        e.positionMs = *PositionMs(nowSample);
        out_.push_back(e);
        if (settings_.onLoss == TimecodeLossAction::Stop) {
            phase_ = TimecodeShowPhase::Stopped;
            haveLine_ = false;
            return;
        }
    }
    if (!haveLine_ || holding_) {
        return;
    }
    const double position = *PositionMs(nowSample);
    if (phase_ == TimecodeShowPhase::Waiting && locked_) {
        if (position < 0) {
            waitingAt_ = position;
        } else if (waitingAt_) {
            // The clock was seen before the zero and has reached it.
            phase_ = TimecodeShowPhase::Running;
            TimecodeEvent e = MakeEvent(TimecodeEventKind::Started, nullptr);
            e.positionMs = position;
            out_.push_back(e);
        } else {
            // Armed while the timecode was already past the zero.
            StartLate(position, nullptr);
        }
    }
    if (phase_ != TimecodeShowPhase::Running) {
        return;
    }
    while (next_ < static_cast<int>(cues_.size()) && cues_[next_] <= position) {
        TimecodeEvent e = MakeEvent(TimecodeEventKind::CueFired, nullptr);
        e.cue = next_;
        e.positionMs = position;
        out_.push_back(e);
        ++next_;
    }
}

}  // namespace kv
