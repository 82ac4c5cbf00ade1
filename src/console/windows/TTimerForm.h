#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <utility>

class QLabel;
class QPushButton;

namespace kv {

class TLocalizer;

// The countdown and the wait for the external start command.
// Created once at start-up and kept for the whole run; hidden until needed.
// What the countdown window watches while it runs.
class CountdownWatch {
public:
    virtual bool ShowPlaying() const = 0;
    // False once the wait or the countdown was cleared elsewhere (a stop, a disarm).
    virtual bool WaitStands() const = 0;

protected:
    ~CountdownWatch() = default;
};

class TTimerForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTimerMs = 100;

    explicit TTimerForm(QWidget* parent = nullptr);

    TLocalizer& Localizer() const { return *localizer_; }

    // Shows the window modally under the caption line. targetTick 0 waits until the watched
    // show plays (elapsed time shown); otherwise counts down to targetTick. The wait no longer
    // standing means the wait or the countdown was cleared elsewhere (a stop, a
    // disarm): Cancel, also at zero. True (OK) only from a timer tick that saw the countdown
    // end or the show playing; "Отмена", Esc and the stop key F6 give false.
    bool Run(const QString& caption, uint32_t startTick, uint32_t targetTick,
             const CountdownWatch& watch);
    // One 100 ms step (the timer's handler; callable directly).
    void Tick();

    QLabel* Label2 = nullptr;
    QLabel* TimeLabel = nullptr;
    QPushButton* CancelBtn = nullptr;
    QTimer Timer;

protected:
    void done(int result) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    TLocalizer* localizer_;
    uint32_t startTick_ = 0;
    uint32_t targetTick_ = 0;
    const CountdownWatch* watch_ = nullptr;
};

}  // namespace kv
