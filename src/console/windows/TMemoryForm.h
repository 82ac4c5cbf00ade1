#pragma once

#include <QDialog>

namespace kv {

class TLocalizer;

// Progress of the module memory operations (write, verify, erase, black-box read); it stays on top
// of the main window. Created once at start-up and kept for the whole run; hidden until needed.
class TMemoryForm : public QDialog {
    Q_OBJECT
public:
    explicit TMemoryForm(QWidget* parent = nullptr);

    TLocalizer& Localizer() const { return *localizer_; }

private:
    TLocalizer* localizer_;
};

}  // namespace kv
