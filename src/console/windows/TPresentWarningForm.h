#pragma once

#include <QDialog>

namespace kv {

class TLocalizer;

// Asks whether to go on although modules are missing or may play the script incorrectly.
// Created once at start-up and kept for the whole run; hidden until needed.
class TPresentWarningForm : public QDialog {
    Q_OBJECT
public:
    explicit TPresentWarningForm(QWidget* parent = nullptr);

    TLocalizer& Localizer() const { return *localizer_; }

private:
    TLocalizer* localizer_;
};

}  // namespace kv
