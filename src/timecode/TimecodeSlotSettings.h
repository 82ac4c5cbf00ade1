#pragma once

#include <QString>
#include <QStringList>

#include "shows/TimecodeSlot.h"

namespace kv {

class IniFile;

// A slot's timecode source as the settings file gives it: section [timecodeN] for slot N (1..8),
// keys On, Device, Channel, ShowZero, OnLoss, FreewheelMs, LockFrames. A missing section is a slot
// that does not follow timecode.
struct TimecodeSlotReading {
    TimecodeSlot slot;
    // "[timecode2] Channel=0: ..." per key that cannot be used (an unknown key included: a
    // misspelt OnLoss must not silently read as go on), then a last line saying the slot is off.
    // Any of them leaves slot at its defaults, off: a show never follows a half-read source.
    QStringList refused;
};

TimecodeSlotReading ReadTimecodeSlot(const IniFile& ini, int slot);

}  // namespace kv
