// What the main window shows, as plain functions of the console state.
#include <gtest/gtest.h>

#include "../devices/NoConverters.h"
#include "console/ConsoleEnabling.h"
#include "console/ConsoleState.h"
#include "console/IndicatorLooks.h"
#include "console/ManualKeyLooks.h"
#include "console/ShowTexts.h"
#include "devices/TAutoControl.h"
#include "devices/TControls.h"
#include "devices/THVControl.h"
#include "devices/TRadioModule.h"
#include "devices/TRemoteControl.h"
#include "devices/TScriptCue.h"
#include "shows/TCommonPlayer.h"

using namespace kv;

namespace {

TCommonControl* AddModule(TControls& c, OfflineBus& bus, int address, int channels) {
    auto* m =
        static_cast<TCommonControl*>(c.Add(std::make_unique<TAutoControl>(bus.proto, address)));
    m->SetChannelCount(channels);
    m->LastResult = 0;
    m->SupplyVoltage = 12.0;
    m->Forcing = ForcingOff;
    return m;
}

}  // namespace

TEST(Enabling, ButtonsFollowTheLaunchStateAndTheShow) {
    EnablingInputs in{.CueCount = 3, .ModuleCount = 2};
    ButtonEnabling b = ButtonStates(in);
    EXPECT_TRUE(b.Test && b.Search && b.Project && b.Sound && b.Begin && b.Save && b.Check);
    EXPECT_FALSE(b.Start || b.Stop || b.Up || b.TestCheck || b.TestSound);

    in.LaunchState = ConsoleState::Armed;
    b = ButtonStates(in);
    EXPECT_TRUE(b.Start && b.Begin && b.Save);
    EXPECT_FALSE(b.Test || b.Search || b.Project || b.Sound);

    in.CueCount = 0;
    EXPECT_FALSE(ButtonStates(in).Start);
    in.WorkMode = TCommonPlayer::WorkManual;  // a manual show needs no script
    EXPECT_TRUE(ButtonStates(in).Start);
    in.WorkMode = TCommonPlayer::WorkAutomaticManual;
    EXPECT_FALSE(ButtonStates(in).Start);

    in = EnablingInputs{
        .Playing = true, .LaunchState = ConsoleState::Running, .CueCount = 3, .ModuleCount = 2};
    b = ButtonStates(in);
    EXPECT_TRUE(b.Stop);
    EXPECT_FALSE(b.Start || b.Begin || b.Save || b.Test || b.Search);
    // After the first stop the music plays on: stop stays enabled.
    in.Playing = false;
    in.SoundPlaying = true;
    in.LaunchState = ConsoleState::Armed;
    EXPECT_TRUE(ButtonStates(in).Stop);
    in.Searching = true;
    EXPECT_FALSE(ButtonStates(in).Stop);
}

TEST(Enabling, TestPanelButtonsNeedTestModeAndModules) {
    EnablingInputs in{.TestMode = true, .ModuleCount = 1};
    ButtonEnabling b = ButtonStates(in);
    EXPECT_TRUE(b.TestCheck && b.TestAll && b.TestSound && b.TestMixer && b.Test);
    EXPECT_FALSE(b.Up || b.Down || b.TestStop || b.Project || b.Begin);
    in.ModuleCount = 2;
    EXPECT_TRUE(ButtonStates(in).Up);
    in.Testing = true;
    b = ButtonStates(in);
    EXPECT_TRUE(b.TestStop);
    EXPECT_FALSE(b.TestCheck || b.Up || b.TestSound || b.Test || b.Search);
}

TEST(Enabling, ActionsFollowTheirRules) {
    EnablingInputs in;
    ActionEnabling a = ActionStates(in);
    EXPECT_TRUE(a.Control && a.Mode && a.Color && a.Exit && a.Debug);
    EXPECT_FALSE(a.PowerUp || a.ExtStart || a.ClearMem || a.SavePDU);
    in.ModuleCount = 1;
    in.RemoteCount = 1;
    a = ActionStates(in);
    EXPECT_TRUE(a.PowerUp && a.PowerDown && a.ClearMem && a.ReadMemLog);
    // An empty slot writes nothing into the remote, as F8 writes nothing into the modules.
    EXPECT_FALSE(a.SavePDU || a.CheckPDU);
    in.CueCount = 1;
    a = ActionStates(in);
    EXPECT_TRUE(a.SavePDU && a.CheckPDU);
    in.CueCount = 0;
    in.LaunchState = ConsoleState::Armed;
    a = ActionStates(in);
    EXPECT_FALSE(a.Control || a.Exit || a.ExtStart);  // no script yet
    EXPECT_TRUE(a.ClearMem);
    in.CueCount = 1;
    EXPECT_TRUE(ActionStates(in).ExtStart);
    in.TestMode = true;
    a = ActionStates(in);
    EXPECT_FALSE(a.ExtStart || a.ClearMem || a.SavePDU);
    EXPECT_TRUE(a.PowerUp);
    EXPECT_FALSE(a.Debug) << "the clock test starts every module's clock: not when armed";
    in = EnablingInputs{.TestMode = true};
    a = ActionStates(in);
    EXPECT_FALSE(a.Control);
    EXPECT_TRUE(a.Exit);  // closing is allowed in test mode
    in.Searching = true;
    EXPECT_FALSE(ActionStates(in).Exit);
}

TEST(Indicators, ModeIndicatorsShowModesAndLaunchState) {
    ModeIndicators m = ModeIndicatorLooks({});
    EXPECT_EQ(m.WaitLabel, QStringLiteral("Ожидание"));
    EXPECT_EQ(m.Wait, Look::On);
    EXPECT_EQ(m.SoundPlay, Look::Off);
    EXPECT_EQ(m.WorkAuto, Look::On);
    EXPECT_EQ(m.WorkManual, Look::Off);
    EXPECT_EQ(m.Direct, Look::On);
    EXPECT_EQ(m.Autonomous, Look::Off);
    m = ModeIndicatorLooks({.LaunchState = ConsoleState::Armed,
                            .WorkMode = TCommonPlayer::WorkAutomaticManual,
                            .ControlMode = TCommonPlayer::ControlAutonomous});
    EXPECT_EQ(m.Wait, Look::Off);
    EXPECT_EQ(m.Work, Look::On);
    EXPECT_FALSE(m.SoundPlay.has_value());
    EXPECT_EQ(m.WorkAuto, Look::On);
    EXPECT_EQ(m.WorkManual, Look::On);
    EXPECT_EQ(m.Direct, Look::Off);
    EXPECT_EQ(m.Autonomous, Look::On);
    m = ModeIndicatorLooks({.Searching = true, .LaunchState = ConsoleState::Armed});
    EXPECT_EQ(m.WaitLabel, QStringLiteral("Поиск..."));
    EXPECT_EQ(m.Work, Look::Off);
    EXPECT_EQ(m.WorkAuto, Look::Off);
    EXPECT_EQ(m.Direct, Look::Off);
    m = ModeIndicatorLooks({.Testing = true});
    EXPECT_EQ(m.WaitLabel, QStringLiteral("Ожидание"));
    EXPECT_EQ(m.Wait, Look::Off);
}

TEST(Indicators, SummaryLedsOverTheFiringModules) {
    OfflineBus bus;
    TControls c(bus.proto);
    c.Add(std::make_unique<TRemoteControl>(bus.proto));
    SummaryLeds s = SummaryLedLooks(c);
    EXPECT_EQ(s.Power, Look::Off);  // no module: off, not red
    EXPECT_EQ(s.Link, Look::Off);
    EXPECT_EQ(s.Forcing, Look::Off);

    TCommonControl* m = AddModule(c, bus, 3, 16);
    s = SummaryLedLooks(c);
    EXPECT_EQ(s.Power, Look::On);
    EXPECT_EQ(s.Link, Look::On);
    EXPECT_EQ(s.Forcing, Look::Off);
    m->Forcing = ForcingOn;
    EXPECT_EQ(SummaryLedLooks(c).Forcing, Look::On);
    m->SupplyVoltage = 9.99;
    EXPECT_EQ(SummaryLedLooks(c).Power, Look::Alarm);
    m->SupplyVoltage = 10.0;
    // The only module stops answering: power red, and its forcing no longer counts.
    m->LastResult = ResultTimeout;
    s = SummaryLedLooks(c);
    EXPECT_EQ(s.Power, Look::Alarm);
    EXPECT_EQ(s.Forcing, Look::Off);
    // A silent module with low supply does not count while another answers.
    TCommonControl* other = AddModule(c, bus, 5, 16);
    m->SupplyVoltage = 3;
    EXPECT_EQ(SummaryLedLooks(c).Power, Look::On);
    other->LinkRequests = 10;
    other->LinkSuccesses = 9;
    EXPECT_EQ(SummaryLedLooks(c).Link, Look::Alarm);
}

TEST(Indicators, PresenceOfRemoteAndRadioUnits) {
    OfflineBus bus;
    TControls c(bus.proto);
    EXPECT_EQ(PresenceAfterRebuild(c).Remote, Look::Off);
    c.Add(std::make_unique<TRemoteControl>(bus.proto));
    AddModule(c, bus, 3, 16);
    c.Add(std::make_unique<TRadioModule>(bus.proto, 240));
    c.Add(std::make_unique<TRadioModule>(bus.proto, 254));
    PresenceLeds p = PresenceAfterRebuild(c);
    EXPECT_EQ(p.Remote, Look::On);
    EXPECT_EQ(p.Radio, Look::On);
    EXPECT_EQ(p.RadioUnits[0], Look::On);
    EXPECT_EQ(p.RadioUnits[1], Look::Off);
    EXPECT_EQ(p.RadioUnits[14], Look::On);

    c.Items(0)->LastResult = ResultTimeout;
    c.Items(3)->LastResult = ResultTimeout;
    PresenceAfterPoll(p, c, 0);
    EXPECT_EQ(p.Remote, Look::Alarm);
    PresenceAfterPoll(p, c, 2);  // unit 240 answers, but 254 is in error
    EXPECT_EQ(p.RadioUnits[0], Look::On);
    EXPECT_EQ(p.Radio, Look::Alarm);
    PresenceAfterPoll(p, c, 3);
    EXPECT_EQ(p.RadioUnits[14], Look::Alarm);
    c.Items(3)->LastResult = 0;
    PresenceAfterPoll(p, c, 3);
    EXPECT_EQ(p.Radio, Look::On);
    EXPECT_EQ(p.RadioUnits[14], Look::On);
    PresenceAfterPoll(p, c, 1);  // a module changes none of them
    PresenceAfterPoll(p, c, 9);
    EXPECT_EQ(p.Remote, Look::Alarm);
}

TEST(Indicators, SyncSoundPlayAndBlinking) {
    EXPECT_EQ(SyncLook(false, true, 0, 0), Look::Off);
    EXPECT_EQ(SyncLook(true, false, 0, 0), Look::Off);
    EXPECT_EQ(SyncLook(true, true, 10350, 10000), Look::On);
    EXPECT_EQ(SyncLook(true, true, 10400, 10000), Look::Alarm);
    EXPECT_EQ(SyncLook(true, true, 9600, 10000), Look::Alarm);

    EXPECT_EQ(SoundPlayLookAtSoundTick(true, ConsoleState::Armed), Look::On);
    EXPECT_FALSE(SoundPlayLookAtSoundTick(false, ConsoleState::Armed).has_value());
    EXPECT_EQ(SoundPlayLookAtSoundTick(false, ConsoleState::Running), Look::Off);

    BlinkEffects b = BlinkTick(0, {});
    EXPECT_EQ(b.Phase, 1);
    EXPECT_FALSE(b.Wait || b.Work || b.SoundPlay || b.Rs485);
    const BlinkInputs all{.Searching = true,
                          .LaunchState = ConsoleState::Armed,
                          .SoundLoaded = true,
                          .ConverterFault = true};
    b = BlinkTick(0, all);
    EXPECT_EQ(b.Wait, Look::On);
    EXPECT_EQ(b.Work, Look::On);
    EXPECT_EQ(b.SoundPlay, Look::On);
    EXPECT_EQ(b.Rs485, Look::Alarm);
    b = BlinkTick(b.Phase, all);
    EXPECT_EQ(b.Phase, 0);
    EXPECT_EQ(b.Wait, Look::Off);
    EXPECT_EQ(b.Work, Look::Off);
    EXPECT_EQ(b.Rs485, Look::Off);
    BlinkInputs playing = all;
    playing.SoundPlaying = true;
    EXPECT_FALSE(BlinkTick(0, playing).SoundPlay.has_value());
}

TEST(Indicators, LooksAndSlotLabels) {
    EXPECT_EQ(LookShapeColor(Look::On), UiColor::Rgb(0x00FF00));
    EXPECT_EQ(LookLabelColor(Look::On), UiColor::Rgb(0));
    EXPECT_EQ(LookShapeColor(Look::Off), UiColor::ButtonFace());
    EXPECT_EQ(LookLabelColor(Look::Alarm), UiColor::WindowText());
    EXPECT_EQ(LookShapeColor(Look::Alarm), UiColor::Rgb(0xFF0000));

    SlotView v = SlotViewFor(true, 3, 205000, 0);
    EXPECT_EQ(v.Led, Look::On);
    EXPECT_EQ(v.ProjectText, QStringLiteral("0:03:25"));
    EXPECT_EQ(v.SoundText, QString());
    EXPECT_EQ(v.TextColor, UiColor::Rgb(0));
    v = SlotViewFor(false, 0, 0, 61999);
    EXPECT_EQ(v.Led, Look::Off);
    EXPECT_EQ(v.ProjectText, QString());
    EXPECT_EQ(v.SoundText, QStringLiteral("0:01:01"));
    EXPECT_EQ(v.TextColor, UiColor::Rgb(0x000080));
}

TEST(ShowTexts, TimesTempoOffsetAndGauges) {
    EXPECT_EQ(ShowTimeText(65300), QStringLiteral("0:01:05.3"));
    EXPECT_EQ(ShowTimeText(-500), QStringLiteral("0:00:00.0"));
    EXPECT_EQ(ShowTimeText(3600000 + 59999), QStringLiteral("1:00:59.9"));
    EXPECT_EQ(RemainingScriptText(60000, 61000), QStringLiteral("0:00:00.0"));
    EXPECT_EQ(RemainingScriptText(60000, 14950), QStringLiteral("0:00:45.0"));
    EXPECT_EQ(RemainingScriptText(0, 0), QStringLiteral("0:00:00.0"));
    EXPECT_EQ(RemainingScriptText(60000, -500), QStringLiteral("0:01:00.0"));
    PositionView p = PositionViewFor(-500, 60000, 30, 4, 10);
    EXPECT_EQ(p.Time, QStringLiteral("0:00:00.0"));
    EXPECT_EQ(p.Remaining, QStringLiteral("0:01:00.0"));
    EXPECT_EQ(p.ScrollTo, 9);
    EXPECT_EQ(p.Select, 4);
    p = PositionViewFor(59000, 60000, 30, 28, 10);
    EXPECT_EQ(p.ScrollTo, -1);  // no row 33: only the selection moves
    EXPECT_EQ(p.Select, 28);
    p = PositionViewFor(61000, 60000, 30, 30, 10);  // past the last cue
    EXPECT_EQ(p.Select, -1);
    EXPECT_EQ(p.Remaining, QStringLiteral("0:00:00.0"));
    EXPECT_EQ(PositionViewFor(0, 0, 0, 0, 10).Select, -1);
    SoundTimeTexts t = SoundTimes(true, 1500, 5000);
    EXPECT_EQ(t.Position, QStringLiteral("0:00:01.5"));
    EXPECT_EQ(t.Remaining, QStringLiteral("0:00:03.5"));
    t = SoundTimes(false, 1500, 5000);
    EXPECT_EQ(t.Position, QStringLiteral("0:00:00.0"));
    EXPECT_EQ(t.Remaining, QStringLiteral("0:00:00.0"));

    EXPECT_EQ(TempoLabel(1000), QStringLiteral("100%"));
    EXPECT_EQ(TempoLabel(999), QStringLiteral("-0.1%"));
    EXPECT_EQ(TempoLabel(1001), QStringLiteral("+0.1%"));
    EXPECT_EQ(TempoLabel(995), QStringLiteral("-0.5%"));
    EXPECT_EQ(TempoLabel(1020), QStringLiteral("+2.0%"));
    EXPECT_EQ(TempoLabel(0), QStringLiteral("-100.0%"));
    EXPECT_EQ(TempoLogLine(1200), QStringLiteral("Изменение темпа: 120.0%"));
    EXPECT_EQ(TempoLogLine(-5), QStringLiteral("Изменение темпа: -0.5%"));
    EXPECT_EQ(OffsetLabel(1000), QStringLiteral("1000 мс"));
    EXPECT_EQ(DistanceLabel(1000), QStringLiteral("~330 м"));
    EXPECT_EQ(DistanceLabel(-150), QStringLiteral("~50 м"));
    EXPECT_EQ(DistanceLabel(0), QStringLiteral("~0 м"));
    EXPECT_EQ(OffsetLogLine(-150), QStringLiteral("Изменение смещения: -150 ms"));
    EXPECT_EQ(BatteryLabel(85), QStringLiteral("85 %"));

    EXPECT_EQ(OffsetNeedleX(0), 64);
    EXPECT_EQ(OffsetNeedleX(5000), 124);
    EXPECT_EQ(OffsetNeedleX(6000), 124);
    EXPECT_EQ(OffsetNeedleX(-5000), 4);
    EXPECT_EQ(OffsetNeedleX(-150), 62);  // -1.8 rounds to -2
    EXPECT_EQ(TempoNeedleX(1000), 64);
    EXPECT_EQ(TempoNeedleX(1100), 124);
    EXPECT_EQ(TempoNeedleX(500), 4);
    EXPECT_EQ(TempoNeedleX(1001), 65);  // 0.6 rounds to 1
    EXPECT_EQ(BatteryNeedleX(0), 4);
    EXPECT_EQ(BatteryNeedleX(100), 124);
    EXPECT_EQ(BatteryNeedleX(50), 64);
}

TEST(ShowTexts, StartBlockAndLogLines) {
    StartBlockInputs in;
    in.ScriptLastTime = 205400;
    EXPECT_EQ(StartBlockLines(in),
              (QStringList{"Запуск проекта", "Проект: 0:03:25",
                           "Режимы: автомат, прямое управление", "Темп: 100.0%, смещение: 0 ms"}));
    in.WorkMode = TCommonPlayer::WorkManual;
    in.ControlMode = TCommonPlayer::ControlAutonomous;
    in.Tempo = 1001;
    in.Offset = -150;
    in.SoundLoaded = true;
    in.SoundFileName = "music.wav";
    in.SoundLength = 185000;
    EXPECT_EQ(StartBlockLines(in),
              (QStringList{"Запуск проекта", "Фонограмма: music.wav [0:03:05]",
                           "Режимы: ручной, автономный", "Темп: 100.1%, смещение: -150 ms"}));
    EXPECT_EQ(ModeWords(TCommonPlayer::WorkAutomaticManual, 0),
              QStringLiteral("автомат, ручной, прямое управление"));
    EXPECT_EQ(StartFromSoundLine(12900), QStringLiteral("Точка запуска: по фонограмме 0:00:12"));
    EXPECT_EQ(StartPointLine(0), QStringLiteral("Точка запуска: 0:00:00"));
    EXPECT_EQ(StartPointLogLine(12500), QStringLiteral("Установка точки начала: 12500 ms"));
    EXPECT_EQ(ManualFireLogLine(12, 4), QStringLiteral("Ручной запуск, пульт: 12, канал: 5"));
    EXPECT_EQ(StepFireLogLine(3, 0), QStringLiteral("Пошаговый запуск, пульт: 3, канал: 1"));
    EXPECT_EQ(ForcingLogLine(true, 7), QStringLiteral("Включение форсирования, пульт: 7"));
    EXPECT_EQ(ForcingLogLine(false, 7), QStringLiteral("Выключение форсирования, пульт: 7"));
    EXPECT_EQ(ChannelStateLogLine(12, 4, 1),
              QStringLiteral("Тест канала, пульт: 12, канал: 5, состояние: подключен"));
    EXPECT_EQ(ChannelStateLogLine(12, 4, 9),
              QStringLiteral("Тест канала, пульт: 12, канал: 5, состояние: неизвестно"));
}

TEST(ShowTexts, CueRowsNameMotorMoves) {
    TScriptCue cue;
    cue.TimeText = "00:10.500";
    cue.Module = 12;
    cue.Channel = 4;
    cue.Description = "залп";
    EXPECT_EQ(CueRowTexts(cue), (std::array<QString, 4>{"00:10.500", "12", "5", "залп"}));
    const char* moves[] = {"ЦЕНТР", "ВЛЕВО", "ВПРАВО", "Л. ВРАЩ.", "П. ВРАЩ."};
    for (int kind = ckCentre; kind <= ckRotateRight; ++kind) {
        cue.Kind = kind;
        EXPECT_EQ(CueRowTexts(cue)[2], QString::fromUtf8(moves[kind - ckCentre]));
    }
    cue.Kind = 55;
    EXPECT_EQ(CueRowTexts(cue)[2], QStringLiteral("5"));
}

TEST(ManualKeys, KeyboardShowsThePageOfTheSelectedModule) {
    OfflineBus bus;
    TControls c(bus.proto);
    c.Add(std::make_unique<TRemoteControl>(bus.proto));
    TCommonControl* m = AddModule(c, bus, 12, 45);
    c.Add(std::make_unique<TRadioModule>(bus.proto, 240));
    m->ChannelState[0] = ChannelConnected;
    m->ChannelState[1] = ChannelNotConnected;
    m->ChannelState[2] = ChannelError;
    m->ChannelFired[1] = 1;
    m->ChannelState[41] = ChannelConnected;

    ManualKeyboardView v = ManualKeyboard(c, TCommonPlayer::WorkAutomatic, 1, 0);
    EXPECT_FALSE(v.PanelsVisible);
    EXPECT_FALSE(v.CaptionsVisible);

    v = ManualKeyboard(c, TCommonPlayer::WorkManual, 1, 0);
    EXPECT_TRUE(v.PanelsVisible && v.CaptionsVisible);
    EXPECT_EQ(v.ModuleText, QStringLiteral("12"));
    EXPECT_EQ(v.PageText, QStringLiteral("1"));
    EXPECT_EQ(v.Keys[0], (ManualKeyLook{UiColor::Rgb(0), UiColor::Rgb(0x00FF00), UiColor::Rgb(0),
                                        QStringLiteral("1")}));
    EXPECT_EQ(v.Keys[1], (ManualKeyLook{UiColor::Rgb(0x3F3F3F), UiColor::Rgb(0x0000FF),
                                        UiColor::Rgb(0xFFFFFF), QStringLiteral("2")}));
    EXPECT_EQ(v.Keys[2].Shape, UiColor::Rgb(0xFF0000));
    EXPECT_EQ(v.Keys[3].Shape, UiColor::ButtonFace());
    EXPECT_EQ(v.Keys[39].NumberText, QStringLiteral("40"));

    v = ManualKeyboard(c, TCommonPlayer::WorkAutomaticManual, 1, 1);
    EXPECT_EQ(v.PageText, QStringLiteral("2"));
    EXPECT_EQ(v.Keys[1].NumberText, QStringLiteral("42"));
    EXPECT_EQ(v.Keys[1].Shape, UiColor::Rgb(0x00FF00));
    EXPECT_EQ(v.Keys[5], IdleManualKey());  // channel 46 of 45
    EXPECT_EQ(IdleManualKey(), (ManualKeyLook{UiColor::Rgb(0x808080), UiColor::Rgb(0xA6A6A6),
                                              UiColor::Rgb(0), QString()}));

    // No module selected, or a radio unit: idle keys without captions.
    for (int device : {-1, 0, 2, 7}) {
        v = ManualKeyboard(c, TCommonPlayer::WorkManual, device, 0);
        EXPECT_TRUE(v.PanelsVisible);
        EXPECT_FALSE(v.CaptionsVisible) << device;
        EXPECT_EQ(v.ModuleText, QString());
        EXPECT_EQ(v.Keys[0], IdleManualKey());
    }
    EXPECT_EQ(ManualKeyLetter(0), QStringLiteral("1"));
    EXPECT_EQ(ManualKeyLetter(9), QStringLiteral("0"));
    EXPECT_EQ(ManualKeyLetter(10), QStringLiteral("Q"));
    EXPECT_EQ(ManualKeyLetter(29), QStringLiteral(";"));
    EXPECT_EQ(ManualKeyLetter(37), QStringLiteral(","));
    EXPECT_EQ(ManualKeyLetter(39), QStringLiteral("/"));
}

TEST(ManualKeys, OneKeyAfterAFireOrACheck) {
    OfflineBus bus;
    TControls c(bus.proto);
    TCommonControl* m = AddModule(c, bus, 12, 45);
    AddModule(c, bus, 13, 45);
    m->ChannelFired[44] = 1;
    auto u = ManualKeyAfterChange(c, 0, 1, 12, 44);
    ASSERT_TRUE(u.has_value());
    EXPECT_EQ(u->Index, 4);
    EXPECT_EQ(u->Look.Letter, UiColor::Rgb(0x3F3F3F));
    EXPECT_EQ(u->Look.NumberText, QStringLiteral("45"));
    // Beyond the module's channels: grey, not the idle light grey.
    u = ManualKeyAfterChange(c, 0, 1, 12, 46);
    ASSERT_TRUE(u.has_value());
    EXPECT_EQ(u->Look.Shape, UiColor::Rgb(0x808080));
    EXPECT_EQ(u->Look.NumberText, QString());
    EXPECT_FALSE(ManualKeyAfterChange(c, 0, 1, 12, 39));  // another page
    EXPECT_FALSE(ManualKeyAfterChange(c, 0, 1, 12, 80));
    EXPECT_FALSE(ManualKeyAfterChange(c, 0, 0, 13, 1));   // another module
    EXPECT_FALSE(ManualKeyAfterChange(c, -1, 0, 12, 1));  // none shown
}
