#include "console/ShowWiring.h"

#include "console/ConsoleWiring.h"
#include "shows/TExtPlayer.h"

namespace kv {

ShowWiring::ShowWiring(ConsoleWiring& wiring, TExtPlayer& player)
    : wiring_(wiring), player_(player) {
    wiring_.AddFrameHandler([this](const BusFrame& frame, int) { player_.HandleFrame(frame); });
    player_.OnIdle = [this] {
        wiring_.PollStep();
        if (OnShowIdle) {
            OnShowIdle();
        }
    };
    wiring_.ShowPlaying = [this] { return player_.IsPlaying(); };
    wiring_.OnFiredChannelCheck = [this] {
        if (player_.HasPendingChecks()) {
            player_.CheckNextFired();
        }
    };
}

}  // namespace kv
