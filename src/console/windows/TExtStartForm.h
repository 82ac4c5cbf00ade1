#pragma once

#include <QDialog>

namespace kv {

class TLocalizer;

// The start condition of an external start: a time of day or a start command from the bus.
// Created once at start-up and kept for the whole run; hidden until needed.
class TExtStartForm : public QDialog {
    Q_OBJECT
public:
    explicit TExtStartForm(QWidget* parent = nullptr);

    TLocalizer& Localizer() const { return *localizer_; }

private:
    TLocalizer* localizer_;
};

}  // namespace kv
