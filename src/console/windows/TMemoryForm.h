#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kv {

class TLocalizer;

// Progress of the operations on the script in the devices' memory (write, verify, erase,
// black-box read): a title (`TextLabel`), the device being worked on (`Label1`), a progress bar
// (`Gauge`) and "Отмена", which is both the default and the cancel button. It stays on top of the
// main window, centred on it, without border buttons, and is shown only while an operation runs.
// Created once at start-up and kept for the whole run.
class TMemoryForm : public QDialog {
    Q_OBJECT
public:
    explicit TMemoryForm(QWidget* parent = nullptr);

    TLocalizer& Localizer() const { return *localizer_; }

    // Title set, status empty, progress 0, cancel flag cleared; shown and painted at once.
    void Begin(const QString& title);
    void Progress(const QString& status, int percent);
    void End();

    // Pressed by "Отмена", Esc or Enter; cleared by Begin.
    bool CancelRequested() const { return cancel_; }

    QString Title() const;
    QString Status() const;
    int Percent() const;
    QPushButton* CancelButton() const { return button_; }

signals:
    // The operator pressed "Отмена" (or Esc, or Enter).
    void CancelPressed();

protected:
    void reject() override;

private:
    TLocalizer* localizer_;
    QLabel* title_;
    QLabel* status_;
    QProgressBar* gauge_;
    QPushButton* button_;
    bool cancel_ = false;
};

}  // namespace kv
