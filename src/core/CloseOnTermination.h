#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

namespace kv {

// What the console does when the system asks it to end (a termination signal): the operator's
// own close path, with its closing lines. While a show plays that path refuses; the request is
// then logged and kept, and the console closes as soon as the show has stopped. A show the
// operator started is not cut off at an arbitrary cue by a logout or a Ctrl+C in the wrong
// terminal: the operator's stop key stays the way to end it.
class CloseOnTermination : public QObject {
    Q_OBJECT
public:
    // canClose: whether closing is allowed now (no show plays). close: the window's close,
    // true when it was accepted.
    CloseOnTermination(std::function<bool()> canClose, std::function<bool()> close,
                       QObject* parent = nullptr);

    // A termination signal arrived (its name for the log).
    void Request(const QString& signalName);
    bool Pending() const { return pending_; }

    static constexpr int kRetryMs = 200;

private:
    void tryClose();

    std::function<bool()> canClose_;
    std::function<bool()> close_;
    QTimer retry_;
    bool pending_ = false;
};

}  // namespace kv
