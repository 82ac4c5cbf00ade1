#pragma once

#include "sim/SimFiringModule.h"

namespace kv {

// A motor module: pans and rotates on motor commands; its script memory holds motor cues as
// three entries each (time with the first parameter, the second parameter, the sub-command).
class SimMotorModule final : public SimFiringModule {
public:
    struct Move {
        uint8_t command = 0;  // sub-command (0x98 centre, 0x94 left, 0x92 right, 0x81, 0x91)
        uint8_t x = 0;
        uint8_t y = 0;
        SimTimeUs atUs = 0;
        bool autonomous = false;
    };

    explicit SimMotorModule(const SimDeviceConfig& config);
    const std::vector<Move>& Moves() const { return moves_; }
    static bool KnownCommand(uint8_t command);

protected:
    void AnswerStatus(const SimFrame& f, SimTimeUs now, SimOutput& out) override;
    bool HandleSpecial(const SimFrame& f, SimTimeUs now, SimOutput& out) override;
    void RunCues(int fromMs, int toMs, SimTimeUs now) override;
    SimTimeUs NextCueDeadline() const override;

private:
    struct StoredMove {
        int timeMs;
        int slot;
        Move move;
    };
    std::vector<StoredMove> StoredMoves() const;

    std::vector<Move> moves_;
};

}  // namespace kv
