#pragma once

#include <QObject>
#include <memory>

class QSocketNotifier;

namespace kv {

// SIGTERM, SIGINT and SIGHUP (a desktop logout, `systemctl stop`, Ctrl+C or a closed terminal)
// delivered as a Qt signal through the event loop of the thread that made the object, so that
// the program ends through its own close path instead of dying where it stands. The signal
// handler only writes the signal number to a pipe; everything else runs in the event loop.
// One object at a time; the previous handlers come back when it is destroyed.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the pipe or a handler could not be set up (the signals then act as before).
    bool Installed() const { return installed_; }
    // "SIGTERM", "SIGINT", "SIGHUP", or the number.
    static QString Name(int signalNumber);

signals:
    void Received(int signalNumber);

private:
    void ReadPipe();

    bool installed_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace kv
