#include "sim/SimConsole.h"

#include <algorithm>

namespace kv {

SimConsole::SimConsole(const SimDeviceConfig& config)
    : SimDevice(config), state_(config.consoleState), playKind_(config.consolePlayKind) {}

void SimConsole::SetState(uint8_t stateAndMode, uint8_t playKind) {
    state_ = stateAndMode;
    playKind_ = playKind;
}

void SimConsole::OnFrame(const SimFrame& f, SimTimeUs now, SimOutput& out) {
    const auto own = static_cast<uint8_t>(ConsoleId());
    if (f[5] == 0xFF && f[0] == 0x01 && (f[4] == 0 || f[4] == own)) {
        const auto pauseUs =
            static_cast<SimTimeUs>(std::uniform_int_distribution<int>(0, 149)(Rng())) * 1000;
        out.Emit(
            *this,
            MakeSimFrame(0x02, static_cast<uint8_t>(Config().consoleMajor), 0, own, f[3], 0xFF),
            now + out.TurnaroundUs() + pauseUs);
        return;
    }
    if (f[5] == 0xFF && f[0] == 0x03 && (f[4] == 0 || f[4] == own)) {
        out.Emit(*this, MakeSimFrame(0x04, state_, playKind_, own, f[3], 0xFF),
                 now + out.TurnaroundUs());
        return;
    }
    if (f[5] == 0xFF || f[0] == 0x90) {
        heard_.push_back(f);
    }
}

void SimConsole::BroadcastStart(int ms, SimTimeUs now, SimOutput& out) {
    const int h = std::clamp(ms / 100, 0, 0xFFFF);
    const auto hi = static_cast<uint8_t>(h >> 8);
    const auto lo = static_cast<uint8_t>(h & 0xFF);
    out.Emit(*this, MakeSimFrame(0x90, hi, lo, 0x80, 0x00, 0x00), now);
    out.Emit(*this, MakeSimFrame(0x10, hi, lo, static_cast<uint8_t>(ConsoleId()), 0x00, 0xFF), now);
}

void SimConsole::BroadcastStop(int ms, SimTimeUs now, SimOutput& out) {
    const int h = std::clamp(ms / 100, 0, 0xFFFF);
    const auto hi = static_cast<uint8_t>(h >> 8);
    const auto lo = static_cast<uint8_t>(h & 0xFF);
    out.Emit(*this, MakeSimFrame(0x90, hi, lo, 0x00, 0x00, 0x00), now);
    out.Emit(*this, MakeSimFrame(0x11, hi, lo, static_cast<uint8_t>(ConsoleId()), 0x00, 0xFF), now);
}

void SimConsole::BroadcastProbe(SimTimeUs now, SimOutput& out) {
    out.Emit(*this, MakeSimFrame(0x01, 0, 0, static_cast<uint8_t>(ConsoleId()), 0, 0xFF), now);
}

}  // namespace kv
