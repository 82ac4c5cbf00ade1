#pragma once

#include <QString>

namespace kv {

// The timecode a slot's show follows instead of the console's own clock; off by default.
struct TimecodeSlot {
    bool Enabled = false;
    // Capture device: its name or its number in the device list; empty for the default one.
    QString Device;
    int Channel = 1;  // from 1
    // The show's zero as a timecode, "HH:MM:SS:FF" (00:59:50:00 gives ten seconds of pre-roll
    // before 01:00:00:00).
    QString ShowZero = QStringLiteral("01:00:00:00");
    // After the freewheel time without timecode: stop as the stop key does, or go on on the
    // console's own clock (music and fireworks usually go on).
    bool StopOnLoss = false;
    int FreewheelMs = 2000;
    int LockFrames = 10;
};

}  // namespace kv
