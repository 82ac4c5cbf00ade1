#pragma once

#include <QObject>
#include <QString>

class QAction;
class QWidget;

namespace kv {

class ConsoleSession;

// The main window's action shortcuts (Ctrl+F1, Shift+F1, Ctrl+F5, Ctrl+F8, ...): made on the
// window, matched wherever the focus is inside the console before the key hook sees the key,
// and enabled by the session's rules. The session's commands run here; the window's own are
// asked for with the signals.
class ConsoleActions : public QObject {
    Q_OBJECT
public:
    ConsoleActions(QWidget& window, ConsoleSession& session);

    // The enabling from the session's rules.
    void Refresh();
    QAction* Find(const QString& name) const;

signals:
    void DebugRequested();
    void ExternalStartRequested();
    // Ctrl+Alt+X while the rules allow it.
    void ExitRequested();

private:
    QWidget& window_;
    ConsoleSession& session_;
};

}  // namespace kv
