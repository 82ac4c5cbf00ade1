#include <gtest/gtest.h>

#include <deque>

#include "../common/TempDir.h"
#include "AudioFixtures.h"
#include "PlayerRig.h"
#include "shows/ShowClockSource.h"

using namespace kv;

namespace {

// An outside clock that gives the readings a test lines up, the last one again when they run
// out.
class ScriptedClock final : public ShowClockSource {
public:
    Reading Read() override {
        ++reads;
        if (queue.size() > 1) {
            Reading r = queue.front();
            queue.pop_front();
            return r;
        }
        return queue.empty() ? Reading{} : queue.front();
    }
    void Then(bool running, int32_t position, int32_t skipBefore = INT32_MIN, bool stop = false) {
        queue.push_back(Reading{running, position, skipBefore, stop});
    }
    std::deque<Reading> queue;
    int reads = 0;
};

class ShowClockHookTest : public ::testing::Test {
protected:
    ShowClockHookTest() {
        r.AddDevice(5);
        r.AddDevice(6);
        r.Load("1 5 1\n4.5 5 2\n6 6 1\n9.5 5 3\n12 5 4\n");
        p.SetClockSource(&clock);
    }
    // The channels fired so far, in order, as "module/channel".
    std::vector<std::string> Fired() const {
        std::vector<std::string> out;
        for (const auto& f : r.Sent(0x84)) {
            out.push_back(std::to_string(f[5]) + "/" + std::to_string(FrameChannel(f) + 1));
        }
        return out;
    }
    void Tick() {
        r.clock.Advance(25);
        p.Tick();
    }

    PlayerRig r;
    TExtPlayer& p = *r.player;
    ScriptedClock clock;
};

TEST_F(ShowClockHookTest, WaitsWithoutCuesOrClockFramesUntilTheClockRuns) {
    p.ControlMode = TCommonPlayer::ControlDirect;
    std::vector<int32_t> reported;
    Connections conns;
    conns += p.OnPosition.Connect([&](int32_t pos) { reported.push_back(pos); });
    int idles = 0;
    p.IdleInterval = 100;
    conns += p.OnIdle.Connect([&] { ++idles; });
    p.Start(0);
    r.ClearSent();
    for (int32_t pos = -3000; pos < -1000; pos += 25) {  // two seconds of pre-roll
        clock.Then(false, pos);
    }
    for (int i = 0; i < 80; ++i) {
        Tick();
    }
    EXPECT_TRUE(r.Sent(0x84).empty());
    EXPECT_TRUE(p.IsPlaying());
    // The pre-roll counts up on the display, and the devices are polled meanwhile.
    ASSERT_FALSE(reported.empty());
    EXPECT_LT(reported.back(), -1000);
    EXPECT_GT(reported.back(), -1100);
    EXPECT_GE(idles, 10);

    p.Stop(false);
    p.ControlMode = TCommonPlayer::ControlAutonomous;
    p.Start(0);
    r.ClearSent();
    clock.queue.clear();
    clock.Then(false, -3000);
    for (int i = 0; i < 80; ++i) {
        Tick();
    }
    EXPECT_TRUE(r.Sent(0x90).empty());  // no module clock started
    EXPECT_TRUE(p.IsPlaying());
    clock.queue.clear();
    clock.Then(true, 5000);
    for (int i = 0; i < 41; ++i) {
        Tick();
    }
    // The clock frames to the modules carry the outside clock's time (tenths of a second).
    const auto frames = r.Sent(0x90);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back()[1] * 256 + frames.back()[2], 50);
    EXPECT_EQ(frames.back()[3], 0x80);
}

TEST_F(ShowClockHookTest, CuesPassedOverAreNeverFiredAndAClockGoingBackRepeatsNone) {
    p.Start(0);
    clock.Then(true, 1000);
    Tick();
    EXPECT_EQ(Fired(), (std::vector<std::string>{"5/1"}));
    // A jump forward: 4.5 s and 6 s are passed over.
    clock.queue.clear();
    clock.Then(true, 9100, 9000);
    Tick();
    EXPECT_EQ(p.NextCue, 3);
    EXPECT_EQ(Fired(), (std::vector<std::string>{"5/1"}));
    clock.queue.clear();
    clock.Then(true, 9500, 9000);
    Tick();
    EXPECT_EQ(Fired(), (std::vector<std::string>{"5/1", "5/3"}));
    // Back to 2 s and forward again: 4.5 s and 6 s stay passed over, 9.5 s stays fired once.
    clock.queue.clear();
    for (int32_t pos = 2000; pos <= 11000; pos += 500) {
        clock.Then(true, pos, 9000);
    }
    for (int i = 0; i < 19; ++i) {
        Tick();
    }
    EXPECT_EQ(Fired(), (std::vector<std::string>{"5/1", "5/3"}));
    EXPECT_EQ(p.Position, 11000);
}

TEST_F(ShowClockHookTest, TheOffsetShiftsTheOutsideClockAndItsSkipBoundAlike) {
    p.Start(0);
    p.SetOffset(500);
    clock.Then(true, 4000);
    Tick();
    EXPECT_EQ(p.Position, 4500);
    EXPECT_EQ(Fired(), (std::vector<std::string>{"5/1", "5/2"}));
    // Passed over up to 9 s of the clock, 9.5 s of the show: the cue at 9.5 s is not skipped.
    clock.queue.clear();
    clock.Then(true, 9000, 9000);
    Tick();
    EXPECT_EQ(Fired(), (std::vector<std::string>{"5/1", "5/2", "5/3"}));
    EXPECT_EQ(p.NextCue, 4);
}

TEST_F(ShowClockHookTest, TempoDoesNotMoveAnOutsideClockAndAStopRequestRunsTheStopCommand) {
    p.Start(0);
    p.SetTempo(500);
    clock.Then(true, 4500);
    Tick();
    EXPECT_EQ(p.Position, 4500);
    EXPECT_EQ(Fired(), (std::vector<std::string>{"5/1", "5/2"}));
    int stops = 0;
    Connections conns;
    conns += p.OnClockStop.Connect([&] {
        ++stops;
        p.Stop(false);
    });
    clock.queue.clear();
    clock.Then(true, 4600, INT32_MIN, true);
    Tick();
    Tick();
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(p.IsPlaying());
    EXPECT_EQ(Fired(), (std::vector<std::string>{"5/1", "5/2"}));
}

// The listener of the stop request may go before the player (the show control closes first):
// the request then stops the player itself instead of reaching nobody.
TEST_F(ShowClockHookTest, AStopRequestWhoseListenerIsGoneStopsThePlayer) {
    p.Start(0);
    clock.Then(true, 4500);
    Tick();
    int stops = 0;
    {
        Connections gone;
        gone += p.OnClockStop.Connect([&] { ++stops; });
    }
    clock.queue.clear();
    clock.Then(true, 4600, INT32_MIN, true);
    Tick();
    EXPECT_EQ(stops, 0);
    EXPECT_FALSE(p.IsPlaying());
}

// The start key on an outside clock only makes the player wait: the show is announced, its
// soundtrack plays and the modules' clocks run when the clock starts the show, at its position.
TEST_F(ShowClockHookTest, TheStartGoesOutWhenTheOutsideClockStartsTheShow) {
    TempDir dir;
    const QString wav = kvtest::WriteRampWav(dir.file(QStringLiteral("track.wav")), 8000, 8000 * 8);
    ASSERT_TRUE(p.LoadSound(wav));
    for (const uint8_t control : {TCommonPlayer::ControlDirect, TCommonPlayer::ControlAutonomous}) {
        SCOPED_TRACE(control);
        p.ControlMode = control;
        p.ForgetRun();
        r.ClearSent();
        clock.queue.clear();
        clock.Then(false, -2000);
        p.Start(0);
        for (int i = 0; i < 60; ++i) {  // longer than the repeat of the announcement
            Tick();
        }
        EXPECT_TRUE(p.WaitingForClock());
        EXPECT_TRUE(r.Sent(0x10).empty());  // not announced
        EXPECT_TRUE(r.Sent(0x90).empty());  // no module clock
        EXPECT_FALSE(p.Sound().IsSoundPlaying());

        // The timecode reaches the zero a little after a tick.
        clock.queue.clear();
        clock.Then(true, 20);
        Tick();
        EXPECT_FALSE(p.WaitingForClock());
        EXPECT_TRUE(p.Sound().IsSoundPlaying());
        const auto announced = r.Sent(0x10);
        ASSERT_FALSE(announced.empty());
        EXPECT_EQ(r.Sent().front()[0], 0x10);  // ahead of any clock frame
        if (control == TCommonPlayer::ControlAutonomous) {
            EXPECT_EQ(announced.size(), 2u);
            ASSERT_EQ(r.Sent(0x90).size(), 1u);
            EXPECT_EQ(r.Sent(0x90).front()[3], 0x80);
        } else {
            EXPECT_EQ(announced.size(), 1u);
            EXPECT_TRUE(r.Sent(0x90).empty());
        }
        p.Stop(true);
    }
}

// Stopped before the timecode started the show, autonomous control: the modules' clocks never
// ran, so no cue counts as fired by them.
TEST_F(ShowClockHookTest, AStopWhileWaitingRecordsNoCueAsFiredByTheModules) {
    r.Load("0 5 1\n1 5 2\n");
    p.ControlMode = TCommonPlayer::ControlAutonomous;
    clock.Then(false, -1000);
    p.Start(0);
    Tick();
    p.Stop(false);
    EXPECT_TRUE(r.log.With(QStringLiteral("Запуск, пульт:")).isEmpty());
}

}  // namespace
