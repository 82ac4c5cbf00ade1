// A slot that follows timecode, through the show control on the simulated bus: the start key
// makes the console wait for the timecode, which then starts the show at its zero; a timecode
// lost for good stops the show as the stop key does.
#include <gtest/gtest.h>

#include "ShowControlRig.h"
#include "console/KeyHook.h"
#include "devices/TCommonControl.h"
#include "timecode/LtcTestSignal.h"
#include "timecode/TimecodeShowClock.h"
#include "timecode/TimecodeSlotSettings.h"
#include "util/IniFile.h"

using namespace kv;

namespace {

constexpr double kZeroMs = 3600000.0;  // 01:00:00:00

struct TimecodeShow {
    ShowControlRig r;
    TCommonControl* module = nullptr;

    // The file holds 25 fps timecode from 2 s before the zero to signalEndMs of the show, then
    // silence.
    explicit TimecodeShow(double signalEndMs) {
        module = dynamic_cast<TCommonControl*>(r.Register(3));
        r.LoadScript("1 3 1\n5 3 2\n");
        test::LtcTestSignal signal(48000, TimecodeRate::Fps25);
        signal.AppendTimecodeAt(kZeroMs - 2000, 2000 + signalEndMs);
        signal.AppendSilence(8000);
        const QString wav = r.dir.file(QStringLiteral("ltc.wav"));
        EXPECT_TRUE(signal.WriteWav(wav, 1, 0));
        TimecodeSlot& slot = r.show->CurrentProject().Timecode;
        slot.Enabled = true;
        slot.ShowZero = QStringLiteral("01:00:00:00");
        slot.StopOnLoss = true;
        slot.FreewheelMs = 1000;
        r.show->TimecodeFile = wav;
    }
    // Runs the console's clock on by ms, a player tick every 10 ms.
    void Run(int ms) {
        for (int t = 0; t < ms; t += 10) {
            r.clock.Advance(10);
            r.player->Tick();
        }
    }
    bool Logged(const QString& line) const { return r.Lines().contains(line); }
    int FiredLines() const {
        return static_cast<int>(r.Lines().filter(QStringLiteral("Запуск, пульт: 3")).size());
    }
};

TEST(TimecodeShowControl, TheTimecodeStartsTheShowAndItsLossStopsItAsTheStopKeyDoes) {
    TimecodeShow s(2500);
    ShowControlRig& r = s.r;
    r.show->ArmToggle();
    ASSERT_TRUE(r.show->HandleKey(vk::F5, {}, nullptr).Consumed);
    ASSERT_TRUE(r.show->Playing());
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Running);
    ASSERT_NE(r.show->Timecode(), nullptr);
    EXPECT_TRUE(r.player->WaitingForClock());

    // The pre-roll: locked, but nothing starts before the zero.
    s.Run(1700);
    EXPECT_TRUE(r.player->WaitingForClock());
    EXPECT_FALSE(s.Logged(QStringLiteral("Таймкод: старт шоу")));
    EXPECT_EQ(s.FiredLines(), 0);
    EXPECT_EQ(r.show->Timecode()->Signal(), TimecodeSignal::Locked);

    s.Run(500);  // past the zero
    EXPECT_FALSE(r.player->WaitingForClock());
    EXPECT_TRUE(s.Logged(QStringLiteral("Таймкод: старт шоу")));
    s.Run(1000);  // past the first cue
    EXPECT_EQ(s.FiredLines(), 1);
    EXPECT_EQ(s.module->ChannelFired[0], 1);

    // The signal ends at 2.5 s; a second of freewheel later the show stops, before the 5 s cue.
    s.Run(2500);
    EXPECT_FALSE(r.show->Playing());
    EXPECT_TRUE(s.Logged(QStringLiteral("Таймкод: нет сигнала, шоу остановлено")));
    EXPECT_EQ(r.Lines().last(), QStringLiteral("Остановка проекта"));
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Armed);
    EXPECT_EQ(r.show->Timecode(), nullptr);  // no longer listening
    s.Run(3000);
    EXPECT_EQ(s.FiredLines(), 1);
    EXPECT_EQ(s.module->ChannelFired[1], 0);
}

// The slot as the settings file sets it: the show zero, the channel, the loss choice and the
// freewheel time are the file's, the capture device replaced by a recording as in a rehearsal.
TEST(TimecodeShowControl, ASlotSetUpInTheSettingsFileFollowsItsSettings) {
    TimecodeShow s(2500);
    ShowControlRig& r = s.r;
    // The recording's timecode on the second of two channels, the first silent.
    test::LtcTestSignal signal(48000, TimecodeRate::Fps25);
    signal.AppendTimecodeAt(kZeroMs - 2000, 4500);
    signal.AppendSilence(8000);
    const QString wav = r.dir.file(QStringLiteral("stereo.wav"));
    ASSERT_TRUE(signal.WriteWav(wav, 2, 1));
    r.show->TimecodeFile = wav;
    const TimecodeSlotReading reading = ReadTimecodeSlot(
        IniFile::FromBytes("[timecode1]\nOn=1\nChannel=2\nShowZero=00:59:59:00\nOnLoss=Stop\n"
                           "FreewheelMs=500\nLockFrames=5\n"),
        1);
    ASSERT_TRUE(reading.refused.isEmpty()) << reading.refused.join('\n').toStdString();
    r.show->CurrentProject().Timecode = reading.slot;

    r.show->ArmToggle();
    ASSERT_TRUE(r.show->HandleKey(vk::F5, {}, nullptr).Consumed);
    // A second before 01:00:00:00 is the show's zero here.
    s.Run(1500);
    EXPECT_FALSE(r.player->WaitingForClock());
    EXPECT_EQ(s.FiredLines(), 0);
    s.Run(1000);
    EXPECT_EQ(s.FiredLines(), 1);
    // The signal ends 3.5 s into the show; half a second of freewheel later the show stops, long
    // before the 5 s cue (a 2 s freewheel would have reached it).
    s.Run(3000);
    EXPECT_FALSE(r.show->Playing());
    EXPECT_TRUE(s.Logged(QStringLiteral("Таймкод: нет сигнала, шоу остановлено")));
    s.Run(2000);
    EXPECT_EQ(s.FiredLines(), 1);
    EXPECT_EQ(s.module->ChannelFired[1], 0);
}

TEST(TimecodeShowControl, ASourceThatCannotRunRefusesTheStart) {
    TimecodeShow s(1000);
    ShowControlRig& r = s.r;
    r.show->TimecodeFile = r.dir.file(QStringLiteral("missing.wav"));
    r.show->ArmToggle();
    EXPECT_FALSE(r.show->StartBtnClick());
    EXPECT_FALSE(r.show->Playing());
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_TRUE(
        r.errors.front().startsWith(QStringLiteral("Старт невозможен, источник таймкода:")));
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Armed);
}

}  // namespace
