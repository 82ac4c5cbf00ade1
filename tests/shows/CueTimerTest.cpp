// The precise timer of the next cue and the pauses that run as timers (the end of the show,
// the charge of a manual HV launch), on the in-memory rig with a clock only the test moves.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "PlayerRig.h"

using namespace kv;

TEST(CueDueTime, TheFirstMillisecondAtWhichThePositionReachesTheCue) {
    for (const int32_t tempo : {1, 333, 500, 999, 1000, 1001, 1499, 2000, 10000}) {
        for (const int32_t base : {0, 1234, -300}) {
            for (const int32_t offset : {0, 50, -350, 7}) {
                for (int32_t target = -400; target < 5000; target += 97) {
                    const auto e = ElapsedToReach(target, tempo, base, offset);
                    ASSERT_TRUE(e.has_value()) << tempo << ' ' << target;
                    EXPECT_GE(ShowPosition(*e, 0, tempo, base, offset), target)
                        << tempo << ' ' << base << ' ' << offset << ' ' << target;
                    if (*e > 0) {
                        EXPECT_LT(ShowPosition(*e - 1, 0, tempo, base, offset), target)
                            << tempo << ' ' << base << ' ' << offset << ' ' << target;
                    }
                }
            }
        }
    }
    // A clock that stands or runs backwards never gets there; one already there is due now.
    EXPECT_FALSE(ElapsedToReach(1000, 0, 0, 0));
    EXPECT_FALSE(ElapsedToReach(1000, -5, 0, 0));
    EXPECT_EQ(ElapsedToReach(1000, 0, 900, 100), 0u);
    // Further than a day of show clock away: left to the regular tick.
    EXPECT_FALSE(ElapsedToReach(200000000, 1000, 0, 0));
}

class CueTimerTest : public ::testing::Test {
protected:
    PlayerRig r;
    TExtPlayer& p = *r.player;
    uint32_t t0 = 0;

    void Start(const char* script) {
        r.AddDevice(5);
        r.Load(script);
        t0 = r.clock.TickCount();
        p.Start(0);
        r.ClearSent();
    }
    size_t Fires() const { return r.Sent(0x84).size(); }
    // Ticks one ms before the armed due tick (nothing fires) and at it (the cue fires).
    void FireAtTheDueTick(size_t firesBefore) {
        const auto due = p.NextCueDueTick();
        ASSERT_TRUE(due.has_value());
        r.clock.Set(*due - 1);
        p.Tick();
        EXPECT_EQ(Fires(), firesBefore) << "fired before its time";
        r.clock.Set(*due);
        p.Tick();
        EXPECT_EQ(Fires(), firesBefore + 1) << "not fired at its due tick";
    }
};

TEST_F(CueTimerTest, ACueNeverFiresBeforeItsTimeAndFiresAtTheArmedTick) {
    Start("1.007 5 1\n1.340 5 2\n1.673 5 3\n2.006 5 4\n2.339 5 5\n");
    ASSERT_TRUE(p.NextCueDueTick().has_value());
    EXPECT_EQ(*p.NextCueDueTick(), t0 + 1007);
    FireAtTheDueTick(0);
    EXPECT_EQ(*p.NextCueDueTick(), t0 + 1340);

    // Offset steps while the timer is armed re-aim it at once.
    p.SetOffset(p.Offset + 50);
    EXPECT_EQ(*p.NextCueDueTick(), t0 + 1290);
    p.SetOffset(p.Offset - 100);
    EXPECT_EQ(*p.NextCueDueTick(), t0 + 1390);
    FireAtTheDueTick(1);

    // Tempo steps rebase the clock; the timer follows at odd speeds too.
    p.SetTempo(1001);
    FireAtTheDueTick(2);
    p.SetTempo(998);
    FireAtTheDueTick(3);

    // A step that puts the next cue behind the clock makes it due at once.
    r.clock.Set(r.clock.TickCount() + 10);
    p.SetOffset(p.Offset + 400);
    ASSERT_TRUE(p.NextCueDueTick().has_value());
    EXPECT_LE(static_cast<int32_t>(*p.NextCueDueTick() - r.clock.TickCount()), 0);
    p.Tick();
    EXPECT_EQ(Fires(), 5u);
    // After the last cue only the stop is left: no cue timer.
    EXPECT_FALSE(p.NextCueDueTick());
    p.Stop(true);
}

TEST_F(CueTimerTest, AStopWhileTheTimerIsArmedFiresNothingMore) {
    Start("0.040 5 1\n0.080 5 2\n");
    ASSERT_TRUE(p.NextCueDueTick().has_value());
    p.Stop(false);
    EXPECT_FALSE(p.NextCueDueTick());
    // The cues' time comes and goes with the event loop running.
    r.clock.Set(t0 + 1000);
    QElapsedTimer wall;
    wall.start();
    while (wall.elapsed() < 120) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    EXPECT_EQ(Fires(), 0u);

    // A stop frame from the bus does the same.
    t0 = r.clock.TickCount();
    p.Start(0);
    ASSERT_TRUE(p.NextCueDueTick().has_value());
    p.HandleFrame({0x90, 0, 0, 0x00, 0, 0});
    EXPECT_FALSE(p.IsPlaying());
    EXPECT_FALSE(p.NextCueDueTick());
}

TEST_F(CueTimerTest, ManualModeAutonomousControlAndAStandingClockArmNothing) {
    r.AddDevice(5);
    r.Load("1 5 1\n2 5 2\n");
    t0 = r.clock.TickCount();
    p.WorkMode = TCommonPlayer::WorkManual;
    p.Start(0);
    EXPECT_FALSE(p.NextCueDueTick());
    r.TickAt(t0, 500);
    p.SetOffset(50);
    p.SetTempo(1001);
    EXPECT_FALSE(p.NextCueDueTick());
    p.Stop(true);

    p.WorkMode = TCommonPlayer::WorkAutomatic;
    p.ControlMode = TCommonPlayer::ControlAutonomous;
    t0 = r.clock.TickCount();
    p.Start(0);
    r.TickAt(t0, 500);
    EXPECT_FALSE(p.NextCueDueTick());
    p.Stop(true);

    // The tempo stepped down to nothing: no time at which the next cue comes.
    p.ControlMode = TCommonPlayer::ControlDirect;
    p.Start(0);
    ASSERT_TRUE(p.NextCueDueTick().has_value());
    p.SetTempo(0);
    EXPECT_FALSE(p.NextCueDueTick());
    p.SetTempo(1000);
    EXPECT_TRUE(p.NextCueDueTick().has_value());
    p.Stop(true);
}

TEST_F(CueTimerTest, ThePauseAfterTheLastCueLeavesTheWindowThreadFree) {
    Start("1 5 1\n");
    std::vector<int32_t> reported;
    int changes = 0;
    Connections conns;
    conns += p.OnPosition.Connect([&](int32_t pos) { reported.push_back(pos); });
    conns += p.OnStateChange.Connect([&] { ++changes; });
    r.TickAt(t0, 1200);
    EXPECT_EQ(Fires(), 1u);
    EXPECT_TRUE(p.IsPlaying());
    // Another console's status query is answered during the pause.
    OwnConsoleId = 42;
    p.HandleFrame({0x03, 0, 0, 17, 0, 0xFF});
    EXPECT_EQ(r.Sent(0x04).size(), 1u);
    // The operator's stop during the pause ends the show at once, once, at the last cue.
    p.Stop(false);
    EXPECT_FALSE(p.IsPlaying());
    EXPECT_LT(r.clock.TickCount() - t0, 1300u);
    EXPECT_EQ(p.Position, 1000);
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(reported.back(), 1000);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(r.Sent(0x11).size(), 1u);
}

TEST_F(CueTimerTest, AManualHvLaunchChargesWhileCuesFireAndKeepsTheKeysOrder) {
    auto* hv = r.AddDevice<THVControl>(3);
    hv->ChargeVoltage[0] = 150;
    r.rig.Add({.address = 3, .type = 'Q'});
    r.rig.Add({.address = 5});
    p.WorkMode = TCommonPlayer::WorkAutomaticManual;
    Start("1 5 1\n10 5 9\n");
    r.TickAt(t0, 100);
    p.Fire(3, 0, true, false);  // HV launch: charge now, fire in two seconds
    const uint32_t charged = r.clock.TickCount();
    p.Fire(5, 3, true, false);  // a key after it waits its turn
    EXPECT_EQ(p.PendingManualFires(), 2);
    EXPECT_EQ(Fires(), 1u);  // the charge only
    r.TickAt(t0, 1000);      // the cue fires on time meanwhile
    ASSERT_EQ(Fires(), 2u);
    EXPECT_EQ(r.Sent(0x84)[1][5], 5);
    r.clock.Set(charged + TCommonPlayer::kManualChargeWaitMs);
    p.Tick();
    auto frames = r.Sent(0x84);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[2][5], 3);  // the launch, without recharge
    EXPECT_EQ(FrameValue(frames[2]), 0);
    EXPECT_EQ(frames[3][5], 5);  // then the key behind it
    EXPECT_EQ(FrameChannel(frames[3]), 3);
    EXPECT_EQ(p.PendingManualFires(), 0);

    // A stop while a launch charges stops at once: the launch is dropped, not fired.
    r.ClearSent();
    p.Fire(3, 0, true, false);
    const uint32_t again = r.clock.TickCount();
    p.Stop(false);
    EXPECT_LT(r.clock.TickCount() - again, TCommonPlayer::kManualChargeWaitMs);
    frames = r.Sent();
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames[0][0], 0x84);  // charge
    EXPECT_EQ(frames[1][0], 0x90);  // then the stop, no launch
    EXPECT_EQ(r.Sent(0x84).size(), 1u);
    EXPECT_EQ(p.FiredCount(), 3);
}
