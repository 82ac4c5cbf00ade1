#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "core/Signal.h"
#include "shows/ShowClockSource.h"
#include "timecode/TimecodeFollower.h"
#include "timecode/TimecodeSource.h"

namespace kv {

class TProjectList;

// The show clock of a slot that follows timecode: a source (capture device or file) and the
// follower, read by the player at each tick. What happens on the way (lock, loss, return, jumps,
// skipped cues, the start) goes to OnLog once each, as event log lines.
class TimecodeShowClock final : public ShowClockSource {
public:
    TimecodeShowClock(std::unique_ptr<TimecodeSource> source, TimecodeFollowerSettings settings);
    ~TimecodeShowClock() override;

    // Starts listening. False with Error() when the source cannot run.
    bool Start();
    void Stop();
    QString Error() const { return source_->Error(); }

    // Armed and waiting for the timecode to reach the show's zero. The script stays the
    // caller's and must outlive the arming.
    void Arm(const TProjectList& script);
    void Disarm();

    // Takes what the source decoded and moves the clock; Read does this as well.
    void Poll();
    Reading Read() override;

    TimecodeSignal Signal() const { return follower_.Signal(); }
    std::optional<TimecodeRate> Rate() const { return follower_.Rate(); }
    const TimecodeFollower& Follower() const { return follower_; }
    // The lamp's caption ("LTC 25", "LTC: свободный ход", ...) and the timecode now
    // ("01:00:02:13"; empty without a time line).
    QString LampText() const;
    QString TimeText() const;

    kv::Signal<const QString& /*line*/> OnLog;

private:
    void Handle(const TimecodeEvent& e);
    void Log(const QString& line);

    std::unique_ptr<TimecodeSource> source_;
    TimecodeFollower follower_;
    const TProjectList* script_ = nullptr;
    int64_t now_ = 0;
    int32_t skipBefore_ = std::numeric_limits<int32_t>::min();
    bool stop_ = false;
    // The position at which a discontinuity began to hold the cues.
    std::optional<int32_t> held_;
};

// The event log line of a follower event (with the cue's module and channel for a skip).
QString TimecodeEventText(const TimecodeEvent& e, const TProjectList* script);

}  // namespace kv
