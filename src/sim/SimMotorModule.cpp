#include "sim/SimMotorModule.h"

#include <algorithm>
#include <cmath>

namespace kv {

SimMotorModule::SimMotorModule(const SimDeviceConfig& config) : SimFiringModule(config) {}

bool SimMotorModule::KnownCommand(uint8_t command) {
    return command == 0x98 || command == 0x94 || command == 0x92 || command == 0x81 ||
           command == 0x91;
}

void SimMotorModule::AnswerStatus(const SimFrame&, SimTimeUs now, SimOutput& out) {
    // The motor drive reports its supply in the output field (the console copies it across).
    const int v = std::clamp(static_cast<int>(std::lround(Config().supplyVolts * 1000)), 0, 0x7FFF);
    Reply(out, now, 0x7A, static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v & 0xFF), 0, 0);
}

bool SimMotorModule::HandleSpecial(const SimFrame& f, SimTimeUs now, SimOutput& out) {
    if (f[0] != 0x8C || !KnownCommand(f[1])) {
        return false;
    }
    moves_.push_back({f[1], f[2], f[3], now, false});
    Reply(out, now, 0x73, f[1], f[2], f[3], f[4]);
    return true;
}

std::vector<SimMotorModule::StoredMove> SimMotorModule::StoredMoves() const {
    std::vector<StoredMove> out;
    const auto& e = Memory().Entries();
    for (std::size_t i = 0; i + 2 < e.size(); i += 3) {
        if (SimScriptMemory::EntryEmpty(e[i]) || e[i + 2][3] != 2 || e[i][3] != 0 ||
            e[i + 1][3] != 1) {
            continue;  // not a complete motor cue (k = 0, 1, 2)
        }
        const uint8_t cmd = e[i + 2][2];
        if (!KnownCommand(cmd)) {
            continue;
        }
        Move m;
        m.command = cmd;
        const bool rotation = cmd == 0x81 || cmd == 0x91;
        // The first entry carries what the live command sends first; a rotation's second
        // entry carries the other parameter.
        m.x = e[i][2];
        m.y = rotation ? e[i + 1][2] : 0;
        out.push_back({(e[i][0] * 256 + e[i][1]) * 100, static_cast<int>(i), m});
    }
    return out;
}

SimTimeUs SimMotorModule::NextCueDeadline() const {
    int best = -1;
    for (const auto& s : StoredMoves()) {
        if (!cueDone_[static_cast<std::size_t>(s.slot)] && s.timeMs >= clockStartMs_ &&
            (best < 0 || s.timeMs < best)) {
            best = s.timeMs;
        }
    }
    return best < 0 ? kSimNever : std::max(TimeOfClock(best), clockBaseAt_);
}

void SimMotorModule::RunCues(int, int toMs, SimTimeUs now) {
    for (const auto& s : StoredMoves()) {
        char& done = cueDone_[static_cast<std::size_t>(s.slot)];
        if (!done && s.timeMs >= clockStartMs_ && s.timeMs <= toMs) {
            done = 1;
            Move m = s.move;
            m.atUs = now;
            m.autonomous = true;
            moves_.push_back(m);
        }
    }
}

}  // namespace kv
