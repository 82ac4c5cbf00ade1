#include "shows/OtherConsoleShows.h"

namespace kv {

void OtherConsoleShows::Announced(uint8_t consoleId, uint32_t now) {
    shows_[consoleId] = Show{false, now};
}

void OtherConsoleShows::Ended(uint8_t consoleId) {
    shows_.erase(consoleId);
}

void OtherConsoleShows::ClockHeard(uint32_t now) {
    for (auto& [id, show] : shows_) {
        show.clockHeard = true;
        show.lastHeard = now;
    }
}

bool OtherConsoleShows::Standing(uint32_t now) {
    for (auto it = shows_.begin(); it != shows_.end();) {
        const Show& show = it->second;
        if (show.clockHeard && now - show.lastHeard >= kClockSilenceMs) {
            it = shows_.erase(it);
        } else {
            ++it;
        }
    }
    return !shows_.empty();
}

}  // namespace kv
