#pragma once

namespace kv {

// Lets --simulate build the simulated bus: the console layer does not link the simulator,
// the program does.
void InstallSimulatedBus();

}  // namespace kv
