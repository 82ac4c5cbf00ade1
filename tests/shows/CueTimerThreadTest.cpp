// The cue timer's own thread: a cue's fire frame leaves at its tick without the window thread,
// and whatever that thread sent is taken over exactly once by the window thread, whether the
// tick, a stop or a step of the offset comes first.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <thread>

#include "PlayerRig.h"

using namespace kv;

namespace {

class CueTimerThreadTest : public ::testing::Test {
protected:
    PlayerRig r;
    TExtPlayer& p = *r.player;
    uint32_t t0 = 0;

    void Start(const char* script) {
        r.AddDevice(5);
        r.Load(script);
        p.Start(0);
        // The show's zero tick, from the first cue's due tick (an HV charge before the start
        // moves a test clock).
        t0 = p.NextCueDueTick().value_or(0) - static_cast<uint32_t>(r.script.Cue(0).Time);
        r.ClearSent();
    }
    size_t Fires() const { return r.Sent(0x84).size(); }
    // Moves the clock to show time t and waits, without running this thread's events, until
    // the timer's thread has sent `fires` fire frames in all.
    bool TimerThreadSends(uint32_t t, size_t fires, int waitMs = 3000) {
        r.clock.Set(t0 + t);
        QElapsedTimer wall;
        wall.start();
        while (Fires() < fires && wall.elapsed() < waitMs) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return Fires() == fires;
    }
    int Logged(int channel) const {
        return static_cast<int>(
            r.log.With(QStringLiteral("Запуск, пульт: 5, канал: %1").arg(channel)).size());
    }
    void RunEvents(int ms) {
        QElapsedTimer wall;
        wall.start();
        while (wall.elapsed() < ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }
};

}  // namespace

TEST_F(CueTimerThreadTest, TheFrameLeavesAtItsTickAndTheTickLogsItOnce) {
    Start("1.000 5 1\n1.000 5 2\n2.000 5 3\n");
    // The timer's thread looks at a test clock at least every ClockTimer::kIdleWaitMs.
    EXPECT_FALSE(TimerThreadSends(999, 1, 2 * ClockTimer::kIdleWaitMs)) << "sent before its time";
    // Both cues of the tick leave from the timer's thread while this thread does nothing.
    ASSERT_TRUE(TimerThreadSends(1000, 2));
    EXPECT_EQ(Logged(1), 0);
    RunEvents(50);
    EXPECT_EQ(Fires(), 2u);
    EXPECT_EQ(Logged(1), 1);
    EXPECT_EQ(Logged(2), 1);
    EXPECT_EQ(p.FiredCount(), 2);
    EXPECT_EQ(p.NextCue, 2);
    // The regular tick at the same time sends nothing again.
    p.Tick();
    EXPECT_EQ(Fires(), 2u);
    ASSERT_TRUE(TimerThreadSends(2000, 3));
    p.Tick();
    EXPECT_EQ(Logged(3), 1);
    EXPECT_EQ(Fires(), 3u);
}

TEST_F(CueTimerThreadTest, AStopBeforeTheTickStillLogsWhatLeft) {
    Start("1.000 5 1\n2.000 5 2\n");
    ASSERT_TRUE(TimerThreadSends(1000, 1));
    p.Stop(false);
    EXPECT_EQ(Logged(1), 1);
    EXPECT_EQ(p.FiredCount(), 1);
    RunEvents(50);
    EXPECT_EQ(Fires(), 1u);
    EXPECT_EQ(Logged(1), 1);
    // A start after the stop goes on from the cue that did not leave.
    r.ClearSent();
    t0 = r.clock.TickCount() - 1000;
    p.Start(1000);
    ASSERT_TRUE(TimerThreadSends(2000, 1));
    EXPECT_EQ(FrameChannel(r.Sent(0x84)[0]), 1);
    p.Stop(false);
}

TEST_F(CueTimerThreadTest, AnOffsetStepBeforeTheTickSendsNothingTwice) {
    Start("1.000 5 1\n1.500 5 2\n");
    ASSERT_TRUE(TimerThreadSends(1000, 1));
    // The step puts the clock back before the cue that already left.
    p.SetOffset(p.Offset - 400);
    p.Tick();
    RunEvents(30);
    EXPECT_EQ(Fires(), 1u);
    EXPECT_EQ(Logged(1), 1);
    EXPECT_EQ(p.NextCue, 1);
    // The next cue is aimed at with the new offset.
    ASSERT_TRUE(p.NextCueDueTick().has_value());
    EXPECT_EQ(*p.NextCueDueTick(), t0 + 1900);
    ASSERT_TRUE(TimerThreadSends(1900, 2));
    p.Stop(false);
    EXPECT_EQ(Logged(2), 1);
}

TEST_F(CueTimerThreadTest, AnHvControlsRechargesFollowItsCuesSentAhead) {
    auto* hv = r.AddDevice<THVControl>(3);
    hv->ChargeVoltage[0] = 100;
    hv->ChargeVoltage[1] = 200;
    hv->ChargeVoltage[2] = 300;
    r.rig.Add({.address = 3, .type = 'Q'});
    // Two shots of one control at the same time: the first recharges to the second's voltage.
    Start("1 3 1\n1 3 2\n2 3 3\n");
    ASSERT_TRUE(TimerThreadSends(1000, 2));
    auto fires = r.Sent(0x84);
    EXPECT_EQ(FrameValue(fires[0]), 200);
    EXPECT_EQ(FrameValue(fires[1]), 300);
    p.Tick();
    EXPECT_EQ(hv->ChargeQueueCursor, 2);
    ASSERT_TRUE(TimerThreadSends(2000, 3));
    EXPECT_EQ(FrameValue(r.Sent(0x84)[2]), 1);
    p.Stop(false);
}
