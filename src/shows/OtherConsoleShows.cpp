#include "shows/OtherConsoleShows.h"

namespace kv {

BusFrame OtherConsoleShows::ClockTestFrame(bool start, uint8_t ownId) {
    return BusFrame{static_cast<uint8_t>(start ? 0x10 : 0x11), 0, 0, ownId, kClockTestMark, 0xFF};
}

void OtherConsoleShows::Heard(const BusFrame& f, uint32_t now) {
    const bool clockTest = f[4] == kClockTestMark;
    if (f[0] == 0x10) {
        Announced(f[3], now, clockTest);
    } else if (f[0] == 0x11) {
        Ended(f[3], clockTest);
    }
}

void OtherConsoleShows::Announced(uint8_t consoleId, uint32_t now, bool clockTest) {
    auto [it, added] = shows_.try_emplace(Key(consoleId, clockTest));
    Show& show = it->second;
    if (!added) {
        show.announcedAgain = true;
    }
    show.lastHeard = now;
}

void OtherConsoleShows::Ended(uint8_t consoleId, bool clockTest) {
    shows_.erase(Key(consoleId, clockTest));
}

void OtherConsoleShows::ClockHeard(uint32_t now) {
    for (auto& [key, show] : shows_) {
        show.clockHeard = true;
        show.lastHeard = now;
    }
}

bool OtherConsoleShows::AnyStanding(uint32_t now, bool clockTest) {
    bool any = false;
    for (auto it = shows_.begin(); it != shows_.end();) {
        const Show& show = it->second;
        const uint32_t silent = now - show.lastHeard;
        if ((show.announcedAgain && silent >= kAnnounceSilenceMs) ||
            (show.clockHeard && silent >= kClockSilenceMs && !show.announcedAgain)) {
            it = shows_.erase(it);
            continue;
        }
        any = any || ((it->first & 0x100) != 0) == clockTest;
        ++it;
    }
    return any;
}

bool OtherConsoleShows::Standing(uint32_t now) {
    return AnyStanding(now, false);
}

bool OtherConsoleShows::ClockTestStanding(uint32_t now) {
    return AnyStanding(now, true);
}

}  // namespace kv
