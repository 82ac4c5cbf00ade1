// Two consoles on one simulated bus with two wires: console A on converters 0 and 1 (the demo
// rig's), console B on converters 2 and 3, each on the wire of one of A's, so each hears every
// frame of the other twice. Both run the real wiring and player; only the test thread moves
// the clock. B sits idle: a clock frame it cannot place it holds as nobody's start command, and
// A hears that hold as an external stop.
#include <gtest/gtest.h>

#include <QThread>
#include <memory>

#include "../devices/LogCapture.h"
#include "AudioFixtures.h"
#include "TempDir.h"
#include "TestThreadClock.h"
#include "bus/TPortProto.h"
#include "console/ConsoleWiring.h"
#include "console/ShowWiring.h"
#include "shows/AudioSystem.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjectList.h"
#include "sim/SimBus.h"
#include "sim/SimBusView.h"
#include "sim/SimRig.h"

using namespace kv;

namespace {

// One console: its own converters, wiring, player and console ID. Console IDs are one global
// per process, so the rig sets it to the console's own around everything that console does.
struct Side {
    uint8_t id = 0;
    std::vector<int> converters;
    std::unique_ptr<ConsoleWiring> wiring;
    std::unique_ptr<TExtPlayer> player;
    std::unique_ptr<ShowWiring> show;
    TProjectList script;
    int externalStops = 0;
    int clocksHeard = 0;  // show-clock frames with the run flag
    Connections conns;
};

class TwoConsoleShowTest : public ::testing::Test {
protected:
    void SetUp() override {
        SelectAudioOutput(AudioOutput::Null);
        InitBusGlobals();
        bus_ = std::shared_ptr<SimBus>(SimRig::Demo().Build());
        bus_->AddConverter("KVB1", "second console", 0);
        bus_->AddConverter("KVB2", "second console", 1);
        a_.id = 11;
        a_.converters = {0, 1};
        b_.id = 22;
        b_.converters = {2, 3};
    }
    void TearDown() override {
        for (Side* s : {&a_, &b_}) {
            if (s->player && s->player->IsPlaying()) {
                As(*s, [&] { s->player->Stop(true); });
            }
            s->wiring.reset();
            s->show.reset();
            s->player.reset();
        }
        OwnConsoleId = ownId_;
        SelectAudioOutput(AudioOutput::Device);
    }

    template <class F>
    void As(Side& s, F f) {
        OwnConsoleId = s.id;
        f();
    }
    void Open(Side& s) {
        As(s, [&] {
            s.wiring = std::make_unique<ConsoleWiring>(
                std::make_shared<SimBusView>(bus_, s.converters), QStringLiteral("demo"));
            ASSERT_TRUE(s.wiring->Open());
            s.player = std::make_unique<TExtPlayer>(s.wiring->Controls());
            s.show = std::make_unique<ShowWiring>(*s.wiring, *s.player);
            s.player->SetScript(&s.script);
            s.conns += s.player->OnExternalStop.Connect([&s] { ++s.externalStops; });
            s.wiring->AddFrameHandler([&s](const BusFrame& f, int) {
                s.clocksHeard += f[0] == 0x90 && f[3] == 0x80 ? 1 : 0;
            });
        });
    }
    // Simulated time runs on by ms, a millisecond a step: each console is handed what its
    // worker read, and each playing player ticks every 25 ms.
    void Run(uint32_t ms) {
        for (uint32_t t = 1; t <= ms; ++t) {
            clock_.Advance(1);
            bus_->Pump();
            for (Side* s : {&a_, &b_}) {
                if (!s->wiring) {
                    continue;
                }
                As(*s, [&] {
                    while (s->wiring->Proto().DispatchPending()) {
                    }
                    if (t % TCommonPlayer::kTickMs == 0 && s->player->IsPlaying()) {
                        s->player->Tick();
                    }
                });
            }
            QThread::msleep(1);
        }
    }
    // Show-clock frames with the run flag clear that B wrote.
    int HoldsFromB() const {
        int n = 0;
        for (const SimRecord& r : bus_->Records()) {
            n += r.direction == SimDirection::FromConsole && r.converter >= 2 &&
                         r.bytes.size() >= 7 && r.bytes[0] == 0x90 && r.bytes[3] == 0x00
                     ? 1
                     : 0;
        }
        return n;
    }
    void ExpectANotStoppedByB() {
        EXPECT_GE(b_.clocksHeard, 1) << "B heard nothing of A's show";
        EXPECT_TRUE(a_.player->IsPlaying());
        EXPECT_EQ(a_.externalStops, 0);
        EXPECT_EQ(HoldsFromB(), 0);
        EXPECT_TRUE(log_.With(QString::fromUtf8("Внешняя команда запуска - отменено")).isEmpty());
    }

    LogCapture log_;
    TestThreadClock clock_{100000};
    ScopedClock useClock_{clock_};
    uint8_t ownId_ = OwnConsoleId;
    std::shared_ptr<SimBus> bus_;
    Side a_;
    Side b_;
};

TEST_F(TwoConsoleShowTest, AnAutonomousShowStartedFromThePlayingSoundtrackIsLeftAlone) {
    Open(a_);
    Open(b_);
    TempDir dir;
    const QString wav =
        kvtest::WriteRampWav(dir.file(QStringLiteral("track.wav")), 8000, 8000 * 10);
    ASSERT_TRUE(AudioReady());
    As(a_, [&] {
        a_.script.LoadFromBytes("5 3 1\n8 7 1\n", "show.txt");
        a_.player->ControlMode = TCommonPlayer::ControlAutonomous;
        ASSERT_TRUE(a_.player->LoadSound(wav));
        a_.player->Sound().PlayFrom(1000);
        a_.player->StartFromSound();
    });
    ASSERT_TRUE(a_.player->IsPlaying());
    Run(2500);
    ExpectANotStoppedByB();
}

TEST_F(TwoConsoleShowTest, AConsoleThatJoinsDuringAnAutonomousShowLeavesItAlone) {
    Open(a_);
    As(a_, [&] {
        a_.script.LoadFromBytes("5 3 1\n8 7 1\n", "show.txt");
        a_.player->ControlMode = TCommonPlayer::ControlAutonomous;
        a_.player->Start(0);
    });
    Run(1500);
    // B comes on the bus in the middle of A's show: it never heard the start.
    Open(b_);
    Run(2500);
    ExpectANotStoppedByB();
}

}  // namespace
