#pragma once

#include <QString>
#include <cstdint>

namespace kv {

// One 100 ms step of the start waiting window.
struct CountdownStep {
    QString text;        // "h:mm:ss.t"
    bool close = false;  // close the window with OK
};

// "h:mm:ss.t" of a signed millisecond span: whole seconds, then the tenths digit. Negative
// spans show as 0:00:00.0.
QString CountdownText(int64_t ms);

// targetTick 0 waits for the show to start (elapsed time shown), otherwise counts down to it
// (the remainder shown; it closes when that reaches zero or below, never wrapping to tomorrow).
CountdownStep Countdown(uint32_t startTick, uint32_t targetTick, uint32_t now, bool playing);

// A start at a time of day. A time that has already passed today (or is now) is refused: the
// countdown would close on its first tick and start the show at once, which nobody asked for;
// it never waits for tomorrow either. The window shows PassedMessage() instead.
struct CountdownPlan {
    bool passed = false;
    uint32_t targetTick = 0;  // the tick at which the countdown ends; never 0 (that means waiting)
    int32_t remainingMs = 0;  // picked minus current time of day
};
CountdownPlan PlanClockStart(uint32_t now, int32_t pickedMsOfDay, int32_t currentMsOfDay);
// "Время запуска уже прошло."
QString CountdownPassedMessage();

}  // namespace kv
