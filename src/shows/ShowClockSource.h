#pragma once

#include <cstdint>
#include <functional>
#include <limits>

namespace kv {

// A clock that drives a show from outside the console (timecode from a sound desk): the player
// asks it for the show position at every tick instead of counting its own. The player keeps
// firing every cue whose time has come, in order, and never goes back to a cue it passed, so a
// clock that moves back repeats nothing; a clock that jumps ahead names the cues to pass over.
class ShowClockSource {
public:
    struct Reading {
        // False while armed and waiting: no position, no cue.
        bool running = false;
        int32_t position = 0;
        // Cues before this time that were not fired yet are passed over, never fired (a jump
        // forward, a start in the middle of the show). Never decreases during a show.
        int32_t skipBefore = std::numeric_limits<int32_t>::min();
        // The clock asks for the show to stop as the stop key does (timecode lost for good).
        bool stop = false;
    };

    virtual ~ShowClockSource() = default;
    virtual Reading Read() = 0;
};

class TProjectList;

// What a player's tick does on an outside clock.
enum class ClockStep {
    Run,      // the show runs: fire what has come
    Wait,     // armed and waiting: the position moves (a pre-roll counts up to 0), nothing fires
    Stopped,  // the clock asked for the stop, which has run
};

// One tick of a player on an outside clock: reads it, passes over the cues it skipped (nextCue
// moves past them) and sets position: the clock's position plus the operator's offset, which
// shifts the skip bound alike. On a stop request onStop runs (the stop key's command), or stop
// when onStop is unassigned.
ClockStep FollowClockSource(ShowClockSource& clock, const TProjectList* script, int32_t offset,
                            int32_t& position, int32_t& nextCue,
                            const std::function<void()>& onStop, const std::function<void()>& stop);

}  // namespace kv
