#pragma once

#include <QString>
#include <csignal>

namespace kv {

// Ctrl+C, SIGTERM and SIGHUP (a closed terminal, a dropped ssh session, `kill`) during a long
// command: for as long as the guard lives each of them only asks the command to stop, so that
// it ends through its own stop path (a show's stop sequence, a transfer's cancel) instead of
// dying where it stands. The previous handlers come back when the guard goes.
class CtlInterrupt {
public:
    CtlInterrupt();
    ~CtlInterrupt();
    CtlInterrupt(const CtlInterrupt&) = delete;
    CtlInterrupt& operator=(const CtlInterrupt&) = delete;

    // Whether a stop was asked for since the guard was made.
    static bool Requested();
    // "SIGINT", "SIGTERM", "SIGHUP"; empty while none came.
    static QString SignalName();

private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction previous_[3];
};

}  // namespace kv
