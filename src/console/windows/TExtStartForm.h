#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>

#include "shows/Countdown.h"

class QPushButton;
class QRadioButton;
class QTimeEdit;

namespace kv {

class TLocalizer;

// The start condition of an external start: a time of day or a start command from the bus.
// Created once at start-up and kept for the whole run; hidden until needed.
class TExtStartForm : public QDialog {
    Q_OBJECT
public:
    enum class Choice { Cancelled, Clock, External };

    explicit TExtStartForm(QWidget* parent = nullptr);

    TLocalizer& Localizer() const { return *localizer_; }

    // Shows the dialog modally with the picker at the current time of day. A time of day that
    // has already passed is refused with a message and the operator picks again; for Clock,
    // Plan() holds the countdown's target.
    Choice Ask();
    const CountdownPlan& Plan() const { return plan_; }

    // The time of day in ms (the system clock unless replaced).
    std::function<int32_t()> CurrentMsOfDay;
    // A modal box with an OK button (a message box unless replaced).
    std::function<void(const QString& caption, const QString& text)> ShowMessage;

    QRadioButton* RadioButton1 = nullptr;  // "По системным часам"
    QRadioButton* RadioButton2 = nullptr;  // "От внешней команды запуска"
    QTimeEdit* DateTimePicker1 = nullptr;
    QPushButton* StartBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

private:
    void StartClick();

    TLocalizer* localizer_;
    CountdownPlan plan_;
};

}  // namespace kv
