#include "console/MotorPanelModel.h"

#include <algorithm>

#include "devices/TMotorControl.h"

namespace kv {

void MotorPanelModel::SetSpeed(int position) {
    speed_ = std::clamp(position, 0, kMax);
}

void MotorPanelModel::SetTime(int position) {
    time_ = std::clamp(position, 0, kMax);
}

QString MotorPanelModel::SpeedText(int position) {
    return QString::number(position / 255.0 * 100, 'f', 2) + QStringLiteral(" %");
}

QString MotorPanelModel::TimeText(int position) {
    const int ms = position * 100;
    const int seconds = ms / 1000;
    return QStringLiteral("%1:%2:%3.%4")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000 / 10, 2, 10, QLatin1Char('0'));
}

int MotorPanelModel::Left(TMotorControl* module) const {
    return module != nullptr ? module->MoveLeft(speed_) : 0;
}

int MotorPanelModel::Centre(TMotorControl* module) const {
    return module != nullptr ? module->MoveCentre(speed_) : 0;
}

int MotorPanelModel::Right(TMotorControl* module) const {
    return module != nullptr ? module->MoveRight(speed_) : 0;
}

int MotorPanelModel::RotateLeft(TMotorControl* module) const {
    return module != nullptr ? module->RotateLeft(time_, speed_) : 0;
}

int MotorPanelModel::RotateRight(TMotorControl* module) const {
    return module != nullptr ? module->RotateRight(time_, speed_) : 0;
}

}  // namespace kv
