#include "timecode/TimecodeShowClock.h"

#include <cmath>

#include "devices/TScriptCue.h"
#include "i18n/Localizer.h"
#include "shows/TProjectList.h"

namespace kv {

namespace {

int32_t Ms(double ms) {
    return static_cast<int32_t>(std::llround(ms));
}

QString Seconds(double ms) {
    return QString::number(ms / 1000.0, 'f', 3);
}

}  // namespace

QString TimecodeEventText(const TimecodeEvent& e, const TProjectList* script) {
    const QString tc = FormatTimecode(e.timecode);
    switch (e.kind) {
        case TimecodeEventKind::Locked:
            return Message(Msg::TimecodeLocked) + QLatin1Char(' ') + RateText(e.rate) +
                   QLatin1Char(' ') + tc;
        case TimecodeEventKind::Lost:
            return Message(Msg::TimecodeLost) + QLatin1Char(' ') + Seconds(e.positionMs);
        case TimecodeEventKind::Returned:
            return Message(Msg::TimecodeRestored) + QLatin1Char(' ') + RateText(e.rate) +
                   QLatin1Char(' ') + tc;
        case TimecodeEventKind::JumpForward:
            return Message(Msg::TimecodeJumpForward) +
                   QStringLiteral(" %1 -> %2 ").arg(Seconds(e.fromMs), Seconds(e.positionMs)) + tc;
        case TimecodeEventKind::JumpBack:
            return Message(Msg::TimecodeJumpBack) +
                   QStringLiteral(" %1 -> %2 ").arg(Seconds(e.fromMs), Seconds(e.positionMs)) + tc;
        case TimecodeEventKind::FreewheelOver:
            return Message(Msg::TimecodeLostShowContinues);
        case TimecodeEventKind::StopShow:
            return Message(Msg::TimecodeLostShowStopped);
        case TimecodeEventKind::Started:
            return Message(Msg::TimecodeShowStart);
        case TimecodeEventKind::StartedLate:
            return Message(Msg::TimecodeStartMidShow) + QLatin1Char(' ') + Seconds(e.positionMs) +
                   QLatin1Char(' ') + tc;
        case TimecodeEventKind::CueSkipped: {
            QString text = Message(Msg::TimecodeSkipped) + QLatin1Char(' ');
            if (script && e.cue >= 0 && e.cue < script->Count()) {
                const TScriptCue& c = script->Cue(e.cue);
                text += Seconds(c.Time) + Message(Msg::TimecodeSkippedModule) + QLatin1Char(' ') +
                        QString::number(c.Module);
                if (!IsMotorCue(c.Kind)) {
                    text += Message(Msg::TimecodeSkippedChannel) + QLatin1Char(' ') +
                            QString::number(static_cast<int64_t>(c.Channel) + 1);
                }
            } else {
                text += QString::number(e.cue);
            }
            return text;
        }
        case TimecodeEventKind::CueFired:
            break;
    }
    return QString();
}

TimecodeShowClock::TimecodeShowClock(std::unique_ptr<TimecodeSource> source,
                                     TimecodeFollowerSettings settings)
    : source_(std::move(source)), follower_(source_->SampleRate(), settings) {}

TimecodeShowClock::~TimecodeShowClock() {
    source_->Stop();
}

bool TimecodeShowClock::Start() {
    return source_->Start();
}

void TimecodeShowClock::Stop() {
    source_->Stop();
}

void TimecodeShowClock::Arm(const TProjectList& script) {
    script_ = &script;
    std::vector<int> times;
    times.reserve(static_cast<size_t>(script.Count()));
    for (int i = 0; i < script.Count(); ++i) {
        times.push_back(script.Cue(i).Time);
    }
    follower_.Arm(std::move(times));
    skipBefore_ = std::numeric_limits<int32_t>::min();
    stop_ = false;
    held_.reset();
}

void TimecodeShowClock::Disarm() {
    follower_.Disarm();
    script_ = nullptr;
}

void TimecodeShowClock::Log(const QString& line) {
    if (!line.isEmpty()) {
        OnLog(line);
    }
}

void TimecodeShowClock::Handle(const TimecodeEvent& e) {
    switch (e.kind) {
        case TimecodeEventKind::CueFired:
            // The player fires (and logs) the cue when it reads the position.
            return;
        case TimecodeEventKind::CueSkipped:
            skipBefore_ = std::max(skipBefore_, static_cast<int32_t>(std::ceil(e.positionMs)));
            break;
        case TimecodeEventKind::StopShow:
            stop_ = true;
            break;
        default:
            break;
    }
    Log(TimecodeEventText(e, script_));
}

void TimecodeShowClock::Poll() {
    for (const LtcFrame& f : source_->Poll(now_)) {
        for (const TimecodeEvent& e : follower_.OnFrame(f)) {
            Handle(e);
        }
    }
    for (const TimecodeEvent& e : follower_.Update(now_)) {
        Handle(e);
    }
}

ShowClockSource::Reading TimecodeShowClock::Read() {
    Poll();
    Reading r;
    r.stop = stop_;
    r.skipBefore = skipBefore_;
    r.running = follower_.Phase() == TimecodeShowPhase::Running;
    const std::optional<double> position = follower_.PositionMs(now_);
    if (follower_.Holding()) {
        // The cues wait while the next frames say whether this is a jump.
        if (!held_ && position) {
            held_ = Ms(*position);
        }
    } else {
        held_.reset();
    }
    if (held_) {
        r.position = *held_;
    } else if (position) {
        r.position = Ms(std::floor(*position));
    }
    return r;
}

QString TimecodeShowClock::LampText() const {
    switch (follower_.Signal()) {
        case TimecodeSignal::NoSignal:
            return Message(Msg::LtcNoSignal);
        case TimecodeSignal::Locking:
            return Message(Msg::LtcLocked);
        case TimecodeSignal::Locked:
            return QStringLiteral("LTC ") +
                   RateText(follower_.Rate().value_or(TimecodeRate::Fps25));
        case TimecodeSignal::Freewheeling:
            return Message(Msg::LtcFreewheel);
        case TimecodeSignal::OwnClock:
            return Message(Msg::LtcOwnClock);
    }
    return QString();
}

QString TimecodeShowClock::TimeText() const {
    const std::optional<double> tc = follower_.TimecodeAtMs(now_);
    const std::optional<TimecodeRate> rate = follower_.Rate();
    if (!tc || !rate) {
        return QString();
    }
    return FormatTimecode(TimecodeOfMs(*tc, *rate));
}

}  // namespace kv
