#pragma once

#include <vector>

#include "sim/SimDevice.h"

namespace kv {

// The radio remote control (address 0). While recording it stores every cue write it hears,
// whatever module the write is addressed to, and answers it; cue reads are answered with
// 0x91 carrying the stored module in the address byte. From 0x146 its memory can be erased,
// which also puts it into recording; a later identification request ends the recording.
class SimRemoteControl final : public SimDevice {
public:
    struct Stored {
        uint8_t module = 0;
        uint8_t d[4] = {0xFF, 0xFF, 0, 0};
    };
    static constexpr int kEraseCommandVersion = 0x146;

    explicit SimRemoteControl(const SimDeviceConfig& config);
    bool Recording() const { return recording_; }
    // The operator's switch on remotes that cannot be erased from the bus.
    void SetRecording(bool on) { recording_ = on; }
    const std::vector<Stored>& Memory() const { return memory_; }
    bool Erasing() const { return eraseDoneAt_ != kSimNever; }

    SimTimeUs NextDeadline() const override { return eraseDoneAt_; }
    void Advance(SimTimeUs now, SimOutput& out) override;

protected:
    void OnFrame(const SimFrame& frame, SimTimeUs now, SimOutput& out) override;

private:
    bool recording_;
    std::vector<Stored> memory_;
    SimTimeUs eraseDoneAt_ = kSimNever;
};

}  // namespace kv
