#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>

#include "PlayerRig.h"
#include "shows/Countdown.h"

using namespace kv;

TEST(ShowClock, PositionArithmetic) {
    EXPECT_EQ(ShowPosition(1500, 1000, 1000, 0, 0), 500);
    EXPECT_EQ(ShowPosition(2000, 1000, 500, 3000, 0), 3500);
    EXPECT_EQ(ShowPosition(1000, 1000, 1000, 0, -300), -300);
    // Ties go to the even neighbour: 1 ms at half speed is 0.5, 3 ms is 1.5.
    EXPECT_EQ(ShowPosition(1001, 1000, 500, 0, 0), 0);
    EXPECT_EQ(ShowPosition(1003, 1000, 500, 0, 0), 2);
    EXPECT_EQ(ShowPosition(1, 1, 1001, 0, 0), 0);
    // Across the wrap of the 32-bit tick count the elapsed time stays small.
    EXPECT_EQ(ShowPosition(100, 0xFFFFFF00u, 1000, 0, 0), 356);
    // Long shows at high tempo do not overflow the product.
    EXPECT_EQ(ShowPosition(3600000, 0, 1200, 0, 0), 4320000);
}

class ShowPlayerTest : public ::testing::Test {
protected:
    PlayerRig r;
    TExtPlayer& p = *r.player;
};

TEST_F(ShowPlayerTest, DirectControlFiresDueCuesInFileOrderAndStopsAfterTheLast) {
    r.AddDevice(5);
    r.AddDevice(6);
    r.Load("1 5 1\n1 6 3\n1 5 2\n2.5 6 4\n");
    std::vector<int32_t> reported;
    Connections conns;
    conns += p.OnPosition.Connect([&](int32_t pos) { reported.push_back(pos); });
    const uint32_t t0 = r.clock.TickCount();
    p.Start(0);
    EXPECT_TRUE(p.IsPlaying());
    ASSERT_EQ(r.Sent(0x10).size(), 1u);  // the start announced to other consoles
    r.ClearSent();

    r.TickAt(t0, 999);
    EXPECT_TRUE(r.Sent(0x84).empty());
    r.TickAt(t0, 1000);
    auto fires = r.Sent(0x84);
    ASSERT_EQ(fires.size(), 3u);
    EXPECT_EQ(fires[0][5], 5);
    EXPECT_EQ(FrameChannel(fires[0]), 0);
    EXPECT_EQ(fires[1][5], 6);
    EXPECT_EQ(FrameChannel(fires[1]), 2);
    EXPECT_EQ(FrameChannel(fires[2]), 1);
    EXPECT_EQ(p.NextCue, 3);
    EXPECT_EQ(r.log.With(QString::fromUtf8("Запуск, пульт: 6, канал: 3")).size(), 1);
    EXPECT_EQ(p.FiredCount(), 3);
    EXPECT_EQ(static_cast<TCommonControl*>(r.controls.FindByAddress(5))->ChannelFired[1], 1);

    r.ClearSent();
    // A late tick fires what fell due meanwhile. The stop follows 500 ms later from a timer:
    // the tick itself does not wait, and nothing happens in between.
    r.TickAt(t0, 4000);
    EXPECT_EQ(r.Sent(0x84).size(), 1u);
    EXPECT_LT(r.clock.TickCount() - t0, 4100u);  // only the fire's own time on the bus
    EXPECT_TRUE(p.IsPlaying());
    const uint32_t fired = r.clock.TickCount() - t0;
    r.TickAt(t0, fired + 499);
    EXPECT_TRUE(p.IsPlaying());
    EXPECT_TRUE(r.Sent(0x90).empty());
    r.TickAt(t0, fired + 500);
    EXPECT_FALSE(p.IsPlaying());
    EXPECT_EQ(p.Position, 2500);
    EXPECT_EQ(r.Sent(0x90).size(), 1u);  // show clock stopped
    EXPECT_EQ(r.Sent(0x90)[0][3], 0x00);
    EXPECT_EQ(r.Sent(0x11).size(), 1u);  // stop announced
    EXPECT_EQ(reported.back(), 2500);    // the final position is reported
}

TEST_F(ShowPlayerTest, StartPointOffsetAndTempo) {
    r.AddDevice(5);
    r.Load("1 5 1\n3 5 2\n10 5 3\n");
    const uint32_t t0 = r.clock.TickCount();
    p.Offset = -300;
    p.Start(0);
    r.TickAt(t0, 100);
    EXPECT_EQ(p.Position, -200);  // negative positions are kept in direct control
    r.TickAt(t0, 1300);
    EXPECT_EQ(p.Position, 1000);
    EXPECT_EQ(r.Sent(0x84).size(), 1u);

    // A tempo change mid-show continues from where the clock is.
    r.TickAt(t0, 2000);
    ASSERT_EQ(p.Position, 1700);
    p.SetTempo(500);
    r.TickAt(t0, 2000);
    EXPECT_EQ(p.Position, 1700);
    r.TickAt(t0, 3000);
    EXPECT_EQ(p.Position, 2200);
    p.Stop(true);

    // A start after the last cue ends on the first tick.
    p.SetTempo(1000);
    p.Offset = 0;
    const uint32_t t1 = r.clock.TickCount();
    p.Start(20000);
    EXPECT_EQ(p.NextCue, 3);
    r.TickAt(t1, 25);
    r.TickAt(t1, 525);
    EXPECT_FALSE(p.IsPlaying());
    EXPECT_EQ(p.Position, 10000);
}

TEST_F(ShowPlayerTest, TempoChangeBetweenTicksContinuesFromTheClockNotTheLastTick) {
    r.AddDevice(5);
    r.Load("2.1 5 1\n9 5 2\n");
    const uint32_t t0 = r.clock.TickCount();
    p.Offset = 300;
    p.Start(0);
    r.TickAt(t0, 1700);
    ASSERT_EQ(p.Position, 2000);
    // 20 ms after that tick the operator halves the tempo: the clock goes on from 2020.
    r.clock.Set(t0 + 1720);
    p.SetTempo(500);
    r.TickAt(t0, 1720);
    EXPECT_EQ(p.Position, 2020);
    r.TickAt(t0, 1820);
    EXPECT_EQ(p.Position, 2070);
    // And the cue at 2.1 s is aimed from there: 30 ms of show clock, 59 ms at half speed.
    ASSERT_TRUE(p.NextCueDueTick().has_value());
    EXPECT_EQ(*p.NextCueDueTick(), t0 + 1879);  // 79.5 rounds to 80
    p.Stop(true);
}

TEST_F(ShowPlayerTest, EveryCueOfADenseAutonomousEndingIsRecordedAndChecked) {
    r.AddDevice(5);
    r.AddDevice(6);
    // 60 cues in the last 300 ms: more than the ticks left until the end.
    QByteArray text;
    for (int i = 0; i < 60; ++i) {
        text += QByteArray::number(9.7 + i * 0.005, 'f', 3) + ' ' + QByteArray::number(5 + i % 2) +
                ' ' + QByteArray::number(i / 2 + 1) + '\n';
    }
    r.script.LoadFromBytes(text, "show.txt");
    ASSERT_EQ(r.script.Count(), 60);
    p.ControlMode = TCommonPlayer::ControlAutonomous;
    const uint32_t t0 = r.clock.TickCount();
    p.Start(9000);
    for (uint32_t t = 25; p.IsPlaying() && t < 3000; t += 25) {
        r.TickAt(t0, t);
    }
    ASSERT_FALSE(p.IsPlaying());
    EXPECT_EQ(p.FiredCount(), 60);
    EXPECT_EQ(r.log.With(QString::fromUtf8("Запуск, пульт:")).size(), 60);
    EXPECT_EQ(r.log.With(QString::fromUtf8("Запуск, пульт: 6, канал: 30")).size(), 1);
    EXPECT_EQ(p.PendingChecks(), 60);
}

TEST_F(ShowPlayerTest, AStoppedAutonomousShowRecordsTheCuesTheModulesPassed) {
    r.AddDevice(5);
    r.Load("1.000 5 1\n1.002 5 2\n1.004 5 3\n1.006 5 4\n1.5 5 5\n");
    p.ControlMode = TCommonPlayer::ControlAutonomous;
    const uint32_t t0 = r.clock.TickCount();
    p.Start(0);
    r.TickAt(t0, 1010);
    EXPECT_EQ(p.FiredCount(), 1);
    p.Stop(true);
    // The four whose time had come, not the one after the stop.
    EXPECT_EQ(p.FiredCount(), 4);
    EXPECT_EQ(p.NextCue, 4);
    EXPECT_EQ(r.log.With(QString::fromUtf8("Запуск, пульт: 5, канал: 4")).size(), 1);
    EXPECT_TRUE(r.log.With(QString::fromUtf8("Запуск, пульт: 5, канал: 5")).isEmpty());
}

TEST_F(ShowPlayerTest, AutonomousControlFollowsOneCueATickAndBroadcastsTheTime) {
    r.AddDevice(5);
    r.Load("1 5 1\n1 5 2\n1 5 #C\n2 5 3\n");
    const uint32_t t0 = r.clock.TickCount();
    p.ControlMode = TCommonPlayer::ControlAutonomous;
    p.Offset = -500;
    p.Start(0);
    auto clocks = r.Sent(0x90);
    ASSERT_EQ(clocks.size(), 1u);
    EXPECT_EQ(clocks[0][3], 0x80);  // run flag
    // The start is announced before the first clock frame, so other consoles know whose it is.
    const auto sent = r.Sent();
    const auto codeAt = [&](uint8_t code) {
        return std::find_if(sent.begin(), sent.end(), [&](const auto& f) { return f[0] == code; });
    };
    EXPECT_LT(codeAt(0x10), codeAt(0x90));
    r.ClearSent();

    r.TickAt(t0, 100);
    EXPECT_EQ(p.Position, 0);  // clamped at zero
    for (uint32_t t = 1500, k = 1; k <= 3; t += 25, ++k) {
        r.TickAt(t0, t);
        EXPECT_EQ(p.NextCue, static_cast<int>(k));
    }
    // The modules fire; the console only records (no fire frames) and skips the motor cue.
    EXPECT_TRUE(r.Sent(0x84).empty());
    EXPECT_EQ(p.FiredCount(), 2);
    EXPECT_EQ(r.log.With(QString::fromUtf8("Запуск, пульт: 5")).size(), 2);
    // The time broadcast went out once the sync interval had passed.
    EXPECT_EQ(r.Sent(0x90).size(), 1u);

    r.TickAt(t0, 2999);  // 2499: not yet last + 500
    EXPECT_TRUE(p.IsPlaying());
    r.TickAt(t0, 3000);  // the end, then the 500 ms pause before the stop
    EXPECT_TRUE(p.IsPlaying());
    r.TickAt(t0, 3499);
    EXPECT_TRUE(p.IsPlaying());
    r.TickAt(t0, 3500);
    EXPECT_FALSE(p.IsPlaying());
    EXPECT_EQ(p.Position, 2000);
}

// The window marks the cues and the show report records them: both hear every cue, in the
// order they connected, and one that went hears nothing more.
TEST_F(ShowPlayerTest, EveryListenerHearsTheCuesUntilItGoes) {
    r.AddDevice(5);
    r.Load("1 5 1\n2 5 2\n3 5 3\n");
    std::vector<std::string> heard;
    Connections window;
    auto report = std::make_unique<Connections>();
    window += p.OnCueDone.Connect(
        [&](int cue, int32_t, int32_t) { heard.push_back("window " + std::to_string(cue)); });
    *report += p.OnCueDone.Connect(
        [&](int cue, int32_t, int32_t) { heard.push_back("report " + std::to_string(cue)); });
    const uint32_t t0 = r.clock.TickCount();
    p.Start(0);
    r.TickAt(t0, 1000);
    r.TickAt(t0, 2000);
    report.reset();
    r.TickAt(t0, 3000);
    EXPECT_EQ(heard, (std::vector<std::string>{"window 0", "report 0", "window 1", "report 1",
                                               "window 2"}));
    p.Stop(true);
}

TEST_F(ShowPlayerTest, ManualWorkModePassesOverTheScript) {
    r.AddDevice(5);
    r.Load("1 5 1\n");
    const uint32_t t0 = r.clock.TickCount();
    p.WorkMode = TCommonPlayer::WorkManual;
    int idles = 0;
    Connections conns;
    conns += p.OnIdle.Connect([&] { ++idles; });
    p.Start(0);
    r.TickAt(t0, 5000);
    EXPECT_TRUE(p.IsPlaying());
    EXPECT_TRUE(r.Sent(0x84).empty());
    EXPECT_EQ(idles, 1);
    p.Stop(true);
}

TEST_F(ShowPlayerTest, IdleStepOnlyInGapsLongerThanTheInterval) {
    r.AddDevice(5);
    r.Load("5 5 1\n");
    const uint32_t t0 = r.clock.TickCount();
    int idles = 0;
    int checks = 0;
    Connections conns;
    conns += p.OnIdle.Connect([&] { ++idles; });
    conns += p.OnChannelChecked.Connect([&](int32_t, int32_t) { ++checks; });
    p.Start(0);
    r.TickAt(t0, 999);
    EXPECT_EQ(idles, 0);  // the interval has not passed
    r.TickAt(t0, 1000);
    EXPECT_EQ(idles, 1);
    r.TickAt(t0, 4100);  // the cue is 900 ms away: no polling now
    EXPECT_EQ(idles, 1);
    p.Stop(true);
}

TEST_F(ShowPlayerTest, HvChargeQueueAndRecharges) {
    auto* hv = r.AddDevice<THVControl>(3);
    hv->ChargeVoltage[0] = 100;
    hv->ChargeVoltage[1] = 200;
    hv->ChargeVoltage[2] = 300;
    r.rig.Add({.address = 3, .type = 'Q'});
    r.Load("1 3 1\n2 3 2\n3 3 3\n0.5 3 3\n");
    const uint32_t t0 = r.clock.TickCount();
    p.Start(1000);  // the cue at 0.5 s is before the start point
    EXPECT_EQ(hv->ChargeQueueCount, 3);
    auto charges = r.Sent(0x84);
    ASSERT_EQ(charges.size(), 1u);  // charged for its first cue before the show runs
    EXPECT_EQ(FrameValue(charges[0]), 100);
    EXPECT_EQ(charges[0][1], 0);
    r.ClearSent();

    r.TickAt(t0, 1000);
    r.TickAt(t0, 2000);
    r.TickAt(t0, 3000);
    r.TickAt(t0, 3600);
    const auto fires = r.Sent(0x84);
    ASSERT_EQ(fires.size(), 3u);
    // Each shot recharges to the next cue's voltage; the last one to 1.
    EXPECT_EQ(FrameChannel(fires[0]), 0);
    EXPECT_EQ(FrameValue(fires[0]), 200);
    EXPECT_EQ(FrameValue(fires[1]), 300);
    EXPECT_EQ(FrameValue(fires[2]), 1);
    EXPECT_FALSE(p.IsPlaying());
    // The stop puts the HV control back to rest.
    EXPECT_EQ(r.Sent(0x88).size(), 1u);

    // Manual: charge, two seconds for the capacitor, then the shot without recharge. The
    // charge time runs on a timer: the key's call returns at once.
    r.ClearSent();
    const auto logged = r.log.Lines().size();
    const uint32_t before = r.clock.TickCount();
    p.Fire(3, 1, true, false);
    const uint32_t charged = r.clock.TickCount();
    EXPECT_LT(charged - before, 100u);  // only the charge command's own exchange
    auto manual = r.Sent(0x84);
    ASSERT_EQ(manual.size(), 1u);
    EXPECT_EQ(FrameValue(manual[0]), 200);
    r.clock.Set(charged + TCommonPlayer::kManualChargeWaitMs - 1);
    p.Tick();
    EXPECT_EQ(r.Sent(0x84).size(), 1u);
    r.clock.Set(charged + TCommonPlayer::kManualChargeWaitMs);
    p.Tick();
    manual = r.Sent(0x84);
    ASSERT_EQ(manual.size(), 2u);
    EXPECT_EQ(FrameChannel(manual[1]), 1);
    EXPECT_EQ(FrameValue(manual[1]), 0);
    EXPECT_EQ(r.log.Lines().size(), logged);  // manual fires are logged by the console
}

TEST_F(ShowPlayerTest, ChannelsOutsideTheModuleAreNeverSent) {
    r.AddDevice(5);
    r.Load("1 5 0\n1 5 513\n1 5 512\n");
    const uint32_t t0 = r.clock.TickCount();
    p.Start(0);
    r.TickAt(t0, 1000);
    const auto fires = r.Sent(0x84);
    ASSERT_EQ(fires.size(), 1u);
    EXPECT_EQ(FrameChannel(fires[0]), 511);
}

TEST_F(ShowPlayerTest, AFireThatDidNotLeaveIsLoggedAndCountedAsNotSent) {
    r.rig.Add({.address = 5});
    auto* m5 = r.AddDevice(5);
    r.Load("1 5 1\n1 99 2\n1 0 3\n1 255 4\n1 5 600\n2 5 3\n");
    std::vector<std::array<int32_t, 3>> notSent;
    std::vector<std::pair<int32_t, int32_t>> fired;
    Connections conns;
    conns += p.OnFireNotSent.Connect([&](int32_t m, int32_t c, int32_t result) {
        notSent.push_back({m, c, result});
    });
    conns += p.OnFire.Connect([&](int32_t m, int32_t c) { fired.push_back({m, c}); });
    const uint32_t t0 = r.clock.TickCount();
    p.Start(0);
    r.TickAt(t0, 1000);
    EXPECT_EQ(r.Sent(0x84).size(), 1u);
    // The converter is pulled: the next cue's frame does not leave.
    r.rig.Converters()->SetWriteFails(0, true);
    r.TickAt(t0, 2000);
    r.TickAt(t0, 2600);
    EXPECT_FALSE(p.IsPlaying());

    const QStringList log = r.log.Lines();
    EXPECT_EQ(log.filter(QString::fromUtf8("Запуск, пульт:")).size(), 1);
    EXPECT_EQ(r.log.With(QString::fromUtf8("Запуск, пульт: 5, канал: 1")).size(), 1);
    EXPECT_EQ(
        r.log.With(QString::fromUtf8("Запуск не выполнен, пульт: 99, канал: 2 - модуль не найден"))
            .size(),
        1);
    EXPECT_EQ(r.log.With(QString::fromUtf8("Запуск не выполнен, пульт: 0, канал: 3 -")).size(), 1);
    EXPECT_EQ(r.log.With(QString::fromUtf8("Запуск не выполнен, пульт: 255, канал: 4 -")).size(),
              1);
    EXPECT_EQ(r.log
                  .With(QString::fromUtf8(
                      "Запуск не выполнен, пульт: 5, канал: 600 - канал вне диапазона"))
                  .size(),
              1);
    EXPECT_EQ(r.log
                  .With(QString::fromUtf8(
                      "Запуск не выполнен, пульт: 5, канал: 3 - Ошибка передачи данных."))
                  .size(),
              1);
    ASSERT_EQ(notSent.size(), 5u);
    EXPECT_EQ(notSent[0], (std::array<int32_t, 3>{99, 1, TCommonPlayer::kFireNotOnBus}));
    EXPECT_EQ(notSent[3], (std::array<int32_t, 3>{5, 599, TCommonPlayer::kFireNoChannel}));
    EXPECT_EQ(notSent[4][2], BusTransferError);
    EXPECT_EQ(p.NotSentCount(), 5);
    // Only the frame that left counts as fired, is marked and is checked after the show.
    EXPECT_EQ(p.FiredCount(), 1);
    EXPECT_EQ(fired.size(), 1u);
    EXPECT_EQ(m5->ChannelFired[2], 0);

    // A key fire that does not leave is reported the same way; the next start counts anew.
    p.Fire(42, 0, true, false);
    EXPECT_EQ(p.NotSentCount(), 6);
    EXPECT_EQ(r.log.With(QString::fromUtf8("Запуск не выполнен, пульт: 42, канал: 1")).size(), 1);
    r.rig.Converters()->SetWriteFails(0, false);
    p.Start(5000);
    EXPECT_EQ(p.NotSentCount(), 0);
    p.Stop(true);
}

// The frame left but its echo came back only after the echo wait (a busy machine holds up the
// receive path): the cue is fired, sent once, and its log line says the echo was late.
TEST_F(ShowPlayerTest, AFireWhoseEchoIsLateIsFiredOnceNotCountedAsNotSent) {
    r.rig.Add({.address = 5});
    r.AddDevice(5);
    r.Load("1 5 1\n");
    std::vector<int32_t> notSent;
    const ScopedConnection heard = p.OnFireNotSent.Connect(
        [&](int32_t, int32_t, int32_t result) { notSent.push_back(result); });
    r.rig.Converters()->SetEchoDelay(0, 200);
    const uint32_t t0 = r.clock.TickCount();
    p.Start(0);
    r.TickAt(t0, 1000);
    r.TickAt(t0, 1600);
    EXPECT_EQ(r.Sent(0x84).size(), 1u);
    EXPECT_TRUE(notSent.empty());
    EXPECT_EQ(p.NotSentCount(), 0);
    EXPECT_EQ(p.FiredCount(), 1);
    EXPECT_EQ(r.log
                  .With(QString::fromUtf8(
                      "Запуск, пульт: 5, канал: 1 (кадр передан, эхо не получено вовремя)"))
                  .size(),
              1);
    p.Stop(true);
}

TEST_F(ShowPlayerTest, FiredChannelsAreCheckedOneByOneAfterADelay) {
    r.rig.Add({.address = 5, .readings = {{0, 100}}});  // 10 ohm: connected
    r.rig.Add({.address = 6, .version = 0x200});        // old firmware, no answer on ch 1
    auto* m5 = r.AddDevice(5);
    auto* m6 = r.AddDevice(6, 0x200);
    std::vector<std::pair<int, int>> checked;
    Connections conns;
    conns += p.OnChannelChecked.Connect([&](int32_t m, int32_t c) { checked.push_back({m, c}); });
    p.Fire(5, 0, false, false);
    p.Fire(9, 4, false, false);  // not on the bus: not fired, so nothing to check
    p.Fire(6, 1, false, false);
    EXPECT_TRUE(p.HasPendingChecks());
    r.clock.Advance(200);
    p.CheckNextFired();
    EXPECT_TRUE(checked.empty());  // the igniter gets more than 200 ms
    r.clock.Advance(1);
    p.CheckNextFired();
    ASSERT_EQ(checked.size(), 1u);
    EXPECT_EQ(m5->ChannelState[0], ChannelConnected);
    EXPECT_DOUBLE_EQ(m5->ChannelResistance[0], 10);
    // No answer: asked again at the next checks, then reported as an error, never dropped.
    for (int i = 1; i < TExtPlayer::kCheckAttempts; ++i) {
        p.CheckNextFired();
        EXPECT_TRUE(p.HasPendingChecks());
        EXPECT_EQ(checked.size(), 1u);
    }
    p.CheckNextFired();
    EXPECT_EQ(m6->ChannelState[1], ChannelError);
    ASSERT_EQ(checked.size(), 2u);
    EXPECT_EQ(checked[1], std::make_pair(6, 1));
    EXPECT_FALSE(p.HasPendingChecks());
    // A new start empties the list.
    p.Fire(5, 0, false, false);
    p.Start(0);
    EXPECT_FALSE(p.HasPendingChecks());
    p.Stop(true);
}

TEST_F(ShowPlayerTest, StatusQueriesFromOtherConsoles) {
    OwnConsoleId = 42;
    p.LaunchStateSource = [] { return uint8_t{1}; };
    p.WorkMode = TCommonPlayer::WorkAutomaticManual;
    p.ControlMode = TCommonPlayer::ControlAutonomous;
    p.HandleFrame({0x03, 0, 0, 17, 0, 0xFF});
    p.HandleFrame({0x03, 0, 0, 18, 42, 0xFF});
    p.HandleFrame({0x03, 0, 0, 19, 43, 0xFF});  // addressed to another console
    const auto answers = r.Sent(0x04);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0], (std::vector<uint8_t>{0x04, 0x21, 0x01, 42, 17, 0xFF, answers[0][6]}));
    EXPECT_EQ(answers[1][4], 18);
}

TEST_F(ShowPlayerTest, ExternalStopStopsTheShowEvenWhenIdle) {
    r.AddDevice<THVControl>(3);
    r.Load("10 3 1\n");
    int stops = 0;
    int changes = 0;
    Connections conns;
    conns += p.OnExternalStop.Connect([&] { ++stops; });
    conns += p.OnStateChange.Connect([&] { ++changes; });
    p.Start(0);
    p.WaitingExtStart = true;
    r.ClearSent();
    p.HandleFrame({0x90, 0, 10, 0x00, 0, 0});
    EXPECT_FALSE(p.IsPlaying());
    EXPECT_FALSE(p.WaitingExtStart);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(r.Sent(0x11).size(), 1u);
    EXPECT_EQ(r.Sent(0x88).size(), 1u);
    // Our own stop sent straight back by a console that heard it is not answered again: two
    // idle consoles would otherwise bounce stops between them for good.
    r.ClearSent();
    r.clock.Advance(TCommonPlayer::kStopEchoMs - 1);
    p.HandleFrame({0x90, 0, 10, 0x00, 0, 0});
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(r.Sent().empty());
    // Later, with no show running, the whole stop sequence still runs.
    r.clock.Advance(1);
    p.HandleFrame({0x90, 0, 10, 0x00, 0, 0});
    EXPECT_EQ(stops, 2);
    EXPECT_EQ(r.Sent(0x90).size(), 1u);
    r.clock.Advance(TCommonPlayer::kStopEchoMs);
    // A frame for a console is no stop.
    p.HandleFrame({0x90, 0, 10, 0x00, 0, 0xFF});
    EXPECT_EQ(stops, 2);
}

TEST_F(ShowPlayerTest, ExternalStartWhenArmedAndWhenNot) {
    r.AddDevice(5);
    r.Load("30 5 1\n");
    // Not armed: held and logged as cancelled, nothing starts.
    p.HandleFrame({0x90, 0x01, 0x02, 0x80, 0, 0});
    EXPECT_FALSE(p.IsPlaying());
    auto held = r.Sent(0x90);
    ASSERT_EQ(held.size(), 1u);
    EXPECT_EQ(held[0][1], 0x01);
    EXPECT_EQ(held[0][2], 0x02);
    EXPECT_EQ(held[0][3], 0x00);
    EXPECT_EQ(r.log.With(QString::fromUtf8("Внешняя команда запуска - отменено")).size(), 1);

    // From a console it is not a start command at all.
    r.ClearSent();
    p.WaitingExtStart = true;
    p.HandleFrame({0x90, 0x01, 0x02, 0x80, 0, 0xFF});
    EXPECT_FALSE(p.IsPlaying());
    EXPECT_TRUE(r.Sent(0x90).empty());

    p.HandleFrame({0x90, 0x01, 0x02, 0x80, 0, 0});
    EXPECT_TRUE(p.IsPlaying());
    EXPECT_EQ(p.Position, 25800);
    EXPECT_FALSE(p.WaitingExtStart);
    EXPECT_EQ(r.log.With(QString::fromUtf8("Внешняя команда запуска, время: 25800")).size(), 1);
    EXPECT_EQ(r.Sent(0x90)[0][3], 0x00);  // the hold goes out first
    p.Stop(true);
}

TEST_F(ShowPlayerTest, AnotherConsolesAnnouncedShowClockIsNeitherStartNorStop) {
    r.AddDevice(5);
    r.Load("30 5 1\n");
    int stops = 0;
    Connections conns;
    conns += p.OnExternalStop.Connect([&] { ++stops; });
    const QString cancelled = QString::fromUtf8("Внешняя команда запуска - отменено");
    const uint8_t ownId = OwnConsoleId;
    OwnConsoleId = 7;

    // Console 42 announces its show; its clock frames and its stop pass without an answer.
    p.HandleFrame({0x10, 0, 0, 42, 0, 0xFF});
    for (int second = 0; second < 5; ++second) {
        p.HandleFrame({0x90, 0, static_cast<uint8_t>(second * 10), 0x80, 0, 0});
        r.clock.Advance(1000);
    }
    p.HandleFrame({0x90, 0, 50, 0x00, 0, 0});
    EXPECT_TRUE(r.Sent().empty());
    EXPECT_TRUE(r.log.With(cancelled).isEmpty());
    EXPECT_EQ(stops, 0);
    EXPECT_FALSE(p.IsPlaying());

    // Its end frame: a clock frame is an external start again, held and refused.
    p.HandleFrame({0x11, 0, 50, 42, 0, 0xFF});
    p.HandleFrame({0x90, 0, 60, 0x80, 0, 0});
    ASSERT_EQ(r.Sent(0x90).size(), 1u);
    EXPECT_EQ(r.log.With(cancelled).size(), 1);

    // Armed for an external start, the announced show's clock starts ours without a hold.
    r.ClearSent();
    p.HandleFrame({0x10, 0, 0, 43, 0, 0xFF});
    p.WaitingExtStart = true;
    p.HandleFrame({0x90, 0x01, 0x02, 0x80, 0, 0});
    EXPECT_TRUE(p.IsPlaying());
    EXPECT_EQ(p.Position, 25800);
    for (const auto& f : r.Sent(0x90)) {
        EXPECT_NE(f[3], 0x00);
    }
    // Its stop still stops ours, as any master's stop does.
    p.HandleFrame({0x90, 0x01, 0x10, 0x00, 0, 0});
    EXPECT_FALSE(p.IsPlaying());
    EXPECT_EQ(stops, 1);
    p.HandleFrame({0x11, 0x01, 0x10, 43, 0, 0xFF});
    r.clock.Advance(TCommonPlayer::kStopEchoMs);

    // A console whose clock fell silent without its end frame is taken as gone.
    r.ClearSent();
    p.HandleFrame({0x10, 0, 0, 44, 0, 0xFF});
    p.HandleFrame({0x90, 0, 0, 0x80, 0, 0});
    EXPECT_TRUE(r.Sent().empty());
    r.clock.Advance(OtherConsoleShows::kClockSilenceMs);
    p.HandleFrame({0x90, 0, 30, 0x80, 0, 0});
    EXPECT_EQ(r.Sent(0x90).size(), 1u);

    // A show that fires its cues itself sends no clock: it stands until its end frame.
    p.HandleFrame({0x10, 0, 0, 45, 0, 0xFF});
    r.clock.Advance(60000);
    p.HandleFrame({0x90, 0, 90, 0x00, 0, 0});
    EXPECT_EQ(stops, 1);
    // Our own announcement coming back is not another console's.
    p.HandleFrame({0x11, 0, 90, 45, 0, 0xFF});
    p.HandleFrame({0x10, 0, 0, OwnConsoleId, 0, 0xFF});
    p.HandleFrame({0x90, 0, 90, 0x00, 0, 0});
    EXPECT_EQ(stops, 2);
    OwnConsoleId = ownId;
}

TEST(Countdown, TextsAndClosing) {
    EXPECT_EQ(CountdownText(0), "0:00:00.0");
    EXPECT_EQ(CountdownText(9900), "0:00:09.9");
    EXPECT_EQ(CountdownText(3723450), "1:02:03.4");
    EXPECT_EQ(CountdownText(-50), "0:00:00.0");

    const uint32_t start = 0xFFFFFF00u;
    const uint32_t target = PlanClockStart(start, 36000000 + 10000, 36000000).targetTick;
    CountdownStep s = Countdown(start, target, start + 100, false);
    EXPECT_EQ(s.text, "0:00:09.9");
    EXPECT_FALSE(s.close);
    EXPECT_FALSE(Countdown(start, target, start + 9999, false).close);
    EXPECT_TRUE(Countdown(start, target, start + 10000, false).close);
    // A countdown that overran its target (a late tick) closes; it never waits for tomorrow.
    EXPECT_TRUE(Countdown(1000, 1050, 1100, false).close);

    s = Countdown(1000, 0, 3500, false);
    EXPECT_EQ(s.text, "0:00:02.5");
    EXPECT_FALSE(s.close);
    EXPECT_TRUE(Countdown(1000, 0, 3500, true).close);
}

// A stop stops: launches the keys asked for that have not left yet are dropped, not fired
// after their charge time with the window frozen.
TEST_F(ShowPlayerTest, StopDropsManualLaunchesNotYetFired) {
    auto* hv = r.AddDevice<THVControl>(3);
    hv->ChargeVoltage[0] = 100;
    hv->ChargeVoltage[1] = 200;
    r.rig.Add({.address = 3, .type = 'Q'});
    r.AddDevice(5);
    r.rig.Add({.address = 5, .type = 'A'});
    p.WorkMode = TCommonPlayer::WorkManual;
    p.Start(0);
    r.ClearSent();
    int notSent = 0;
    Connections conns;
    conns += p.OnFireNotSent.Connect([&](int32_t, int32_t, int32_t result) {
        EXPECT_EQ(result, TCommonPlayer::kFireStopped);
        ++notSent;
    });
    p.Fire(3, 0, true, false);           // charges, fires 2 s later
    p.Fire(3, 1, true, false);           // waits behind it
    p.Fire(5, 4, true, false);           // and so does a plain module's key
    ASSERT_EQ(r.Sent(0x84).size(), 1u);  // the charge only
    EXPECT_EQ(p.PendingManualFires(), 3);
    const uint32_t before = r.clock.TickCount();
    p.Stop(false);
    EXPECT_LT(r.clock.TickCount() - before, 500u) << "the stop does not wait for a charge";
    EXPECT_EQ(p.PendingManualFires(), 0);
    EXPECT_EQ(notSent, 3);
    EXPECT_EQ(r.log
                  .With(QString::fromUtf8("Запуск не выполнен, пульт: 3, канал: 2 - "
                                          "отменен остановкой"))
                  .size(),
              1);
    // Only the charge ever went out; nothing fires when its charge time would have ended.
    r.clock.Advance(5000);
    p.Tick();
    EXPECT_EQ(r.Sent(0x84).size(), 1u);
    EXPECT_EQ(r.Sent(0x88).size(), 1u) << "the HV control is reset";
}

// A start after a stop goes on from the first cue the run did not send: the position a show
// ended or stopped at lies on a cue it already sent.
TEST_F(ShowPlayerTest, StartAfterTheEndOrAStopNeverSendsACueAgain) {
    r.AddDevice(5);
    r.rig.Add({.address = 5});
    r.Load("1 5 1\n2 5 2\n2 5 3\n");
    const uint32_t t0 = r.clock.TickCount();
    p.Start(0);
    r.TickAt(t0, 1000);
    r.TickAt(t0, 2000);
    ASSERT_EQ(r.Sent(0x84).size(), 3u);
    r.TickAt(t0, 3000);
    ASSERT_FALSE(p.IsPlaying());
    EXPECT_EQ(p.Position, 2000);
    EXPECT_TRUE(p.RanToEnd());
    r.ClearSent();

    // Started again from where it ended: nothing is due.
    const uint32_t t1 = r.clock.TickCount();
    p.Start(p.Position);
    EXPECT_FALSE(p.RanToEnd());
    r.TickAt(t1, 10);
    r.TickAt(t1, 1000);
    EXPECT_TRUE(r.Sent(0x84).empty());
    EXPECT_FALSE(p.IsPlaying());

    // Stopped on the tick that fired a cue, then started at that position: it is not sent again.
    p.ForgetRun();
    const uint32_t t2 = r.clock.TickCount();
    p.Start(0);
    r.TickAt(t2, 1000);
    ASSERT_EQ(r.Sent(0x84).size(), 1u);
    p.Stop(false);
    EXPECT_FALSE(p.RanToEnd());
    const uint32_t t3 = r.clock.TickCount();
    p.Start(p.Position);
    EXPECT_EQ(p.NextCue, 1);
    r.TickAt(t3, 0);
    EXPECT_EQ(r.Sent(0x84).size(), 1u);
    r.TickAt(t3, 1000);
    EXPECT_EQ(r.Sent(0x84).size(), 3u);

    // A start point set by the operator is taken as it is.
    p.Stop(false);
    p.ForgetRun();
    p.Start(0);
    EXPECT_EQ(p.NextCue, 0);
    p.Stop(false);
}
