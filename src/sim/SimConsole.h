#pragma once

#include <vector>

#include "sim/SimDevice.h"

namespace kv {

// Another operator console on the bus (address 255, told apart by its console ID). It answers
// console probes after a random pause of up to 149 ms and status queries at once, and can be
// made to broadcast a show start or stop as its operator would.
class SimConsole final : public SimDevice {
public:
    explicit SimConsole(const SimDeviceConfig& config);

    int ConsoleId() const { return Config().consoleId; }
    void SetState(uint8_t stateAndMode, uint8_t playKind);
    // Frames from other consoles that it heard (probe replies, status answers, broadcasts).
    const std::vector<SimFrame>& Heard() const { return heard_; }

    // The show-clock run broadcast followed by the start announcement, at show time ms.
    void BroadcastStart(int ms, SimTimeUs now, SimOutput& out);
    // The show-clock stop broadcast followed by the stop announcement.
    void BroadcastStop(int ms, SimTimeUs now, SimOutput& out);
    // Its own discovery probe to every console.
    void BroadcastProbe(SimTimeUs now, SimOutput& out);

protected:
    void OnFrame(const SimFrame& frame, SimTimeUs now, SimOutput& out) override;

private:
    uint8_t state_;
    uint8_t playKind_;
    std::vector<SimFrame> heard_;
};

}  // namespace kv
