#pragma once

#include <cstdint>
#include <map>

#include "bus/TPort.h"

namespace kv {

// The shows other consoles on the bus announced (0x10 with their console ID) and have not yet
// ended (0x11). A console running a show in autonomous control broadcasts its show clock every
// second; while its announcement stands, those clock frames belong to that show. Taking them for
// an external start would answer them with the hold frame, which the announcing console hears as
// an external stop: its show would stop within a second.
//
// A console announces its running show again every second (with each clock frame in autonomous
// control), so a console that joined late or lost a frame learns of it within a second. A show
// that was announced again and then falls silent (neither announcement nor clock) for
// kAnnounceSilenceMs is taken as ended: its end frame was lost. Consoles that announce once
// only are still understood: a clock frame carries no console ID, so hearing one keeps every
// standing announcement fresh; such a show whose clock was heard and then stays silent for
// kClockSilenceMs is taken as gone, and one whose clock was never heard (the console fires the
// cues itself) stands until its end frame.
//
// The debug window's clock test starts and stops the modules' clocks at time 0 for a console
// that runs no show. It is announced with kClockTestMark in d4 of the same frames (a console
// that knows no mark ignores these frames whatever they carry), so that its clock frames are
// neither another console's start nor its stop.
class OtherConsoleShows {
public:
    static constexpr uint32_t kClockSilenceMs = 3000;
    static constexpr uint32_t kAnnounceSilenceMs = 3500;
    static constexpr uint8_t kClockTestMark = 0x01;

    // The clock test's announcement (start) or end frame from the console ownId.
    static BusFrame ClockTestFrame(bool start, uint8_t ownId);

    // A console frame (b5 0xFF) from another console: notes 0x10 and 0x11, ignores the rest.
    void Heard(const BusFrame& frame, uint32_t now);
    void Announced(uint8_t consoleId, uint32_t now, bool clockTest = false);
    void Ended(uint8_t consoleId, bool clockTest = false);
    void ClockHeard(uint32_t now);
    // Whether another console's show stands at tick count `now`.
    bool Standing(uint32_t now);
    // Whether another console's clock test stands at `now`.
    bool ClockTestStanding(uint32_t now);
    void Clear() { shows_.clear(); }

private:
    struct Show {
        bool clockHeard = false;
        bool announcedAgain = false;
        uint32_t lastHeard = 0;
    };
    static uint16_t Key(uint8_t consoleId, bool clockTest) {
        return static_cast<uint16_t>(consoleId | (clockTest ? 0x100 : 0));
    }
    // Drops what fell silent; true when an entry of that kind remains.
    bool AnyStanding(uint32_t now, bool clockTest);

    std::map<uint16_t, Show> shows_;
};

}  // namespace kv
