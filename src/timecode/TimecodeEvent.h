#pragma once

#include "timecode/Timecode.h"

namespace kv {

// What the follower tells its caller, once each, for the log and the player.
enum class TimecodeEventKind {
    Locked,         // first lock on the signal (rate known)
    Lost,           // the signal stopped or went bad: freewheeling from here
    Returned,       // the signal came back and relocked during a show
    JumpForward,    // the timecode jumped ahead: the cues between are skipped, never fired
    JumpBack,       // the timecode jumped back: cues already fired are never fired again
    FreewheelOver,  // the freewheel time ran out; the show goes on on the console's own clock
    StopShow,       // the freewheel time ran out and the slot says to stop (as the stop key)
    Started,        // the armed show started: the timecode reached the show's zero
    StartedLate,    // the armed show started past its zero, from the first cue at or after it
    CueFired,       // the cue's time has come on the timecode clock
    CueSkipped,     // the cue lies before a jump's or a late start's timecode: not fired
};

struct TimecodeEvent {
    TimecodeEventKind kind = TimecodeEventKind::Locked;
    // The frame's timecode and rate where the event comes from a frame.
    Timecode timecode;
    TimecodeRate rate = TimecodeRate::Fps25;
    // Show position in ms at the event; for jumps also where the clock was before.
    double positionMs = 0;
    double fromMs = 0;
    int cue = -1;  // index in the cue list for cue events
};

}  // namespace kv
