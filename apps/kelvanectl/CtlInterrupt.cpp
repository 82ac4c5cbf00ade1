#include "CtlInterrupt.h"

#include <atomic>

namespace kv {

namespace {

std::atomic<int> gSignal{0};

extern "C" void OnStopSignal(int signalNumber) {
    gSignal.store(signalNumber);
}

}  // namespace

CtlInterrupt::CtlInterrupt() {
    gSignal.store(0);
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        struct sigaction sa {};
        sa.sa_handler = OnStopSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        ::sigaction(kSignals[i], &sa, &previous_[i]);
    }
}

CtlInterrupt::~CtlInterrupt() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        ::sigaction(kSignals[i], &previous_[i], nullptr);
    }
}

bool CtlInterrupt::Requested() {
    return gSignal.load() != 0;
}

QString CtlInterrupt::SignalName() {
    switch (gSignal.load()) {
        case SIGINT:
            return QStringLiteral("SIGINT");
        case SIGTERM:
            return QStringLiteral("SIGTERM");
        case SIGHUP:
            return QStringLiteral("SIGHUP");
        default:
            return QString();
    }
}

}  // namespace kv
