// A slot that follows timecode, through the show control on the simulated bus: arming listens
// and the timecode starts the show at its zero, with or without the start key; a stop, a disarm,
// a slot change or a lost converter ends the wait; a timecode lost for good stops the show as
// the stop key does.
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
    explicit TimecodeShow(double signalEndMs, double signalStartMs = -2000) {
        module = dynamic_cast<TCommonControl*>(r.Register(3));
        r.LoadScript("1 3 1\n5 3 2\n");
        test::LtcTestSignal signal(48000, TimecodeRate::Fps25);
        signal.AppendTimecodeAt(kZeroMs + signalStartMs, signalEndMs - signalStartMs);
        signal.AppendSilence(8000);
        const QString wav = r.dir.file(QStringLiteral("ltc.wav"));
        EXPECT_TRUE(signal.WriteWav(wav, 1, 0));
        TimecodeSlot& slot = r.show->CurrentProject().Timecode;
        slot.Enabled = true;
        slot.ShowZero = QStringLiteral("01:00:00:00");
        slot.StopOnLoss = true;
        slot.FreewheelMs = 1000;
        r.show->SetTimecodeFile(wav);
    }
    // Runs the console's clock on by ms, a player tick and the listening step (the show
    // control's timer) every 10 ms.
    void Run(int ms) {
        for (int t = 0; t < ms; t += 10) {
            r.clock.Advance(10);
            r.show->ListenStep();
            r.player->Tick();
        }
    }
    int Count(const QString& text) const { return static_cast<int>(r.Lines().filter(text).size()); }
    bool Logged(const QString& line) const { return r.Lines().contains(line); }
    int FiredLines() const {
        return static_cast<int>(r.Lines().filter(QStringLiteral("Запуск, пульт: 3")).size());
    }
};

TEST(TimecodeShowControl, TheTimecodeStartsTheShowAndItsLossStopsItAsTheStopKeyDoes) {
    TimecodeShow s(2500);
    ShowControlRig& r = s.r;
    r.show->ArmToggle();
    ASSERT_TRUE(HandleKey(*r.show, vk::F5, {}, nullptr).Consumed);
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
    r.show->SetTimecodeFile(wav);
    const TimecodeSlotReading reading = ReadTimecodeSlot(
        IniFile::FromBytes("[timecode1]\nOn=1\nChannel=2\nShowZero=00:59:59:00\nOnLoss=Stop\n"
                           "FreewheelMs=500\nLockFrames=5\n"),
        1);
    ASSERT_TRUE(reading.refused.isEmpty()) << reading.refused.join('\n').toStdString();
    r.show->CurrentProject().Timecode = reading.slot;

    r.show->ArmToggle();
    ASSERT_TRUE(HandleKey(*r.show, vk::F5, {}, nullptr).Consumed);
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

// A source that cannot run is known when the console arms, not at the show's zero: the console
// stays waiting, and nothing falls back to its own clock.
TEST(TimecodeShowControl, ASourceThatCannotRunRefusesTheArming) {
    TimecodeShow s(1000);
    ShowControlRig& r = s.r;
    r.show->SetTimecodeFile(r.dir.file(QStringLiteral("missing.wav")));
    r.show->ArmToggle();
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Waiting);
    EXPECT_FALSE(r.show->Start());
    EXPECT_FALSE(r.show->Playing());
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_TRUE(
        r.errors.front().startsWith(QStringLiteral("Старт невозможен, источник таймкода:")));
    EXPECT_EQ(s.Count(QStringLiteral("ожидание таймкода")), 0);
}

TEST(TimecodeShowControl, NotArmedNothingListensAndNothingStarts) {
    TimecodeShow s(6000);
    ShowControlRig& r = s.r;
    // Not armed, nothing listens and nothing starts, whatever the timecode says.
    s.Run(2500);
    EXPECT_EQ(r.show->Timecode(), nullptr);
    EXPECT_FALSE(r.show->TimecodeLamp().Listening);
    EXPECT_FALSE(r.show->Playing());
}

TEST(TimecodeShowControl, ArmingListensAndTheShowStartsAtTheZeroWithoutTheStartKey) {
    TimecodeShow s(6000);
    ShowControlRig& r = s.r;
    r.show->ArmToggle();
    ASSERT_EQ(r.state.LaunchState, ConsoleState::Armed);
    EXPECT_EQ(s.Count(QStringLiteral("Пульт взведен: ожидание таймкода")), 1);
    ASSERT_NE(r.show->Timecode(), nullptr);
    EXPECT_TRUE(r.show->TimecodeLamp().Listening);
    EXPECT_FALSE(r.show->Playing());

    // The pre-roll: the lamp locks while the console is armed; nothing starts before the zero.
    s.Run(1700);
    EXPECT_EQ(r.show->TimecodeLamp().Caption, QStringLiteral("LTC 25"));
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Armed);
    EXPECT_FALSE(r.show->Playing());
    EXPECT_EQ(s.FiredLines(), 0);

    s.Run(400);  // past the zero
    ASSERT_TRUE(r.show->Playing());
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Running);
    EXPECT_EQ(s.Count(QStringLiteral("Таймкод: старт шоу")), 1);
    EXPECT_EQ(s.FiredLines(), 0);
    s.Run(1000);
    EXPECT_EQ(s.FiredLines(), 1);
    s.Run(4000);
    EXPECT_EQ(s.FiredLines(), 2);
    EXPECT_EQ(s.module->ChannelFired[0], 1);
    EXPECT_EQ(s.module->ChannelFired[1], 1);
    EXPECT_EQ(s.Count(QStringLiteral("Пульт взведен: ожидание таймкода")), 1);
}

TEST(TimecodeShowControl, TheStartKeyOnAnArmedSlotKeepsTheLockItHas) {
    TimecodeShow s(3000);
    ShowControlRig& r = s.r;
    r.show->ArmToggle();
    s.Run(1000);
    const TimecodeShowClock* clock = r.show->Timecode();
    ASSERT_NE(clock, nullptr);
    ASSERT_EQ(clock->Signal(), TimecodeSignal::Locked);
    ASSERT_TRUE(r.show->Start());
    EXPECT_EQ(r.show->Timecode(), clock);
    EXPECT_TRUE(r.player->WaitingForClock());
    s.Run(800);
    EXPECT_TRUE(r.player->WaitingForClock());
    s.Run(1500);
    EXPECT_FALSE(r.player->WaitingForClock());
    EXPECT_EQ(s.FiredLines(), 1);
    EXPECT_EQ(s.Count(QStringLiteral("Таймкод: старт шоу")), 1);
}

// Each way out of the wait closes the capture and leaves nothing to start the show later.
TEST(TimecodeShowControl, DisarmStopSlotChangeAndALostConverterEndTheWait) {
    const auto ends = [](const std::function<void(ShowControlRig&)>& leave, uint8_t after) {
        TimecodeShow s(6000);
        ShowControlRig& r = s.r;
        r.show->ArmToggle();
        s.Run(1000);
        ASSERT_EQ(r.show->TimecodeLamp().Caption, QStringLiteral("LTC 25"));
        leave(r);
        s.Run(10);
        EXPECT_EQ(r.show->Timecode(), nullptr);
        EXPECT_FALSE(r.show->TimecodeLamp().Listening);
        EXPECT_EQ(r.show->TimecodeLamp().Caption, QStringLiteral("LTC"));
        s.Run(3000);  // well past the zero and the first cue
        EXPECT_FALSE(r.show->Playing());
        EXPECT_EQ(s.FiredLines(), 0);
        EXPECT_EQ(s.Count(QStringLiteral("Таймкод: старт шоу")), 0);
        EXPECT_EQ(r.state.LaunchState, after);
    };
    {
        SCOPED_TRACE("F1 again");
        ends([](ShowControlRig& r) { r.show->ArmToggle(); }, ConsoleState::Waiting);
    }
    {
        SCOPED_TRACE("Esc");
        ends([](ShowControlRig& r) { HandleKey(*r.show, vk::Escape, {}, nullptr); },
             ConsoleState::Waiting);
    }
    {
        // F6 stops only what runs: the start key's wait for the zero.
        SCOPED_TRACE("F5, F6");
        ends(
            [](ShowControlRig& r) {
                ASSERT_TRUE(HandleKey(*r.show, vk::F5, {}, nullptr).Consumed);
                ASSERT_TRUE(r.player->WaitingForClock());
                HandleKey(*r.show, vk::F6, {}, nullptr);
            },
            ConsoleState::Armed);
    }
    {
        SCOPED_TRACE("another slot");
        ends([](ShowControlRig& r) { r.show->ChangeSlot(1); }, ConsoleState::Waiting);
    }
    {
        SCOPED_TRACE("converter lost");
        ends([](ShowControlRig& r) { r.wiring->SetConverterFault(true); }, ConsoleState::Armed);
    }
}

// A zero that comes while the start rule refuses the start (here test mode) starts nothing, and
// the capture closes: the show may not start later with a burst of the cues passed meanwhile.
TEST(TimecodeShowControl, AZeroTheStartRuleRefusesStartsNothingLater) {
    TimecodeShow s(6000);
    ShowControlRig& r = s.r;
    r.show->ArmToggle();
    s.Run(1000);
    r.wiring->SetTestMode(true);
    s.Run(1500);
    EXPECT_FALSE(r.show->Playing());
    EXPECT_EQ(r.show->Timecode(), nullptr);
    // The crew is told why the timecode started nothing.
    EXPECT_EQ(s.Count(QStringLiteral("Таймкод: старт невозможен, ожидание таймкода прекращено")),
              1);
    r.wiring->SetTestMode(false);
    s.Run(3000);
    EXPECT_FALSE(r.show->Playing());
    EXPECT_EQ(s.FiredLines(), 0);
}

TEST(TimecodeShowControl, ArmedPastTheZeroTheShowStartsFromTheFirstCueAtOrAfterTheTimecode) {
    // The timecode runs from two seconds into the show: the 1 s cue is never fired.
    TimecodeShow s(7000, 2000);
    ShowControlRig& r = s.r;
    r.show->ArmToggle();
    s.Run(1000);
    ASSERT_TRUE(r.show->Playing());
    EXPECT_EQ(s.Count(QStringLiteral("Таймкод: старт с середины шоу, время:")), 1);
    EXPECT_EQ(s.Count(QStringLiteral("Таймкод: пропущено, время: 1.000, пульт: 3, канал: 1")), 1);
    s.Run(4000);
    EXPECT_EQ(s.module->ChannelFired[0], 0);
    EXPECT_EQ(s.module->ChannelFired[1], 1);
    EXPECT_EQ(s.FiredLines(), 1);
}

}  // namespace
