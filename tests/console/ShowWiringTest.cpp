// The show player plugged into the console wiring, over the simulated bus.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../shows/SimShowRig.h"
#include "devices/TCommonControl.h"
#include "sim/SimFiringModule.h"

using namespace kv;

TEST(ShowWiring, OtherConsolesStopReachesThePlayerBetweenTheHandlersAroundIt) {
    std::vector<std::string> order;
    LogCapture log;
    TestThreadClock clock{100000};
    ScopedClock useClock{clock};
    SelectAudioOutput(AudioOutput::Null);
    SimRig rig = SimRig::Demo();
    rig.options.pacing = false;
    std::shared_ptr<SimBus> bus(rig.Build());
    {
        ConsoleWiring wiring(bus, QStringLiteral("demo"));
        wiring.Open();
        ASSERT_NE(wiring.Controls().RegisterDevice(12, 0), nullptr);
        // Registered before the player: runs between the bus manager and the player.
        wiring.AddFrameHandler([&](const BusFrame& f, int) {
            if (f[0] == 0x90) {
                order.push_back("before");
            }
        });
        TExtPlayer player(wiring.Controls());
        ShowWiring show(wiring, player);
        bool playingAfter = true;
        wiring.AddFrameHandler([&](const BusFrame& f, int) {
            if (f[0] == 0x90) {
                order.push_back("after");
                playingAfter = player.IsPlaying();
            }
        });
        Connections conns;
        conns += player.OnExternalStop.Connect([&] { order.push_back("player"); });
        TProjectList script;
        script.LoadFromBytes("60 12 1\n", "show.txt");
        player.SetScript(&script);
        player.Start(0);
        ASSERT_TRUE(player.IsPlaying());

        bus->Act(1, [](SimSegment& segment, SimTimeUs now) {
            for (const auto& d : segment.Devices()) {
                if (auto* console = dynamic_cast<SimConsole*>(d.get())) {
                    console->BroadcastStop(5000, now, segment);
                }
            }
        });
        QElapsedTimer wall;
        wall.start();
        while (order.size() < 3 && wall.elapsed() < 2000) {
            clock.Advance(1);
            bus->Pump();
            while (wiring.Proto().DispatchPending()) {
            }
            QThread::msleep(1);
        }
        EXPECT_EQ(order, (std::vector<std::string>{"before", "player", "after"}));
        EXPECT_FALSE(playingAfter);
        EXPECT_FALSE(wiring.ShowPlaying());
    }
    SelectAudioOutput(AudioOutput::Device);
}

TEST(ShowWiring, StatusQueryOfAnotherConsoleIsAnsweredWithTheLaunchState) {
    SimShowRig r;
    r.player->LaunchStateSource = [] { return uint8_t{1}; };
    r.player->ControlMode = TCommonPlayer::ControlAutonomous;
    r.bus->ClearRecords();
    // Addressed to every console (ID 0), as the other console's status round does.
    r.bus->InjectFrame(1, MakeSimFrame(0x03, 0, 0, 77, 0, 0xFF));
    ASSERT_TRUE(r.PumpUntil([&] { return !r.Sent(0x04).empty(); }));
    const auto answer = r.Sent(0x04).front();
    EXPECT_EQ(answer.bytes[1], 0x01);  // armed, automatic work
    EXPECT_EQ(answer.bytes[2], TCommonPlayer::ControlAutonomous);
    EXPECT_EQ(answer.bytes[4], 77);  // back to the asking console
}

TEST(ShowWiring, HooksLeftBehindInTheWiringDoNothingOnceItIsGone) {
    SimShowRig r;
    r.player->LaunchStateSource = [] { return uint8_t{1}; };
    // The console's show objects go while the bus keeps running (the wiring cannot take the
    // frame handler back): a status query must no longer reach the player through it.
    r.show.reset();
    EXPECT_FALSE(r.wiring->ShowPlaying());
    r.bus->ClearRecords();
    r.bus->InjectFrame(1, MakeSimFrame(0x03, 0, 0, 77, 0, 0xFF));
    r.Settle();
    r.Settle();
    EXPECT_TRUE(r.Sent(0x04).empty());
    r.wiring->PollStep();  // the fired-channel step, no longer the player's
}

TEST(ShowWiring, IdleGapsPollOneDeviceAndCuesDoNot) {
    SimShowRig r;
    ASSERT_NE(r.Register(3), nullptr);
    ASSERT_NE(r.Register(12), nullptr);
    r.Load("0.1 3 1\n5 12 2\n");
    std::vector<int> polled;
    int showIdle = 0;
    QObject::connect(r.wiring.get(), &ConsoleWiring::DevicePolled,
                     [&](int index) { polled.push_back(index); });
    QObject::connect(r.show.get(), &ShowWiring::Idle, [&] {
        ++showIdle;
        // The poll step came first.
        EXPECT_FALSE(polled.empty());
    });
    const uint32_t t0 = r.clock.TickCount();
    r.player->Start(0);
    r.bus->ClearRecords();
    r.TickAt(t0, 100);  // the first cue; the next lies 4.9 s ahead
    EXPECT_EQ(r.Sent(0x84).size(), 1u);
    r.TickAt(t0, 1100);
    ASSERT_EQ(polled.size(), 1u);
    EXPECT_EQ(showIdle, 1);
    // The status request went to the device at the cursor, and the cursor moved on.
    const auto statusRequests = r.Sent(0x85);
    ASSERT_EQ(statusRequests.size(), 1u);
    EXPECT_EQ(statusRequests[0].bytes[5], r.Controls().Items(polled[0])->Address);
    EXPECT_EQ(r.wiring->PollCursor(), 1);
    // Within one idle interval of the next cue the line stays free.
    r.TickAt(t0, 4100);
    r.TickAt(t0, 4500);
    EXPECT_EQ(polled.size(), 1u);
    r.TickAt(t0, 5000);
    r.TickAt(t0, 5600);  // the stop comes after the pause that follows the last cue
    EXPECT_FALSE(r.player->IsPlaying());
}

TEST(ShowWiring, FiredChannelsAreCheckedFromTheIdleCycleOnceTheShowStopped) {
    SimShowRig r;
    ASSERT_NE(r.Register(12), nullptr);
    r.Load("0.1 12 1\n0.1 12 2\n");
    std::vector<int> checked;
    QObject::connect(r.show.get(), &ShowWiring::ChannelChecked,
                     [&](int32_t, int32_t channel) { checked.push_back(channel); });
    const uint32_t t0 = r.clock.TickCount();
    r.player->Start(0);
    r.TickAt(t0, 100);
    r.TickAt(t0, 700);  // the stop comes after the pause that follows the last cue
    ASSERT_FALSE(r.player->IsPlaying());
    EXPECT_EQ(r.player->FiredCount(), 2);
    // The igniter had its time: one channel per idle step.
    r.clock.Advance(TExtPlayer::kCheckDelayMs + 1);
    r.wiring->PollStep();
    EXPECT_EQ(checked, (std::vector<int>{0}));
    r.wiring->PollStep();
    EXPECT_EQ(checked, (std::vector<int>{0, 1}));
    r.wiring->PollStep();
    EXPECT_EQ(checked.size(), 2u);
    auto* m12 = static_cast<TCommonControl*>(r.Controls().FindByAddress(12));
    EXPECT_EQ(m12->ChannelState[0], ChannelNotConnected);
    EXPECT_EQ(r.log
                  .With(QStringLiteral("Тест канала, пульт: 12, канал: 1, состояние: "
                                       "неподключен"))
                  .size(),
              1);
    EXPECT_EQ(r.log.With(QStringLiteral("Тест канала, пульт: 12, канал: 2")).size(), 1);
}
