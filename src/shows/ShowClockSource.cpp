#include "shows/ShowClockSource.h"

#include <algorithm>

#include "shows/TProjectList.h"

namespace kv {

namespace {
int32_t Saturate(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}
}  // namespace

ClockStep FollowClockSource(ShowClockSource& clock, const TProjectList* script, int32_t offset,
                            int32_t& position, int32_t& nextCue,
                            const std::function<void()>& onStop,
                            const std::function<void()>& stop) {
    const ShowClockSource::Reading r = clock.Read();
    if (r.stop) {
        if (onStop) {
            onStop();
        } else if (stop) {
            stop();
        }
        return ClockStep::Stopped;
    }
    position = Saturate(int64_t{r.position} + offset);
    if (!r.running) {
        return ClockStep::Wait;
    }
    // Passed over, never fired: the clock logged them.
    const int64_t skipBefore = r.skipBefore == std::numeric_limits<int32_t>::min()
                                   ? r.skipBefore
                                   : int64_t{r.skipBefore} + offset;
    const int count = script ? script->Count() : 0;
    while (nextCue < count && script->Cue(nextCue).Time < skipBefore) {
        ++nextCue;
    }
    return ClockStep::Run;
}

}  // namespace kv
