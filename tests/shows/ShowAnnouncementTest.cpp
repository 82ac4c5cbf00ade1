// What other consoles on the bus learn of a show, and what this console makes of theirs: a show
// is announced ahead of its first clock frame and again every second, so that a console that
// joined late or lost a frame still knows whose clock it hears, and a show whose end frame was
// lost falls silent instead of standing for good.
#include <gtest/gtest.h>

#include <algorithm>

#include "AudioFixtures.h"
#include "PlayerRig.h"
#include "TempDir.h"

using namespace kv;

namespace {

class ShowAnnouncementTest : public ::testing::Test {
protected:
    PlayerRig r;
    TExtPlayer& p = *r.player;

    // The codes of the console frames and clock frames sent, in order.
    std::vector<int> Codes() const {
        std::vector<int> out;
        for (const auto& f : r.Sent()) {
            if (f[0] == 0x10 || f[0] == 0x11 || f[0] == 0x90) {
                out.push_back(f[0]);
            }
        }
        return out;
    }
    // Ticks every 25 ms from `from` to `to` ms after t0.
    void TickThrough(uint32_t t0, uint32_t from, uint32_t to) {
        for (uint32_t t = from; t <= to && p.IsPlaying(); t += TCommonPlayer::kTickMs) {
            r.TickAt(t0, t);
        }
    }
};

TEST_F(ShowAnnouncementTest, AnAutonomousShowIsAnnouncedTwiceBeforeItsClockAndWithEveryClock) {
    r.AddDevice(5);
    r.Load("1 5 1\n5 5 2\n");
    p.ControlMode = TCommonPlayer::ControlAutonomous;
    const uint32_t t0 = r.clock.TickCount();
    p.Start(0);
    // One lost copy still leaves the announcement ahead of the clock frame.
    EXPECT_EQ(Codes(), (std::vector<int>{0x10, 0x10, 0x90}));
    r.ClearSent();
    TickThrough(t0, 25, 3010);
    // Each clock frame comes with the announcement just ahead of it.
    EXPECT_EQ(Codes(), (std::vector<int>{0x10, 0x90, 0x10, 0x90, 0x10, 0x90}));
    for (const auto& f : r.Sent(0x10)) {
        EXPECT_EQ(f[3], OwnConsoleId);
        EXPECT_EQ(f[4], 0);
        EXPECT_EQ(f[5], 0xFF);
    }
    EXPECT_EQ(r.Sent(0x10)[2][1] * 256 + r.Sent(0x10)[2][2], 30) << "the show time in tenths";
    p.Stop(true);
}

TEST_F(ShowAnnouncementTest, ADirectShowIsAnnouncedAgainEverySecondButNeverJustBeforeACue) {
    r.AddDevice(5);
    r.Load("2.01 5 1\n9 5 2\n");
    const uint32_t t0 = r.clock.TickCount();
    p.Start(0);
    ASSERT_EQ(r.Sent(0x10).size(), 1u);
    r.ClearSent();
    TickThrough(t0, 25, 1000);
    EXPECT_EQ(r.Sent(0x10).size(), 1u);
    r.ClearSent();
    // Due at 2 s, with the cue 10 ms away: the fire goes first, the announcement after it.
    r.TickAt(t0, 2000);
    EXPECT_TRUE(r.Sent(0x10).empty());
    r.TickAt(t0, 2010);
    const auto sent = r.Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][0], 0x84);
    EXPECT_EQ(sent[1][0], 0x10);
    p.Stop(true);
}

TEST_F(ShowAnnouncementTest, AStartFromThePlayingSoundtrackIsAnnouncedBeforeItsClock) {
    TempDir dir;
    const QString wav = kvtest::WriteRampWav(dir.file(QStringLiteral("track.wav")), 8000, 8000 * 6);
    ASSERT_TRUE(AudioReady());
    ASSERT_TRUE(p.LoadSound(wav));
    r.AddDevice(5);
    r.Load("4 5 1\n");
    p.ControlMode = TCommonPlayer::ControlAutonomous;
    p.Sound().PlayFrom(1000);
    p.StartFromSound();
    ASSERT_TRUE(p.IsPlaying());
    const std::vector<int> codes = Codes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.front(), 0x10);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x10), 2);
    p.Stop(true);
}

// The listening side, as a console that knows the other's console ID differs from its own.
class OtherShowTest : public ShowAnnouncementTest {
protected:
    void SetUp() override {
        ownId_ = OwnConsoleId;
        OwnConsoleId = 7;
        r.AddDevice(5);
        r.Load("30 5 1\n");
        conns_ += p.OnExternalStop.Connect([this] { ++stops_; });
    }
    void TearDown() override { OwnConsoleId = ownId_; }
    void Announce(uint8_t id, uint8_t tenths = 0) { p.HandleFrame({0x10, 0, tenths, id, 0, 0xFF}); }
    // A run clock heard: true when it was held (taken for nobody's start command).
    bool ClockHeld(uint8_t tenths) {
        r.ClearSent();
        p.HandleFrame({0x90, 0, tenths, 0x80, 0, 0});
        return !r.Sent(0x90).empty();
    }

    uint8_t ownId_ = 0;
    int stops_ = 0;
    Connections conns_;
};

TEST_F(OtherShowTest, AConsoleThatJoinsLateKnowsTheShowFromItsNextAnnouncement) {
    // Joined in the middle of console 42's show: its re-announcement, then its clock.
    Announce(42, 120);
    EXPECT_FALSE(ClockHeld(120));
    r.clock.Advance(1000);
    // One lost announcement changes nothing: the clock is still its.
    EXPECT_FALSE(ClockHeld(130));
    r.clock.Advance(1000);
    Announce(42, 140);
    EXPECT_FALSE(ClockHeld(140));
    EXPECT_TRUE(r.log.With(QString::fromUtf8("Внешняя команда запуска - отменено")).isEmpty());
}

TEST_F(OtherShowTest, AShowThatFallsSilentAfterItsLostEndFrameIsGone) {
    // A show without a clock (its console fires the cues), announced again a second later; its
    // end frame never arrives.
    Announce(42);
    r.clock.Advance(1000);
    Announce(42, 10);
    r.clock.Advance(OtherConsoleShows::kAnnounceSilenceMs - 1);
    EXPECT_FALSE(ClockHeld(50)) << "still standing";
    Announce(42, 20);
    r.clock.Advance(OtherConsoleShows::kAnnounceSilenceMs);
    // Gone: a clock now is a start command, held; a clock stop stops as from any master.
    EXPECT_TRUE(ClockHeld(60));
    p.HandleFrame({0x90, 0, 60, 0x00, 0, 0});
    EXPECT_EQ(stops_, 1);
}

TEST_F(OtherShowTest, AnOlderConsolesShowStandsWhileItsClockRunsThoughItsEndFrameWasLost) {
    // An older console announces once per show. Its first show's end frame was lost; its next
    // show's announcement then finds the first still standing.
    Announce(42);
    r.clock.Advance(60000);
    Announce(42);
    for (int second = 0; second < 10; ++second) {
        r.clock.Advance(1000);
        EXPECT_FALSE(ClockHeld(static_cast<uint8_t>(second * 10))) << second;
    }
}

TEST_F(OtherShowTest, AClockTestOnTheBusNeitherStartsNorStopsAShow) {
    const BusFrame testStart = OtherConsoleShows::ClockTestFrame(true, 42);
    const BusFrame testEnd = OtherConsoleShows::ClockTestFrame(false, 42);
    EXPECT_EQ(testStart, (BusFrame{0x10, 0, 0, 42, OtherConsoleShows::kClockTestMark, 0xFF}));
    EXPECT_EQ(testEnd[0], 0x11);

    // Waiting for an external start: the test's clock start is no start command.
    p.WaitingExtStart = true;
    p.HandleFrame(testStart);
    EXPECT_FALSE(ClockHeld(0));
    EXPECT_FALSE(p.IsPlaying());
    EXPECT_TRUE(p.WaitingExtStart);
    // Playing: the test's clock stop does not stop the show.
    p.WaitingExtStart = false;
    p.Start(0);
    p.HandleFrame({0x90, 0, 0, 0x00, 0, 0});
    EXPECT_TRUE(p.IsPlaying());
    EXPECT_EQ(stops_, 0);
    // A stop at another time is a master's stop, clock test or not.
    p.HandleFrame({0x90, 0, 5, 0x00, 0, 0});
    EXPECT_FALSE(p.IsPlaying());
    EXPECT_EQ(stops_, 1);
    r.clock.Advance(TCommonPlayer::kStopEchoMs);

    // Once the test ended, its frames are what they always were.
    p.HandleFrame(testEnd);
    p.Start(0);
    p.HandleFrame({0x90, 0, 0, 0x00, 0, 0});
    EXPECT_FALSE(p.IsPlaying());
    EXPECT_EQ(stops_, 2);
    r.clock.Advance(TCommonPlayer::kStopEchoMs);
    EXPECT_TRUE(ClockHeld(0));
}

}  // namespace
