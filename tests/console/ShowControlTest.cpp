// The show operations over the simulated bus, with the exact lines they write to the event log.
#include <gtest/gtest.h>

#include <QFile>

#include "../devices/NoConverters.h"
#include "../shows/AudioFixtures.h"
#include "ShowControlRig.h"
#include "console/ShowTexts.h"
#include "devices/TAutoControl.h"
#include "devices/TCommonControl.h"
#include "devices/THVControl.h"
#include "devices/TRadioModule.h"
#include "i18n/Localizer.h"
#include "shows/TProjectList.h"

using namespace kv;

namespace {

QString Wav(ShowControlRig& r, const QString& name, int seconds) {
    return kvtest::WriteRampWav(r.dir.file(name), 8000, 8000 * seconds);
}

int IndexOf(const TControls& c, int address) {
    return c.IndexOf(c.FindByAddress(address));
}

}  // namespace

TEST(ShowControl, StartWritesItsBlockAndTwoStopsEndShowThenMusic) {
    ShowControlRig r;
    ASSERT_NE(r.Register(3), nullptr);
    ASSERT_TRUE(r.state.SoundReady);
    r.LoadScript("1 3 1\n12.5 3 2\n");
    ASSERT_EQ(r.show->CurrentProject().Count(), 2);
    r.nextFile = Wav(r, "music.wav", 5);
    r.show->ToggleSound();
    ASSERT_TRUE(r.show->SoundLoaded());
    EXPECT_EQ(r.state.Slot().SoundLength, 5000);
    EXPECT_EQ(r.state.Slot().SoundPath, r.nextFile);
    EXPECT_EQ(r.show->SoundName(), QStringLiteral("music.wav"));
    r.wiring->StartPolling();

    EXPECT_FALSE(r.show->Buttons().Start);
    r.show->ArmToggle();
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Armed);
    ASSERT_TRUE(r.show->Buttons().Start);
    const int mark = static_cast<int>(r.Lines().size());
    r.show->Start();
    EXPECT_EQ(r.LinesFrom(mark),
              (QStringList{"Запуск проекта", "Проект: 0:00:12", "Фонограмма: music.wav [0:00:05]",
                           "Режимы: автомат, прямое управление", "Темп: 100.0%, смещение: 0 ms",
                           "Точка запуска: 0:00:00"}));
    EXPECT_TRUE(r.show->Playing());
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Running);
    EXPECT_FALSE(r.wiring->IdleTimer().isActive());  // the player polls during the show

    // First stop: the show halts, the music plays on, the console is armed again.
    r.show->Stop();
    EXPECT_FALSE(r.show->Playing());
    EXPECT_TRUE(r.show->SoundPlaying());
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Armed);
    EXPECT_EQ(r.Lines().last(), QStringLiteral("Остановка проекта"));
    EXPECT_TRUE(r.wiring->IdleTimer().isActive());
    EXPECT_TRUE(r.show->Buttons().Stop);

    // A start while the music plays joins it where it is.
    const int again = static_cast<int>(r.Lines().size());
    r.show->Start();
    ASSERT_TRUE(r.show->Playing());
    EXPECT_TRUE(r.Lines().last().startsWith(QStringLiteral("Точка запуска: по фонограмме 0:00:0")))
        << r.Lines().last().toStdString();
    EXPECT_EQ(r.LinesFrom(again).size(), 6);
    r.show->Stop();
    EXPECT_TRUE(r.show->SoundPlaying());
    r.show->Stop();
    EXPECT_FALSE(r.show->SoundPlaying());
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Armed);
    EXPECT_FALSE(r.show->Buttons().Stop);
}

TEST(ShowControl, ManualShowWithoutScriptFiresFromTheKeyboard) {
    ShowControlRig r;
    auto* module = dynamic_cast<TCommonControl*>(r.Register(3));
    ASSERT_NE(module, nullptr);
    r.show->CycleWorkMode();
    EXPECT_EQ(r.player->WorkMode, TCommonPlayer::WorkManual);
    EXPECT_TRUE(r.show->ManualPanelsVisible());
    r.show->ArmToggle();
    ASSERT_TRUE(r.show->Buttons().Start);
    const int mark = static_cast<int>(r.Lines().size());
    std::vector<KeyCommand> forWindow;
    auto window = [&](const KeyAction& a) { forWindow.push_back(a.Command); };
    // The default start key.
    EXPECT_TRUE(HandleKey(*r.show, vk::F5, {}, window).Consumed);
    EXPECT_EQ(r.LinesFrom(mark),
              (QStringList{"Запуск проекта", "Режимы: ручной, прямое управление",
                           "Темп: 100.0%, смещение: 0 ms", "Точка запуска: 0:00:00"}));
    ASSERT_TRUE(r.show->Playing());

    r.state.ManualDevice = IndexOf(r.Controls(), 3);
    r.state.ManualPage = 0;
    const KeyDecision d = HandleKey(*r.show, 'T', {}, window);
    EXPECT_TRUE(d.Consumed);
    EXPECT_EQ(r.Lines().last(), QStringLiteral("Ручной запуск, пульт: 3, канал: 15"));
    EXPECT_EQ(module->ChannelFired[14], 1);
    ASSERT_FALSE(r.keyChanges.empty());
    EXPECT_EQ(r.keyChanges.back(), std::make_pair(3, 14));
    // Esc stops the running show.
    HandleKey(*r.show, vk::Escape, {}, window);
    EXPECT_FALSE(r.show->Playing());
    EXPECT_TRUE(forWindow.empty());
}

TEST(ShowControl, StepFiringFiresEveryCueOfTheNextTime) {
    ShowControlRig r;
    for (int a : {3, 7, 12}) {
        ASSERT_NE(r.Register(a), nullptr);
    }
    r.LoadScript("10 3 1\n10 7 2\n10 12 3\n12 3 4\n");
    r.show->CycleWorkMode();
    r.show->ArmToggle();
    r.show->Start();
    ASSERT_TRUE(r.show->Playing());
    const int mark = static_cast<int>(r.Lines().size());
    EXPECT_TRUE(HandleKey(*r.show, vk::F7, {}, nullptr).Consumed);
    EXPECT_EQ(r.LinesFrom(mark), (QStringList{"Пошаговый запуск, пульт: 3, канал: 1",
                                              "Пошаговый запуск, пульт: 7, канал: 2",
                                              "Пошаговый запуск, пульт: 12, канал: 3"}));
    EXPECT_EQ(r.player->NextCue, 3);
    EXPECT_EQ(r.selectedCues, (std::vector<int>{1, 2, 3}));
    HandleKey(*r.show, vk::F7, {}, nullptr);
    EXPECT_EQ(r.Lines().last(), QStringLiteral("Пошаговый запуск, пульт: 3, канал: 4"));
    EXPECT_EQ(r.player->NextCue, 4);
    EXPECT_EQ(r.selectedCues.size(), 3u);  // no cue after the last
    EXPECT_FALSE(HandleKey(*r.show, vk::F7, {}, nullptr).Consumed);
    r.show->Stop();
}

TEST(ShowControl, TempoAndOffsetStepsLogTheirValues) {
    ShowControlRig r;
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(HandleKey(*r.show, vk::Multiply, {}, nullptr).Consumed);
    }
    EXPECT_EQ(r.player->Tempo(), 1200);
    EXPECT_EQ(r.Lines().last(), QStringLiteral("Изменение темпа: 120.0%"));
    EXPECT_EQ(r.Lines().filter(QStringLiteral("Изменение темпа:")).size(), 200);
    EXPECT_EQ(TempoLabel(r.player->Tempo()), QStringLiteral("+20.0%"));
    HandleKey(*r.show, vk::Divide, {}, nullptr);
    EXPECT_EQ(r.Lines().last(), QStringLiteral("Изменение темпа: 119.9%"));

    for (int i = 0; i < 3; ++i) {
        HandleKey(*r.show, vk::Subtract, {}, nullptr);
    }
    EXPECT_EQ(r.player->Offset, -150);
    EXPECT_EQ(r.Lines().last(), QStringLiteral("Изменение смещения: -150 ms"));
    EXPECT_EQ(DistanceLabel(r.player->Offset), QStringLiteral("~50 м"));
    HandleKey(*r.show, vk::Equals, {}, nullptr);
    EXPECT_EQ(r.player->Offset, -100);
}

TEST(ShowControl, SlotsKeepTheirModesAndForgetASoundtrackWhoseFileWasDeleted) {
    ShowControlRig r;
    r.LoadScript("1 3 1\n2 3 2\n");
    const QString music = Wav(r, "music.wav", 3);
    r.nextFile = music;
    r.show->ToggleSound();
    ASSERT_TRUE(r.show->SoundLoaded());
    r.show->CycleWorkMode();      // slot 0: manual
    r.show->ToggleControlMode();  // autonomous
    r.player->Position = 1234;

    EXPECT_TRUE(HandleKey(*r.show, '2', {}, nullptr).Consumed);
    EXPECT_EQ(r.state.CurrentSlot, 1);
    EXPECT_EQ(r.player->Script(), &r.projects.Project(1));
    EXPECT_FALSE(r.show->SoundLoaded());
    EXPECT_EQ(r.player->WorkMode, TCommonPlayer::WorkAutomatic);
    EXPECT_EQ(r.player->ControlMode, TCommonPlayer::ControlDirect);
    EXPECT_EQ(r.player->Position, 0);
    EXPECT_EQ(r.state.Slots[0].SavedWorkMode, TCommonPlayer::WorkManual);
    EXPECT_EQ(r.state.Slots[1].SoundLength, 0);
    r.nextFile = Wav(r, "other.wav", 2);
    r.show->ToggleSound();
    EXPECT_EQ(r.state.Slots[1].SoundLength, 2000);

    r.show->ChangeSlot(0);
    EXPECT_TRUE(r.show->SoundLoaded());
    EXPECT_EQ(r.show->SoundName(), QStringLiteral("music.wav"));
    EXPECT_EQ(r.player->WorkMode, TCommonPlayer::WorkManual);
    EXPECT_EQ(r.player->ControlMode, TCommonPlayer::ControlAutonomous);
    EXPECT_EQ(r.show->CurrentProject().Count(), 2);

    r.show->ChangeSlot(1);
    ASSERT_TRUE(QFile::remove(music));
    r.show->ChangeSlot(0);
    EXPECT_FALSE(r.show->SoundLoaded());
    EXPECT_EQ(r.state.Slots[0].SoundLength, 0);
    EXPECT_TRUE(r.state.Slots[0].SoundPath.isEmpty());
    EXPECT_TRUE(r.errors.isEmpty());
    EXPECT_EQ(r.show->CurrentProject().Count(), 2);
    // The other slot still has its soundtrack.
    EXPECT_EQ(r.state.Slots[1].SoundLength, 2000);
}

TEST(ShowControl, ScriptButtonLoadsClearsAndReportsAFaultyFile) {
    ShowControlRig r;
    r.LoadScript("5 3 1\nnot a cue\n");
    EXPECT_EQ(r.show->CurrentProject().Count(), 0);
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_TRUE(r.errors[0].startsWith(QStringLiteral("Ошибка загрузки сценария (строка: 2).")));
    r.LoadScript("5 3 1\n");
    EXPECT_EQ(r.show->CurrentProject().Count(), 1);
    r.nextFile.clear();
    r.show->ToggleScript();  // loaded: the button clears it without asking
    EXPECT_EQ(r.show->CurrentProject().Count(), 0);
    r.show->ToggleScript();  // nothing chosen
    EXPECT_EQ(r.show->CurrentProject().Count(), 0);
    r.nextFile = r.dir.file("missing.wav");
    r.show->ToggleSound();
    EXPECT_FALSE(r.show->SoundLoaded());
    EXPECT_EQ(r.errors.last(), QStringLiteral("Ошибка загрузки фонограммы"));
}

TEST(ShowControl, StartPointAndBackToTheBeginning) {
    ShowControlRig r;
    r.LoadScript("1 3 1\n12.5 3 2\n20 3 3\n");
    WindowKeyInputs window;
    window.SelectedCue = 1;
    EXPECT_TRUE(HandleKey(*r.show, vk::Enter, window, nullptr).Consumed);
    EXPECT_EQ(r.player->Position, 12500);
    EXPECT_EQ(r.player->NextCue, 1);
    EXPECT_EQ(r.Lines().last(), QStringLiteral("Установка точки начала: 12500 ms"));
    HandleKey(*r.show, vk::F4, window, nullptr);
    EXPECT_EQ(r.player->Position, 0);
    EXPECT_EQ(r.player->NextCue, 0);
    // Page Down only moves the list's selection: a window command.
    std::vector<KeyAction> forWindow;
    HandleKey(*r.show, vk::PageDown, window, [&](const KeyAction& a) { forWindow.push_back(a); });
    ASSERT_EQ(forWindow.size(), 1u);
    EXPECT_EQ(forWindow[0].Command, KeyCommand::SelectNextCue);
    EXPECT_EQ(forWindow[0].Cue, 2);
}

TEST(ShowControl, ExternalStopWarnsAndLogsAndArmsOnlyARunningConsole) {
    ShowControlRig r;
    ASSERT_NE(r.Register(3), nullptr);
    // No show: the stop still warns, but a waiting console stays waiting.
    r.OtherConsole([](SimConsole& c, SimTimeUs now, SimSegment& s) { c.BroadcastStop(0, now, s); });
    ASSERT_TRUE(r.PumpUntil([&] { return !r.redWindow.isEmpty(); }));
    EXPECT_EQ(r.redWindow, QStringList{"Экстренная остановка!"});
    EXPECT_EQ(r.Lines().last(), QStringLiteral("Получена внешняя команда остановки"));
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Waiting);

    r.LoadScript("60 3 1\n");
    r.show->ArmToggle();
    r.show->Start();
    ASSERT_TRUE(r.show->Playing());
    r.OtherConsole(
        [](SimConsole& c, SimTimeUs now, SimSegment& s) { c.BroadcastStop(5000, now, s); });
    ASSERT_TRUE(r.PumpUntil([&] { return !r.show->Playing(); }));
    EXPECT_EQ(r.redWindow.size(), 2);
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Armed);
    EXPECT_EQ(r.Lines().filter(QStringLiteral("Остановка проекта")).size(), 2);
}

TEST(ShowControl, ForcingKeysInTestModeLogEvenWhenATestHoldsTheCommandBack) {
    ShowControlRig r;
    auto* module = dynamic_cast<TCommonControl*>(r.Register(3));
    ASSERT_NE(module, nullptr);
    r.wiring->SetTestMode(true);
    r.wiring->SetTestSelection(IndexOf(r.Controls(), 3));
    r.bus->ClearRecords();
    EXPECT_TRUE(HandleKey(*r.show, vk::Insert, {}, nullptr).Consumed);
    EXPECT_EQ(r.Lines().last(), QStringLiteral("Включение форсирования, пульт: 3"));
    EXPECT_EQ(module->Forcing, ForcingOn);
    r.wiring->SetTesting(true);
    HandleKey(*r.show, vk::Delete, {}, nullptr);
    EXPECT_EQ(r.Lines().last(), QStringLiteral("Выключение форсирования, пульт: 3"));
    EXPECT_EQ(module->Forcing, ForcingOn);  // nothing was sent
    r.wiring->SetTesting(false);
}

TEST(ShowControl, ModulesMissingFromTheBusAreListedBeforeATransfer) {
    ShowControlRig r;
    ASSERT_NE(r.Register(3), nullptr);
    ASSERT_NE(r.Register(7), nullptr);
    r.LoadScript("1 3 1\n2 7 1\n");
    EXPECT_TRUE(r.show->CheckModulesPresent());
    EXPECT_TRUE(r.warnings.empty());

    r.LoadScript("");  // clears
    r.LoadScript("1 3 1\n2 99 1\n3 7 1\n4 150 2\n5 99 3\n6 300 1\n");
    EXPECT_TRUE(r.show->CheckModulesPresent());
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0].first, Message(Msg::ScriptHasMissingModules));
    EXPECT_EQ(r.warnings[0].second, QStringLiteral("99, 150"));
    r.warningAnswer = false;
    EXPECT_FALSE(r.show->CheckModulesPresent());

    // A cue at the show's zero warns whatever the firmware.
    r.LoadScript("");
    r.LoadScript("0 3 1\n5 7 1\n");
    r.warnings.clear();
    EXPECT_FALSE(r.show->CheckCueOrder());
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0].first,
              QStringLiteral("Сценарий может быть воспроизведен некорректно..."));
    EXPECT_EQ(r.warnings[0].second, QStringLiteral("3"));
}

TEST(ShowControl, InASortedScriptOnlyACueAtZeroMarksItsModule) {
    OfflineBus bus;
    TControls c(bus.proto);
    auto add = [&](int address, int32_t version) {
        TCommonDevice* d = c.Add(std::make_unique<TAutoControl>(bus.proto, address));
        d->Version = version;
    };
    add(3, 327);
    add(7, 328);
    add(12, 0x500);
    add(15, 100);
    c.Add(std::make_unique<TRadioModule>(bus.proto, 240));
    TProjectList script;
    // The loader sorts the cues by time, so each module's cues are in order even on old
    // firmware (3 and 15); only the cue at zero marks its module.
    ASSERT_FALSE(
        script.LoadFromBytes("5 3 1\n3 3 2\n0 12 1\n5 15 1\n8 15 2\n7 240 1\n", "show.txt"));
    EXPECT_EQ(MisorderedModules(script, c), (std::vector<int>{12}));
    EXPECT_EQ(AddressListText({}), QString());
    EXPECT_EQ(AddressListText({3, 12}), QStringLiteral("3, 12"));
    std::vector<int> missing = MissingModules(script, c);
    EXPECT_TRUE(missing.empty());
}

namespace kv {
namespace {

// Arming is where a show's HV voltages are made sure of: an HV cue nobody tested is measured
// then, and a module that does not answer keeps the console from arming at all.
TEST(ShowControl, ArmingComputesTheHvVoltagesOrRefuses) {
    ShowControlRig r;
    auto* hv = dynamic_cast<THVControl*>(r.Register(20));
    ASSERT_NE(hv, nullptr);
    r.LoadScript("1.5 20 1\n3.5 20 4\n");
    r.show->ArmToggle();
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Armed);
    EXPECT_NEAR(hv->ChargeVoltage[0], 61, 1);
    EXPECT_NEAR(hv->ChargeVoltage[3], 212, 2);
    EXPECT_TRUE(r.errors.isEmpty());
    r.show->ArmToggle();

    // The module goes quiet: its second output cannot be measured, so nothing is armed.
    hv->ChargeVoltage[1] = 0;
    r.LoadScript("");
    r.LoadScript("2 20 2\n");
    r.bus->SwitchOff(0, 20);
    r.show->ArmToggle();
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Waiting);
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_TRUE(r.errors.front().contains(QStringLiteral("пульт 20")))
        << r.errors.front().toStdString();
}

}  // namespace
}  // namespace kv

// A show that ran to its end stands at its last cue; the start key would take that cue again.
// The start waits for a start point (F4 or Enter) instead, and the log says why.
TEST(ShowControl, AShowThatRanToItsEndIsNotStartedAgainFromThere) {
    ShowControlRig r;
    auto* module = dynamic_cast<TCommonControl*>(r.Register(3));
    ASSERT_NE(module, nullptr);
    r.LoadScript("0.1 3 1\n0.2 3 2\n");
    r.show->ArmToggle();
    ASSERT_TRUE(r.show->Start());
    for (int i = 0; i < 100 && r.show->Playing(); ++i) {
        r.clock.Advance(TCommonPlayer::kTickMs);
        r.player->Tick();
    }
    ASSERT_FALSE(r.show->Playing());
    EXPECT_EQ(r.player->FiredCount(), 2);
    EXPECT_EQ(r.player->Position, 200);
    EXPECT_EQ(r.Lines().last(), QString::fromUtf8("Сценарий отработан до конца. Новый запуск: "
                                                  "<F4> В начало или выбор точки запуска."));
    EXPECT_FALSE(r.show->Buttons().Start);
    EXPECT_FALSE(r.show->Actions().ExtStart);
    const int mark = static_cast<int>(r.Lines().size());
    HandleKey(*r.show, vk::F5, {}, nullptr);
    EXPECT_FALSE(r.show->Playing());
    EXPECT_FALSE(r.show->Start());
    EXPECT_FALSE(r.show->Playing());
    EXPECT_EQ(r.Lines().size(), mark) << "nothing started, nothing logged";
    // A manual show passes over the script: it may start.
    r.player->WorkMode = TCommonPlayer::WorkManual;
    EXPECT_TRUE(r.show->Buttons().Start);
    r.player->WorkMode = TCommonPlayer::WorkAutomatic;

    // Back to the beginning: the whole show may be started again.
    r.show->Rewind();
    EXPECT_TRUE(r.show->Buttons().Start);
    // And so may a start point chosen in the list.
    r.show->SetStartPoint(1);
    EXPECT_TRUE(r.show->Buttons().Start);
}

// The countdown to a time of day: any stop or disarm while it counts cancels it, and at zero the
// start rule is asked again.
TEST(ShowControl, ACountdownEndsAtAnyStopOrDisarmAndChecksTheStartAgainAtZero) {
    ShowControlRig r;
    ASSERT_NE(r.Register(3), nullptr);
    r.LoadScript("60 3 1\n");
    r.show->ArmToggle();

    // A stop from the bus while it counts.
    r.show->BeginCountdown();
    EXPECT_TRUE(r.show->CountdownGoesOn());
    r.OtherConsole([](SimConsole& c, SimTimeUs now, SimSegment& s) { c.BroadcastStop(0, now, s); });
    ASSERT_TRUE(r.PumpUntil([&] { return !r.redWindow.isEmpty(); }));
    EXPECT_FALSE(r.show->CountdownGoesOn());
    EXPECT_FALSE(r.show->CountdownStart());
    EXPECT_FALSE(r.show->Playing());
    EXPECT_TRUE(r.Lines().contains(QString::fromUtf8("Отсчет до запуска отменен")));

    // Esc (disarm), then armed again before zero: still cancelled.
    r.show->BeginCountdown();
    HandleKey(*r.show, vk::Escape, {}, nullptr);
    EXPECT_FALSE(r.show->CountdownGoesOn());
    r.show->ArmToggle();
    EXPECT_FALSE(r.show->CountdownStart());
    EXPECT_FALSE(r.show->Playing());

    // The stop key, pressed while the soundtrack of a test plays alone.
    r.show->BeginCountdown();
    r.show->Stop();
    EXPECT_FALSE(r.show->CountdownStart());

    // At zero with the start no longer allowed (test mode came on): nothing starts.
    r.show->BeginCountdown();
    r.wiring->SetTestMode(true);
    EXPECT_FALSE(r.show->CountdownStart());
    EXPECT_FALSE(r.show->Playing());
    r.wiring->SetTestMode(false);

    // Standing to the end: the show starts as the start key starts it.
    r.show->BeginCountdown();
    EXPECT_FALSE(r.show->ClockTestAllowed());
    EXPECT_TRUE(r.show->CountdownStart());
    EXPECT_TRUE(r.show->Playing());
    EXPECT_FALSE(r.show->CountdownRunning());
    r.show->Stop();
}

// While a memory operation (or the clock test) has the bus nothing but the stop is enabled, and
// the operations themselves refuse too: a click that got past a stale button starts nothing.
TEST(ShowControl, NothingArmsOrStartsWhileTheBusIsHeld) {
    ShowControlRig r;
    ASSERT_NE(r.Register(3), nullptr);
    r.LoadScript("60 3 1\n");
    r.wiring->SetBusHeld(true);
    r.show->ArmToggle();
    EXPECT_EQ(r.state.LaunchState, ConsoleState::Waiting);
    r.wiring->SetBusHeld(false);
    r.show->ArmToggle();
    ASSERT_TRUE(r.show->Buttons().Start);

    r.wiring->SetBusHeld(true);
    const ButtonEnabling b = r.show->Buttons();
    EXPECT_FALSE(b.Start || b.Test || b.Search || b.Save || b.Check || b.Begin || b.TestCheck);
    const ActionEnabling a = r.show->Actions();
    EXPECT_FALSE(a.ExtStart || a.Debug || a.Exit || a.ClearMem || a.PowerUp || a.SavePDU);
    EXPECT_FALSE(r.show->Start());
    EXPECT_FALSE(r.show->Playing());
    r.wiring->SetBusHeld(false);

    ASSERT_TRUE(r.show->Start());
    r.wiring->SetBusHeld(true);
    EXPECT_TRUE(r.show->Buttons().Stop) << "a stop always stops";
    r.show->Stop();
    EXPECT_FALSE(r.show->Playing());
    r.wiring->SetBusHeld(false);
}

// The soundtrack test of test mode ends with test mode: otherwise the next start joins it and
// passes over every cue before its position.
TEST(ShowControl, LeavingTestModeStopsTheSoundtrackTest) {
    ShowControlRig r;
    ASSERT_NE(r.Register(3), nullptr);
    r.LoadScript("1 3 1\n");
    r.nextFile = Wav(r, "music.wav", 5);
    r.show->ToggleSound();
    ASSERT_TRUE(r.show->SoundLoaded());
    r.wiring->EnterTestMode();
    r.show->SoundPlayStop();
    ASSERT_TRUE(r.show->SoundPlaying());
    r.show->LeaveTestMode();
    EXPECT_FALSE(r.wiring->TestMode());
    EXPECT_FALSE(r.show->SoundPlaying());
}

// The debug window's clock test starts every module's show clock: only from a waiting console.
TEST(ShowControl, TheClockTestIsAllowedOnlyWhileTheConsoleWaits) {
    ShowControlRig r;
    ASSERT_NE(r.Register(3), nullptr);
    r.LoadScript("60 3 1\n");
    EXPECT_TRUE(r.show->ClockTestAllowed());
    EXPECT_TRUE(r.show->Actions().Debug);
    r.show->ArmToggle();
    EXPECT_FALSE(r.show->ClockTestAllowed());
    EXPECT_FALSE(r.show->Actions().Debug);
    r.show->Start();
    r.state.LaunchState = ConsoleState::Waiting;  // even a console that lost its state
    EXPECT_FALSE(r.show->ClockTestAllowed());
    EXPECT_FALSE(r.show->Actions().Debug);
    r.player->Stop(true);
    r.state.LaunchState = ConsoleState::Waiting;
    r.player->WaitingExtStart = true;
    EXPECT_FALSE(r.show->ClockTestAllowed());
    r.player->WaitingExtStart = false;
    EXPECT_TRUE(r.show->ClockTestAllowed());
}
