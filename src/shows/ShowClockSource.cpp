#include "shows/ShowClockSource.h"

#include "shows/TProjectList.h"

namespace kv {

bool FollowClockSource(ShowClockSource& clock, const TProjectList* script, int32_t& position,
                       int32_t& nextCue, const std::function<void()>& onStop,
                       const std::function<void()>& stop) {
    const ShowClockSource::Reading r = clock.Read();
    if (r.stop) {
        if (onStop) {
            onStop();
        } else if (stop) {
            stop();
        }
        return false;
    }
    if (!r.running) {
        return false;
    }
    position = r.position;
    // Passed over, never fired: the clock logged them.
    const int count = script ? script->Count() : 0;
    while (nextCue < count && script->Cue(nextCue).Time < r.skipBefore) {
        ++nextCue;
    }
    return true;
}

}  // namespace kv
