#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "shows/TimecodeSlot.h"
#include "timecode/TimecodeFollower.h"

namespace kv {

class TimecodeShowClock;

// The follower's settings of a slot; empty with the reason when the slot's values are none
// (a show zero that is no timecode, a channel below 1).
std::optional<TimecodeFollowerSettings> TimecodeSettingsOf(const TimecodeSlot& slot,
                                                           QString& error);

// The clock of a slot that follows timecode: its capture device, or, when file is given, that
// WAV file played in real time as if captured (rehearsal). Null with the reason when the slot's
// values are none or the file cannot be opened; the device opens when the clock starts.
std::unique_ptr<TimecodeShowClock> MakeTimecodeShowClock(const TimecodeSlot& slot,
                                                         const QString& file, QString& error);

}  // namespace kv
