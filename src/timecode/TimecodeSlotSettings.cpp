#include "timecode/TimecodeSlotSettings.h"

#include "timecode/Timecode.h"
#include "util/IniFile.h"

namespace kv {

namespace {

// Wide enough for any show (a long interruption is a stop, not a freewheel), narrow enough that
// a typing slip is caught.
constexpr int kMaxFreewheelMs = 10 * 60 * 1000;
constexpr int kMaxLockFrames = 300;
constexpr int kMaxChannel = 64;

bool ReadBounded(const QString& text, int lo, int hi, int& value) {
    int v = 0;
    if (!IniFile::ParseInt(text, v) || v < lo || v > hi) {
        return false;
    }
    value = v;
    return true;
}

}  // namespace

TimecodeSlotReading ReadTimecodeSlot(const IniFile& ini, int slot) {
    TimecodeSlotReading r;
    const QString section = QStringLiteral("timecode%1").arg(slot);
    if (!ini.HasSection(section)) {
        return r;
    }
    TimecodeSlot& s = r.slot;
    bool enabled = false;
    for (const QString& key : ini.Keys(section)) {
        const QString value = ini.Value(section, key);
        QString why;
        const auto is = [&key](const char* name) {
            return key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
        };
        if (is("On")) {
            int on = 0;
            if (ReadBounded(value, 0, 1, on)) {
                enabled = on == 1;
            } else {
                why = QStringLiteral("not 0 or 1");
            }
        } else if (is("Device")) {
            s.Device = value;
        } else if (is("Channel")) {
            if (!ReadBounded(value, 1, kMaxChannel, s.Channel)) {
                why = QStringLiteral("not a channel 1..%1").arg(kMaxChannel);
            }
        } else if (is("ShowZero")) {
            if (ParseTimecode(value)) {
                s.ShowZero = value.trimmed();
            } else {
                why = QStringLiteral("not a timecode HH:MM:SS:FF");
            }
        } else if (is("OnLoss")) {
            if (value.compare(QLatin1String("GoOn"), Qt::CaseInsensitive) == 0) {
                s.StopOnLoss = false;
            } else if (value.compare(QLatin1String("Stop"), Qt::CaseInsensitive) == 0) {
                s.StopOnLoss = true;
            } else {
                why = QStringLiteral("not GoOn or Stop");
            }
        } else if (is("FreewheelMs")) {
            if (!ReadBounded(value, 0, kMaxFreewheelMs, s.FreewheelMs)) {
                why = QStringLiteral("not milliseconds 0..%1").arg(kMaxFreewheelMs);
            }
        } else if (is("LockFrames")) {
            if (!ReadBounded(value, 1, kMaxLockFrames, s.LockFrames)) {
                why = QStringLiteral("not frames 1..%1").arg(kMaxLockFrames);
            }
        } else {
            why = QStringLiteral("no such key");
        }
        if (!why.isEmpty()) {
            r.refused << QStringLiteral("[%1] %2=%3: %4").arg(section, key, value, why);
        }
    }
    s.Enabled = enabled;
    if (!r.refused.isEmpty()) {
        // Nothing of a refused section is kept: the slot is as if the section were not there.
        s = TimecodeSlot();
        r.refused
            << QStringLiteral("[%1]: slot %2 does not follow timecode").arg(section).arg(slot);
    }
    return r;
}

}  // namespace kv
