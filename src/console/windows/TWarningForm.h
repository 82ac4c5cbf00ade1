#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>

class QLabel;

namespace kv {

class TLocalizer;

// The urgent red warning: no frame, on top of every window, centred on the main window. It goes
// away 10 s after it was first shown, at a key press, when the key hook sees any key, or when
// the converter link comes back. Showing it again while it is up replaces the text but does not
// restart the 10 s. It never takes the focus from the main window, so a key meant for the show
// (the stop key above all) always reaches it. Created once at start-up and kept for the whole
// run.
class TWarningForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kShowMs = 10000;

    explicit TWarningForm(QWidget* parent = nullptr);

    TLocalizer& Localizer() const { return *localizer_; }

    // Sets the text, starts the timer unless it already runs, shows the window without making
    // it modal and paints it at once, so the text is seen even while the main thread is busy.
    void ShowWarning(const QString& text);
    // Hides the window and stops the timer.
    void CloseWarning();

    QString Text() const;
    QTimer& Timer() { return timer_; }

protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    TLocalizer* localizer_;
    QLabel* text_;
    QTimer timer_;
    // The window that had the keyboard when this one came up: it gets it back at once.
    QPointer<QWidget> keyboardOwner_;
};

}  // namespace kv
