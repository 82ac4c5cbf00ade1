#pragma once

#include <QWidget>

#include "console/MotorPanelModel.h"

class QLabel;
class QPushButton;
class QSlider;

#include "console/windows/ModuleSelection.h"

namespace kv {

class TMotorControl;

// The motor module's test panel: speed and time track bars with their texts, and the buttons
// that turn the mounted device left, to the centre, right, or rotate it either way.
class MotorPanel : public QWidget {
    Q_OBJECT
public:
    explicit MotorPanel(QWidget* parent = nullptr);

    // Where the selected motor module comes from (nullptr: none), asked at every command.
    void SetModuleSource(const ModuleSelection* source);

    const MotorPanelModel& Model() const { return model_; }
    QSlider* SpeedBar() const { return speed_; }
    QSlider* TimeBar() const { return time_; }
    QLabel* SpeedLabel() const { return speedText_; }
    QLabel* TimeLabel() const { return timeText_; }

    QPushButton* LeftBtn = nullptr;
    QPushButton* CenterBtn = nullptr;
    QPushButton* RightBtn = nullptr;
    QPushButton* RotateLeftBtn = nullptr;
    QPushButton* RotateRightBtn = nullptr;

private:
    TMotorControl* Module() const;

    MotorPanelModel model_;
    const ModuleSelection* source_ = nullptr;
    QSlider* speed_ = nullptr;
    QSlider* time_ = nullptr;
    QLabel* speedText_ = nullptr;
    QLabel* timeText_ = nullptr;
};

}  // namespace kv
