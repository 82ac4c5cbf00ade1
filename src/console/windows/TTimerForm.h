#pragma once

#include <QDialog>

namespace kv {

class TLocalizer;

// The countdown and the wait for the external start command.
// Created once at start-up and kept for the whole run; hidden until needed.
class TTimerForm : public QDialog {
    Q_OBJECT
public:
    explicit TTimerForm(QWidget* parent = nullptr);

    TLocalizer& Localizer() const { return *localizer_; }

private:
    TLocalizer* localizer_;
};

}  // namespace kv
