#pragma once

#include <QObject>
#include <QTimer>

namespace kv {

// What the console does when the system asks it to end (a termination signal): the operator's
// own close path, with its closing lines. While a show plays that path refuses; the request is
// then logged and kept, and the console closes as soon as the show has stopped. A show the
// operator started is not cut off at an arbitrary cue by a logout or a Ctrl+C in the wrong
// terminal: the operator's stop key stays the way to end it.
//
// The window it closes answers whether closing is allowed now (no show plays) and closes,
// saying whether the close was accepted.
class Closable {
public:
    virtual bool CanClose() const = 0;
    virtual bool Close() = 0;

protected:
    ~Closable() = default;
};

class CloseOnTermination : public QObject {
    Q_OBJECT
public:
    explicit CloseOnTermination(Closable& window, QObject* parent = nullptr);

    // A termination signal arrived (its name for the log).
    void Request(const QString& signalName);
    bool Pending() const { return pending_; }

    static constexpr int kRetryMs = 200;

private:
    void TryClose();

    Closable& window_;
    QTimer retry_;
    bool pending_ = false;
};

}  // namespace kv
