#pragma once

#include <QDialog>

namespace kv {

class TLocalizer;

// The urgent red warning: no frame, on top of every window; its text and timer come with the show
// control. Created once at start-up and kept for the whole run; hidden until needed.
class TWarningForm : public QDialog {
    Q_OBJECT
public:
    explicit TWarningForm(QWidget* parent = nullptr);

    TLocalizer& Localizer() const { return *localizer_; }

private:
    TLocalizer* localizer_;
};

}  // namespace kv
