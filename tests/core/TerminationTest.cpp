// Termination signals reach the event loop, and the close they ask for waits for a playing
// show to stop.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <csignal>

#include "../devices/LogCapture.h"
#include "core/CloseOnTermination.h"
#include "core/TerminationSignals.h"

namespace kv {
namespace {

bool PumpUntil(const std::function<bool()>& done, int ms = 2000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

TEST(TerminationSignals, EachSignalArrivesThroughTheEventLoop) {
    std::vector<int> received;
    {
        TerminationSignals termination;
        ASSERT_TRUE(termination.Installed());
        QObject::connect(&termination, &TerminationSignals::Received,
                         [&](int s) { received.push_back(s); });
        for (const int s : {SIGTERM, SIGINT, SIGHUP}) {
            ASSERT_EQ(::raise(s), 0);
        }
        EXPECT_TRUE(received.empty()) << "nothing runs inside the handler";
        EXPECT_TRUE(PumpUntil([&] { return received.size() == 3; }));
    }
    EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGINT, SIGHUP}));
    EXPECT_EQ(TerminationSignals::Name(SIGHUP), QStringLiteral("SIGHUP"));
    // The handlers are given back: a second object installs again.
    TerminationSignals again;
    EXPECT_TRUE(again.Installed());
}

// A window that may close unless `playing`, counting its closes.
struct Window : Closable {
    bool playing = false;
    int closes = 0;
    bool CanClose() const override { return !playing; }
    bool Close() override { return ++closes, true; }
};

TEST(CloseOnTermination, ClosesAtOnceWhenNoShowPlays) {
    LogCapture log;
    Window window;
    CloseOnTermination closer(window);
    closer.Request(QStringLiteral("SIGTERM"));
    EXPECT_EQ(window.closes, 1);
    EXPECT_FALSE(closer.Pending());
    EXPECT_EQ(log.With(QStringLiteral("Получен сигнал завершения SIGTERM")).size(), 1);
}

TEST(CloseOnTermination, WhileAShowPlaysItIsLoggedAndCarriedOutWhenTheShowStops) {
    LogCapture log;
    Window window;
    window.playing = true;
    bool& playing = window.playing;
    int& closes = window.closes;
    CloseOnTermination closer(window);
    closer.Request(QStringLiteral("SIGHUP"));
    EXPECT_TRUE(closer.Pending());
    PumpUntil([] { return false; }, 3 * CloseOnTermination::kRetryMs);
    EXPECT_EQ(closes, 0) << "the show is not cut off";
    EXPECT_EQ(log.With(QStringLiteral("выход после его остановки")).size(), 1);
    closer.Request(QStringLiteral("SIGTERM"));  // a second request changes nothing
    EXPECT_EQ(closes, 0);
    playing = false;
    EXPECT_TRUE(PumpUntil([&] { return closes == 1; }));
    EXPECT_FALSE(closer.Pending());
    PumpUntil([] { return false; }, 2 * CloseOnTermination::kRetryMs);
    EXPECT_EQ(closes, 1);
}

}  // namespace
}  // namespace kv
