#pragma once

#include <QString>
#include <optional>

namespace kv {

// The frame rates a timecode signal may carry. 29.97 is always drop-frame here: that is what the
// signal's drop-frame flag says, and a non-drop 29.97 cannot be told from 30 by ear.
enum class TimecodeRate { Fps24, Fps25, Fps2997Df, Fps30 };

// Nominal frames per second (30 for drop-frame, whose frame numbers run to 29).
int NominalFps(TimecodeRate rate);
// Real frames per second (29.97 for drop-frame).
double RealFps(TimecodeRate rate);
// "24", "25", "29.97df", "30".
QString RateText(TimecodeRate rate);

// One timecode value, HH:MM:SS:FF.
struct Timecode {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int frames = 0;
    bool dropFrame = false;

    bool operator==(const Timecode&) const = default;
};

// Whether the fields are a timecode of that rate (drop-frame skips frames 0 and 1 of each minute
// but every tenth).
bool IsValidTimecode(const Timecode& tc, TimecodeRate rate);

// Frames since 00:00:00:00 and the real time in milliseconds since then. For drop-frame the
// dropped numbers are left out, so the milliseconds are wall time.
long long TimecodeFrameNumber(const Timecode& tc, TimecodeRate rate);
double TimecodeMs(const Timecode& tc, TimecodeRate rate);
// The timecode of a frame number (wrapping at 24 hours) and of a time in ms (the frame it lies
// in), the inverse of the two above.
Timecode TimecodeOfFrame(long long frameNumber, TimecodeRate rate);
Timecode TimecodeOfMs(double ms, TimecodeRate rate);
// The length of a timecode day (24:00:00:00) in milliseconds: where the clock wraps.
double TimecodeDayMs(TimecodeRate rate);
// The shortest signed distance from `from` to `to` on the timecode day, so that a show running
// across midnight keeps counting up.
double TimecodeDistanceMs(double fromMs, double toMs, TimecodeRate rate);

// "HH:MM:SS:FF" (";" before the frames of drop-frame timecode, as decks show it).
QString FormatTimecode(const Timecode& tc);
// Reads "HH:MM:SS:FF" or "HH:MM:SS;FF" (frames 0-29; the rate is checked when it is known).
std::optional<Timecode> ParseTimecode(const QString& text);

}  // namespace kv
