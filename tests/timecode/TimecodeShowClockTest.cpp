#include "timecode/TimecodeShowClock.h"

#include <gtest/gtest.h>

#include <QStringList>

#include "TempDir.h"
#include "shows/TProjectList.h"
#include "timecode/LtcDecoder.h"
#include "timecode/LtcTestSignal.h"
#include "timecode/TimecodeSlotClock.h"

namespace kv {
namespace {

using test::LtcTestSignal;

// A capture device hearing a prepared signal: every poll is 10 ms later.
class SignalSource final : public TimecodeSource {
public:
    explicit SignalSource(const LtcTestSignal& signal)
        : signal_(signal), decoder_(signal.SampleRate()) {}
    int SampleRate() const override { return signal_.SampleRate(); }
    bool Start() override { return true; }
    void Stop() override {}
    QString Error() const override { return QString(); }
    std::vector<LtcFrame> Poll(int64_t& nowSample) override {
        const int64_t step = signal_.SampleRate() / 100;
        if (at_ < signal_.Size()) {
            const int64_t n = std::min(step, signal_.Size() - at_);
            decoder_.Feed(signal_.Samples().data() + at_, static_cast<size_t>(n), at_);
        }
        at_ += step;
        nowSample = at_;
        return decoder_.TakeFrames();
    }

private:
    const LtcTestSignal& signal_;
    LtcDecoder decoder_;
    int64_t at_ = 0;
};

// The player's side of the clock, as its tick uses it: skip what the clock passes over, fire
// in order whatever has come, never go back.
struct PlayerSide {
    std::vector<int> fired;
    std::vector<int> skipped;
    int next = 0;
    bool stopped = false;

    void Tick(ShowClockSource& clock, const TProjectList& script) {
        const ShowClockSource::Reading r = clock.Read();
        if (r.stop) {
            stopped = true;
        }
        if (!r.running || stopped) {
            return;
        }
        while (next < script.Count() && script.Cue(next).Time < r.skipBefore) {
            skipped.push_back(next++);
        }
        while (next < script.Count() && script.Cue(next).Time <= r.position) {
            fired.push_back(next++);
        }
    }
};

TEST(TimecodeShowClockTest, ThePlayerFiresAndSkipsExactlyWhatTheFollowerDecides) {
    TProjectList script;
    // 1 s, 3.9 s, 4.5 s, 6 s (between the jump's ends), 9.5 s, 12 s.
    ASSERT_FALSE(
        script.LoadFromBytes("1 5 1\n3.9 5 2\n4.5 5 3\n6 6 1\n9.5 5 4\n12 5 5\n", "show.txt"));
    TimecodeFollowerSettings settings;
    settings.showZero = Timecode{1, 0, 0, 0};
    const double zero = TimecodeMs(settings.showZero, TimecodeRate::Fps25);
    LtcTestSignal signal(48000, TimecodeRate::Fps25);
    signal.AppendTimecodeAt(zero - 2000, 6000);
    signal.AppendTimecodeAt(zero + 3600000 + 4000, 40);  // a corrupt frame: no jump
    signal.AppendTimecodeAt(zero + 4040, 40 * 4);
    signal.AppendTimecodeAt(zero + 9000, 5000);  // a jump forward from 4.2 s to 9 s

    TimecodeShowClock clock(std::make_unique<SignalSource>(signal), settings);
    QStringList log;
    Connections conns;
    conns += clock.OnLog.Connect([&log](const QString& line) { log << line; });
    ASSERT_TRUE(clock.Start());
    clock.Arm(script);
    PlayerSide player;
    std::vector<QString> lamps;
    for (int tick = 0; tick < 1300; ++tick) {
        player.Tick(clock, script);
        if (lamps.empty() || lamps.back() != clock.LampText()) {
            lamps.push_back(clock.LampText());
        }
    }
    EXPECT_EQ(player.fired, (std::vector<int>{0, 1, 4, 5}));
    EXPECT_EQ(player.skipped, (std::vector<int>{2, 3}));
    EXPECT_EQ(player.next, clock.Follower().NextCue());

    ASSERT_GE(log.size(), 5) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(log[0], QStringLiteral("Таймкод: синхронизация, кадров/с: 25 00:59:58:09"));
    EXPECT_EQ(log[1], QStringLiteral("Таймкод: старт шоу"));
    EXPECT_TRUE(log[2].startsWith(QStringLiteral("Таймкод: скачок вперёд, время: 4.2")))
        << log[2].toStdString();
    EXPECT_EQ(log[3], QStringLiteral("Таймкод: пропущено, время: 4.500, пульт: 5, канал: 3"));
    EXPECT_EQ(log[4], QStringLiteral("Таймкод: пропущено, время: 6.000, пульт: 6, канал: 1"));
    EXPECT_EQ(log.filter(QStringLiteral("скачок")).size(), 1);
    EXPECT_EQ(lamps.front(), QStringLiteral("LTC: нет сигнала"));
    EXPECT_EQ(lamps[1], QStringLiteral("LTC: захват"));
    EXPECT_EQ(lamps[2], QStringLiteral("LTC 25"));
    EXPECT_EQ(lamps.back(), QStringLiteral("LTC: свободный ход"));
}

TEST(TimecodeShowClockTest, ALossPastTheFreewheelTimeAsksTheStopWhenTheSlotSaysSo) {
    TProjectList script;
    ASSERT_FALSE(script.LoadFromBytes("1 5 1\n5 5 2\n", "show.txt"));
    TimecodeFollowerSettings settings;
    settings.showZero = Timecode{1, 0, 0, 0};
    settings.onLoss = TimecodeLossAction::Stop;
    LtcTestSignal signal(48000, TimecodeRate::Fps30);
    signal.AppendTimecodeAt(TimecodeMs(settings.showZero, TimecodeRate::Fps30) - 1000, 3000);
    TimecodeShowClock clock(std::make_unique<SignalSource>(signal), settings);
    clock.Arm(script);
    PlayerSide player;
    for (int tick = 0; tick < 600; ++tick) {
        player.Tick(clock, script);
    }
    EXPECT_TRUE(player.stopped);
    EXPECT_EQ(player.fired, (std::vector<int>{0}));
    EXPECT_TRUE(clock.TimeText().isEmpty());
}

TEST(TimecodeSlotClockTest, ASlotGivesItsClockOrSaysWhyNot) {
    TimecodeSlot slot;
    EXPECT_FALSE(slot.Enabled);  // off unless the slot says so
    QString error;
    std::optional<TimecodeFollowerSettings> s = TimecodeSettingsOf(slot, error);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->showZero, (Timecode{1, 0, 0, 0}));
    EXPECT_EQ(s->onLoss, TimecodeLossAction::GoOn);
    EXPECT_EQ(s->lockFrames, 10);
    EXPECT_EQ(s->freewheelMs, 2000);
    slot.StopOnLoss = true;
    slot.ShowZero = QStringLiteral("00:59:50:00");
    s = TimecodeSettingsOf(slot, error);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->onLoss, TimecodeLossAction::Stop);
    EXPECT_EQ(s->showZero, (Timecode{0, 59, 50, 0}));

    slot.ShowZero = QStringLiteral("0:59:50");
    EXPECT_FALSE(TimecodeSettingsOf(slot, error));
    EXPECT_TRUE(error.contains(QStringLiteral("0:59:50")));
    slot.ShowZero = QStringLiteral("01:00:00:00");
    slot.Channel = 0;
    EXPECT_FALSE(MakeTimecodeShowClock(slot, QString(), error));

    // A rehearsal file in place of the device.
    TempDir dir;
    LtcTestSignal signal(48000, TimecodeRate::Fps25);
    signal.AppendTimecode(Timecode{1, 0, 0, 0}, 5);
    ASSERT_TRUE(signal.WriteWav(dir.file(QStringLiteral("tc.wav")), 2, 1));
    slot.Channel = 2;
    EXPECT_TRUE(MakeTimecodeShowClock(slot, dir.file(QStringLiteral("tc.wav")), error));
    slot.Channel = 3;
    EXPECT_FALSE(MakeTimecodeShowClock(slot, dir.file(QStringLiteral("tc.wav")), error));
    EXPECT_TRUE(error.contains(QStringLiteral("no channel 3")));
}

}  // namespace
}  // namespace kv
