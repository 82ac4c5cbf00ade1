#pragma once

#include <cstdint>
#include <map>

namespace kv {

// The shows other consoles on the bus announced (0x10 with their console ID) and have not yet
// ended (0x11). A console running a show in autonomous control broadcasts its show clock every
// second; while its announcement stands, those clock frames belong to that show. Taking them for
// an external start would answer them with the hold frame, which the announcing console hears as
// an external stop: its show would stop within a second.
//
// A clock frame carries no console ID, so hearing one keeps every standing announcement fresh.
// An announced show whose clock was heard and then stays silent for kClockSilenceMs is taken as
// gone (its console vanished without its end frame); a show whose clock was never heard (the
// console fires the cues itself) stands until its end frame.
class OtherConsoleShows {
public:
    static constexpr uint32_t kClockSilenceMs = 3000;

    void Announced(uint8_t consoleId, uint32_t now);
    void Ended(uint8_t consoleId);
    void ClockHeard(uint32_t now);
    // Whether another console's show stands at tick count `now`.
    bool Standing(uint32_t now);
    void Clear() { shows_.clear(); }

private:
    struct Show {
        bool clockHeard = false;
        uint32_t lastHeard = 0;
    };
    std::map<uint8_t, Show> shows_;
};

}  // namespace kv
