// A show on a machine whose cores are taken by CPU-bound processes, with the firing threads at
// whatever scheduling this machine grants (real time where the limits allow it, the fallback
// otherwise): the cues leave once each, a stop stops the show, and the window thread keeps
// answering throughout. Behaviour only: the figures of lateness are the bench's.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <memory>
#include <vector>

#include "../devices/LogCapture.h"
#include "CpuHogs.h"
#include "console/ConsoleWiring.h"
#include "core/ThreadPriority.h"
#include "devices/TControls.h"
#include "shows/AudioSystem.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjectList.h"
#include "sim/SimBus.h"

using namespace kv;

namespace {

constexpr int kCues = 40;
constexpr int kFirstCueMs = 200;
constexpr int kCueGapMs = 25;

// Lets the firing threads have real time where the hard limit allows it.
class RealTimeWhereAllowed {
public:
    RealTimeWhereAllowed() {
        ::getrlimit(RLIMIT_RTPRIO, &saved_);
        rlimit wanted = saved_;
        const rlim_t want = kFiringRealTimePriority;
        wanted.rlim_cur = saved_.rlim_max == RLIM_INFINITY ? want : std::min(want, saved_.rlim_max);
        ::setrlimit(RLIMIT_RTPRIO, &wanted);
    }
    ~RealTimeWhereAllowed() { ::setrlimit(RLIMIT_RTPRIO, &saved_); }

private:
    rlimit saved_{};
};

class ShowUnderLoadTest : public ::testing::Test {
protected:
    LogCapture log;
    RealTimeWhereAllowed realTime;
    std::shared_ptr<SimBus> bus;
    std::unique_ptr<ConsoleWiring> wiring;
    std::unique_ptr<TExtPlayer> player;
    TProjectList script;

    void SetUp() override {
        SelectAudioOutput(AudioOutput::Null);
        bus = std::make_shared<SimBus>(SimBusOptions{});
        bus->AddConverter();
        SimDeviceConfig module;
        module.address = 1;
        module.channels = 64;
        bus->AddDevice(0, module);
        wiring = std::make_unique<ConsoleWiring>(bus, QStringLiteral("test"));
        wiring->Open();
        wiring->Controls().RegisterDevice(1, 0);
        player = std::make_unique<TExtPlayer>(wiring->Controls());
        QByteArray text;
        for (int i = 0; i < kCues; ++i) {
            text += QByteArray::number((kFirstCueMs + i * kCueGapMs) / 1000.0, 'f', 3) + " 1 " +
                    QByteArray::number(i + 1) + "\r\n";
        }
        script.LoadFromBytes(text, "load.txt");
        player->SetScript(&script);
        player->IdleInterval = 1000000;
    }
    void TearDown() override {
        player.reset();
        wiring.reset();
        SelectAudioOutput(AudioOutput::Device);
    }

    int FireFrames() const {
        int n = 0;
        for (const SimRecord& r : bus->Records()) {
            if (r.direction == SimDirection::FromConsole && r.bytes.size() >= 7 &&
                r.bytes[0] == 0x84 && r.bytes[5] == 1) {
                ++n;
            }
        }
        return n;
    }

    // Runs the show with the cores busy; stopAtMs < 0 lets it run to its end. Returns how
    // often a 10 ms timer of this thread ran meanwhile.
    int RunShow(int stopAtMs) {
        CpuHogs hogs(2);
        EXPECT_EQ(hogs.Count(), 2);
        bus->ClearRecords();
        int answered = 0;
        QTimer window;
        QObject::connect(&window, &QTimer::timeout, [&] { ++answered; });
        window.start(10);
        QTimer stop;
        stop.setSingleShot(true);
        QObject::connect(&stop, &QTimer::timeout, [&] { player->Stop(true); });
        QEventLoop loop;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (!player->IsPlaying()) {
                loop.quit();
            }
        });
        QTimer giveUp;
        giveUp.setSingleShot(true);
        QObject::connect(&giveUp, &QTimer::timeout, &loop, &QEventLoop::quit);
        player->Start(0);
        if (stopAtMs >= 0) {
            stop.start(stopAtMs);
        }
        watch.start(5);
        giveUp.start(10000);
        loop.exec();
        // A while longer, for anything that would still leave after the stop.
        QEventLoop after;
        QTimer::singleShot(200, &after, &QEventLoop::quit);
        after.exec();
        return answered;
    }
};

}  // namespace

TEST_F(ShowUnderLoadTest, AStopStopsTheShowAndNothingLeavesAfterIt) {
    const int answered = RunShow(kFirstCueMs + kCues * kCueGapMs / 2);
    EXPECT_FALSE(player->IsPlaying());
    const int fired = FireFrames();
    EXPECT_GT(fired, 0);
    EXPECT_LT(fired, kCues);
    // Every frame that left is logged and recorded once; none is left out.
    EXPECT_EQ(player->FiredCount(), fired);
    EXPECT_EQ(log.With(QStringLiteral("Запуск, пульт: 1, канал:")).size(), fired);
    EXPECT_EQ(player->NextCue, fired);
    // The window thread ran its timer all along (some 70 times in 700 ms).
    EXPECT_GT(answered, 20);
    ASSERT_TRUE(FirstSchedulingGrant().has_value());
}

TEST_F(ShowUnderLoadTest, AShowRunsToItsEndWithEveryCueOnce) {
    const int answered = RunShow(-1);
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_EQ(FireFrames(), kCues);
    EXPECT_EQ(player->FiredCount(), kCues);
    EXPECT_EQ(log.With(QStringLiteral("Запуск, пульт: 1, канал:")).size(), kCues);
    EXPECT_GT(answered, 40);
}
