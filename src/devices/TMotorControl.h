#pragma once

#include <cstdint>

#include "devices/TAutoControl.h"

namespace kv {

// A motor module that pans and rotates. Speed 0..255 (255 = 100 %), time 0..255 in 100 ms steps.
// The motor commands return their result and leave LastResult alone.
class TMotorControl : public TAutoControl {
public:
    TMotorControl(TPortProto& bus, int32_t address) : TAutoControl(bus, address) {
        Kind = KindMotorControl;
    }

    // The motor reports one voltage; it is shown as both.
    void PollStatus() override;

    int32_t MoveLeft(int speed);
    int32_t MoveRight(int speed);
    int32_t MoveCentre(int speed);
    int32_t RotateLeft(int time, int speed);
    int32_t RotateRight(int time, int speed);

protected:
    // The status answer carries the motor supply where a firing module has its mode flag: the
    // mode of a motor module cannot be read.
    int32_t ReadStatusFrame(double& output, uint8_t& flag, double& supply) override;
};

}  // namespace kv
