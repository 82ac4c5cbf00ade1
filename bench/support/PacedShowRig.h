#pragma once

// What the lateness benches share: a show played on the paced simulated bus with the console's
// own wiring, and the figures taken from it.

#include <QByteArray>
#include <functional>
#include <memory>
#include <vector>

#include "console/ConsoleWiring.h"
#include "console/ShowWiring.h"
#include "shows/TExtPlayer.h"
#include "sim/SimBus.h"

namespace kv::bench {

// The value at fraction p (0..1) of the sorted values, 0 when there are none.
double Percentile(std::vector<double> v, double p);

// One cue of a script: "<seconds> <module> <channel>".
QByteArray CueLine(int ms, int module, int channel);

// A paced simulated bus with one converter and `modules` fire modules (addresses 1..modules,
// 512 channels each).
std::shared_ptr<SimBus> PacedBus(int modules);

// Lets the event loop run for `ms`.
void Settle(int ms);

// Runs the event loop until the player stops playing.
void WaitUntilStopped(const TExtPlayer& player);

// The console's wiring on `bus` with modules 1..modules registered, then `registerMore` (if
// any), then the player and the show wiring.
struct PacedShowRig {
    std::shared_ptr<SimBus> bus;
    std::unique_ptr<ConsoleWiring> wiring;
    std::unique_ptr<TExtPlayer> player;
    std::unique_ptr<ShowWiring> show;

    PacedShowRig(std::shared_ptr<SimBus> pacedBus, int modules,
                 const std::function<void(ConsoleWiring&)>& registerMore = {});
    ~PacedShowRig();
    PacedShowRig(const PacedShowRig&) = delete;
    PacedShowRig& operator=(const PacedShowRig&) = delete;
};

}  // namespace kv::bench
