#pragma once

#include <QString>

namespace kv {

class TMotorControl;

// The motor panel: speed and time track bars (raw 0..255, both starting at 255) with their
// texts, and the five move buttons acting on the selected motor module.
class MotorPanelModel {
public:
    static constexpr int kMax = 255;

    void SetSpeed(int position);
    void SetTime(int position);
    int Speed() const { return speed_; }
    int Time() const { return time_; }

    // Percent of full speed with two decimals: "100.00 %".
    static QString SpeedText(int position);
    // position x 100 ms as a time of day with hundredths: "00:00:25.50".
    static QString TimeText(int position);

    int Left(TMotorControl* module) const;
    int Centre(TMotorControl* module) const;
    int Right(TMotorControl* module) const;
    int RotateLeft(TMotorControl* module) const;
    int RotateRight(TMotorControl* module) const;

private:
    int speed_ = kMax;
    int time_ = kMax;
};

}  // namespace kv
