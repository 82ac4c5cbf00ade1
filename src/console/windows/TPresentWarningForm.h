#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace kv {

class TLocalizer;

// Asks whether to go on although modules are missing or may play the script incorrectly: a
// warning picture, the message (`Label1`), the module addresses (`Memo`) and "Продолжить"
// (default, Enter) or "Отмена" (Esc). Created once at start-up and kept for the whole run.
class TPresentWarningForm : public QDialog {
    Q_OBJECT
public:
    explicit TPresentWarningForm(QWidget* parent = nullptr);

    TLocalizer& Localizer() const { return *localizer_; }

    void SetMessage(const QString& message, const QString& modules);
    // Shows the dialog modally; true when the operator chose "Продолжить".
    bool Ask(const QString& message, const QString& modules);

    QString Message() const;
    QString Modules() const;
    QPushButton* ContinueButton() const { return continue_; }
    QPushButton* CancelButton() const { return cancel_; }

private:
    TLocalizer* localizer_;
    QLabel* label_;
    QPlainTextEdit* memo_;
    QPushButton* continue_;
    QPushButton* cancel_;
};

}  // namespace kv
