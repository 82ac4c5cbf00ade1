#include "devices/TMotorControl.h"

#include "bus/TPortProto.h"

namespace kv {

void TMotorControl::PollStatus() {
    TCommonControl::PollStatus();
    SupplyVoltage = OutputVoltage;
}

int32_t TMotorControl::ReadStatusFrame(double& output, uint8_t& flag, double& supply) {
    const int32_t result = TCommonControl::ReadStatusFrame(output, flag, supply);
    flag = ModeUnknown;
    return result;
}

int32_t TMotorControl::MoveLeft(int speed) {
    return Bus().MotorLeft(Address, speed, RelayId, PortIndex);
}

int32_t TMotorControl::MoveRight(int speed) {
    return Bus().MotorRight(Address, speed, RelayId, PortIndex);
}

int32_t TMotorControl::MoveCentre(int speed) {
    return Bus().MotorCentre(Address, speed, RelayId, PortIndex);
}

// The turn commands take the cue's parameters: p1 the time, p2 the speed.
int32_t TMotorControl::RotateLeft(int time, int speed) {
    return Bus().MotorTurnLeft(Address, time, speed, RelayId, PortIndex);
}

int32_t TMotorControl::RotateRight(int time, int speed) {
    return Bus().MotorTurnRight(Address, time, speed, RelayId, PortIndex);
}

}  // namespace kv
