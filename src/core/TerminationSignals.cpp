#include "core/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>

namespace kv {

namespace {

constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

// The write end is all the handler touches: write() is async-signal-safe.
int gPipe[2] = {-1, -1};
struct sigaction gPrevious[kSignals.size()];

extern "C" void OnTerminationSignal(int signalNumber) {
    const int saved = errno;
    const auto byte = static_cast<uint8_t>(signalNumber);
    (void)!::write(gPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (gPipe[0] >= 0 || ::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(gPipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { ReadPipe(); });
    installed_ = true;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        struct sigaction sa {};
        sa.sa_handler = OnTerminationSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        installed_ = ::sigaction(kSignals[i], &sa, &gPrevious[i]) == 0 && installed_;
    }
}

TerminationSignals::~TerminationSignals() {
    if (notifier_ == nullptr) {
        return;
    }
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &gPrevious[i], nullptr);
    }
    notifier_.reset();
    ::close(gPipe[0]);
    ::close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
}

QString TerminationSignals::Name(int signalNumber) {
    switch (signalNumber) {
        case SIGTERM:
            return QStringLiteral("SIGTERM");
        case SIGINT:
            return QStringLiteral("SIGINT");
        case SIGHUP:
            return QStringLiteral("SIGHUP");
        default:
            return QString::number(signalNumber);
    }
}

void TerminationSignals::ReadPipe() {
    uint8_t bytes[16];
    for (;;) {
        const ssize_t n = ::read(gPipe[0], bytes, sizeof bytes);
        if (n <= 0) {
            break;
        }
        for (ssize_t i = 0; i < n; ++i) {
            emit Received(bytes[i]);
        }
    }
}

}  // namespace kv
