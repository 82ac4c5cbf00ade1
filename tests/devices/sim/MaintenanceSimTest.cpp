// The maintenance commands against simulated modules: the module number change with its
// refusals, forcing for all modules, and the debug window's clock test, which must never be left
// running with channel 1 of every module programmed to fire.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "ConsoleSimHarness.h"
#include "ScriptedDialogs.h"
#include "console/DebugSyncTest.h"
#include "console/DeviceMaintenance.h"
#include "devices/ModeChange.h"
#include "devices/TCommonControl.h"
#include "shows/OtherConsoleShows.h"
#include "shows/TExtPlayer.h"
#include "shows/TProjectList.h"
#include "sim/SimFiringModule.h"

using namespace kv;

namespace {

using Box = std::pair<QString, QString>;

QString U(const char* text) {
    return QString::fromUtf8(text);
}

// Converter 0 with these modules, found by a search, polling on.
void OpenWith(ConsoleOnSim& c, const std::vector<SimDeviceConfig>& modules) {
    c.Bus().AddConverter();
    for (const SimDeviceConfig& m : modules) {
        c.Bus().AddDevice(0, m);
    }
    ASSERT_TRUE(c.Open());
    for (const SimDeviceConfig& m : modules) {
        ASSERT_NE(c.Controls().RegisterDevice(m.address, 0), nullptr);
    }
    c.Wiring().StartPolling();
    c.Bus().ClearRecords();
}

// One status poll of every module, as the idle timer does over a round.
void PollAll(ConsoleOnSim& c) {
    for (int i = 0; i < c.Controls().Count(); ++i) {
        if (TCommonControl* module = c.Controls().ModuleAt(i)) {
            module->PollStatus();
        }
    }
}

struct NumberChangeRun {
    std::vector<Box> boxes;
    QString prompted;
    int asked = 0;
};

// Selects the module at address and answers the input box with `typed` (nullptr: cancel).
NumberChange Renumber(ConsoleOnSim& c, int address, const char* typed, NumberChangeRun& run) {
    ScriptedDialogs dialogs;
    DeviceMaintenance maintenance(c.Wiring(), dialogs);
    dialogs.Message = [&](const QString& caption, const QString& text) {
        run.boxes.emplace_back(caption, text);
    };
    dialogs.Text = [&](const QString&, const QString&, QString& text) {
        ++run.asked;
        run.prompted = text;
        if (typed == nullptr) {
            return false;
        }
        text = QString::fromUtf8(typed);
        return true;
    };
    c.Wiring().SetTestSelection(c.Controls().IndexOf(c.Controls().FindByAddress(address)));
    return maintenance.ChangeSelectedNumber();
}

TEST(NumberChangeOnSim, OldFirmwareIsWarnedAndNothingIsSent) {
    ConsoleOnSim c;
    OpenWith(c, {SimModule(5, 0x166, 8)});
    NumberChangeRun run;
    EXPECT_EQ(Renumber(c, 5, "7", run), NumberChange::Unsupported);
    EXPECT_EQ(run.asked, 0);
    EXPECT_EQ(
        run.boxes,
        (std::vector<Box>{{U("Предупреждение"), U("Данная версия пульта не поддерживает изменение "
                                                  "номера.")}}));
    EXPECT_TRUE(c.Sent().empty());
    EXPECT_TRUE(c.Wiring().IdleTimer().isActive());
}

TEST(NumberChangeOnSim, NumbersOutsideTheModuleRangeOrTakenAreRefused) {
    ConsoleOnSim c;
    OpenWith(c, {SimModule(5, 0x167, 8), SimModule(9, 0x167, 8)});
    for (const char* typed : {"0", "240", "300", "abc", "", "-3", "9"}) {
        SCOPED_TRACE(typed);
        NumberChangeRun run;
        EXPECT_EQ(Renumber(c, 5, typed, run), NumberChange::Refused);
        EXPECT_EQ(run.prompted, "5") << "the box is prefilled with the current number";
        EXPECT_EQ(run.boxes,
                  (std::vector<Box>{{U("Ошибка"), U("Ошибка изменения номера пульта.")}}));
    }
    NumberChangeRun cancelled;
    EXPECT_EQ(Renumber(c, 5, nullptr, cancelled), NumberChange::Refused);
    EXPECT_TRUE(cancelled.boxes.empty());
    EXPECT_TRUE(c.Sent().empty());
    EXPECT_TRUE(c.Wiring().IdleTimer().isActive());
    EXPECT_FALSE(c.Wiring().BusHeld());
}

TEST(NumberChangeOnSim, ChangedModuleAnswersAtItsNewNumberAndIsSortedThere) {
    ConsoleOnSim c;
    OpenWith(c, {SimModule(5, 0x167, 8), SimModule(9, 0x167, 8)});
    int rebuilt = 0;
    QObject::connect(&c.Wiring(), &ConsoleWiring::DeviceListChanged, [&] { ++rebuilt; });
    NumberChangeRun run;
    EXPECT_EQ(Renumber(c, 5, " 239 ", run), NumberChange::Changed);
    EXPECT_TRUE(run.boxes.empty());
    const auto writes = c.Sent(0, 0x81);
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes[0][3], 239);
    EXPECT_EQ(writes[0][5], 5) << "sent to the module's old address";
    EXPECT_EQ(c.Bus().Find(239)->Address(), 239);
    EXPECT_EQ(c.Controls().Items(0)->Address, 9);
    EXPECT_EQ(c.Controls().Items(1)->Address, 239);
    EXPECT_EQ(c.Wiring().TestSelection(), 1) << "the selection follows the module";
    EXPECT_EQ(rebuilt, 1);
    EXPECT_EQ(c.Log().With(U("Изменение номера, Пульт: 5 -> 239")).size(), 1);
}

TEST(ForcingOnSim, AllModulesInListOrderEachLogged) {
    ConsoleOnSim c;
    OpenWith(c, {SimModule(4, 0x46B, 8), SimModule(2, 0x46B, 8)});
    ScriptedDialogs dialogs;
    DeviceMaintenance maintenance(c.Wiring(), dialogs);
    maintenance.ForcingAll(true);
    const auto modes = c.Sent(0, 0x88);
    ASSERT_EQ(modes.size(), 2u);
    EXPECT_EQ(modes[0][5], 2);
    EXPECT_EQ(modes[1][5], 4);
    EXPECT_EQ(c.Controls().ModuleAt(0)->Forcing, ForcingOn);
    EXPECT_EQ(c.Bus().FindAs<SimFiringModule>(4)->Forcing(), 0);
    EXPECT_EQ(c.Log().With(U("Включение форсирования, пульт: 2")).size(), 1);
    maintenance.ForcingAll(false);
    EXPECT_EQ(c.Log().With(U("Выключение форсирования, пульт: 4")).size(), 1);
    EXPECT_EQ(c.Bus().FindAs<SimFiringModule>(4)->Forcing(), 1);
}

// HV and motor modules have no forcing, and their mode cannot be read: the command for all
// modules must not set it blind (it used to switch an HV module in test mode to launch mode).
TEST(ForcingOnSim, AllModulesLeavesHvAndMotorModulesAlone) {
    ConsoleOnSim c;
    SimDeviceConfig hv = SimOf(SimDeviceKind::HvModule, 20);
    hv.mode = ModeTest;
    SimDeviceConfig motor = SimOf(SimDeviceKind::MotorModule, 30);
    motor.mode = ModeTest;
    OpenWith(c, {SimModule(4, 0x46B, 8), hv, motor});
    PollAll(c);
    ScriptedDialogs dialogs;
    DeviceMaintenance maintenance(c.Wiring(), dialogs);
    maintenance.ForcingAll(true);
    ASSERT_EQ(c.Sent(0, 0x88).size(), 1u);
    EXPECT_EQ(c.Sent(0, 0x88)[0][5], 4);
    EXPECT_EQ(c.Bus().FindAs<SimFiringModule>(20)->Mode(), ModeTest);
    EXPECT_EQ(c.Bus().FindAs<SimFiringModule>(30)->Mode(), ModeTest);
}

// The mode command is unanswered; the mode each module reports afterwards is what counts.
class ModeChangeOnSim : public ::testing::Test {
protected:
    void Open(const std::vector<SimDeviceConfig>& modules) {
        ASSERT_NO_FATAL_FAILURE(OpenWith(c_, modules));
        maintenance_ = std::make_unique<DeviceMaintenance>(c_.Wiring(), dialogs_);
        dialogs_.Message = [this](const QString& caption, const QString& text) {
            boxes_.emplace_back(caption, text);
        };
    }
    ConsoleOnSim c_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<DeviceMaintenance> maintenance_;
    std::vector<Box> boxes_;
};

TEST_F(ModeChangeOnSim, HvAndMotorStatusCarriesNoModeFlag) {
    // In test mode or in launch mode alike, the status answer of these modules reads the same:
    // their mode is unknown, never "launch".
    SimDeviceConfig hv = SimOf(SimDeviceKind::HvModule, 20);
    hv.mode = ModeTest;
    SimDeviceConfig motor = SimOf(SimDeviceKind::MotorModule, 30);
    motor.mode = ModeTest;
    Open({hv, motor});
    PollAll(c_);
    EXPECT_EQ(c_.Controls().FindByAddress(20)->LastResult, 0);
    EXPECT_EQ(static_cast<TCommonControl*>(c_.Controls().FindByAddress(20))->Mode, ModeUnknown);
    EXPECT_EQ(static_cast<TCommonControl*>(c_.Controls().FindByAddress(30))->Mode, ModeUnknown);
}

TEST_F(ModeChangeOnSim, ModulesNotSeenInTheModeAskedAreNamedOnScreenAndInTheLog) {
    SimDeviceConfig hv = SimOf(SimDeviceKind::HvModule, 20);
    SimDeviceConfig motor = SimOf(SimDeviceKind::MotorModule, 30);
    Open({SimModule(4, 0x46B, 8), SimModule(6, 0x150, 8), SimModule(9, 0x46B, 8), hv, motor});
    c_.Bus().SwitchOff(0, 9);
    const ModeChangeReport report = maintenance_->SetModeAll(ModeTest);
    // 4 switched and said so; 6 cannot report its mode; 9 is off; HV and motor cannot report.
    EXPECT_EQ(report.Unconfirmed(), (QList<int>{6, 9, 20, 30}));
    EXPECT_EQ(c_.Bus().FindAs<SimFiringModule>(4)->Mode(), ModeTest);
    EXPECT_EQ(c_.Bus().FindAs<SimFiringModule>(20)->Mode(), ModeTest) << "the command is the same";
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].first, U("Предупреждение"));
    EXPECT_TRUE(boxes_[0].second.startsWith(U("Режим не подтвержден, пульты: 6, 9, 20, 30\n")));
    EXPECT_EQ(c_.Log().With(U("Режим теста, пультов: 5")).size(), 1);
    EXPECT_EQ(c_.Log().With(U("Режим не подтвержден, пульты: 6, 9, 20, 30")).size(), 1);
    EXPECT_TRUE(c_.Wiring().IdleTimer().isActive()) << "polling resumed";
    EXPECT_FALSE(c_.Wiring().BusHeld());

    // All confirmed: one log line, no box.
    boxes_.clear();
    c_.Controls().Delete(c_.Controls().IndexOf(c_.Controls().FindByAddress(30)));
    c_.Controls().Delete(c_.Controls().IndexOf(c_.Controls().FindByAddress(20)));
    c_.Controls().Delete(c_.Controls().IndexOf(c_.Controls().FindByAddress(9)));
    c_.Controls().Delete(c_.Controls().IndexOf(c_.Controls().FindByAddress(6)));
    EXPECT_TRUE(maintenance_->SetModeAll(ModeLaunch).Unconfirmed().isEmpty());
    EXPECT_EQ(c_.Bus().FindAs<SimFiringModule>(4)->Mode(), ModeLaunch);
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(c_.Log().With(U("Режим пуска, пультов: 1")).size(), 1);
}

// The clock test's broadcast would start a script in any module in launch mode.
SimDeviceConfig InTestMode(SimDeviceConfig c) {
    c.mode = 1;
    return c;
}

class DebugTestOnSim : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(OpenWith(
            c_, {InTestMode(SimModule(3, 0x46B, 8)), InTestMode(SimModule(7, 0x165, 16))}));
        test_ = std::make_unique<DebugSyncTest>(c_.Wiring());
        dialogs_.Yes = [this](const QString& caption, const QString& text) {
            asked_.emplace_back(caption, text);
            return answer_;
        };
        dialogs_.Error = [this](const QString& text) { refused_ << text; };
        test_->SetDialogs(dialogs_);
        test_->SetPermission(&permission_);
    }

    // The console's rule, as the test sets it.
    struct Permission : ClockTestPermission {
        explicit Permission(const bool* a) : allowed(a) {}
        const bool* allowed;
        bool ClockTestAllowed() const override { return *allowed; }
    };

    ConsoleOnSim c_;
    ScriptedDialogs dialogs_;
    Permission permission_{&allowed_};
    std::unique_ptr<DebugSyncTest> test_;
    std::vector<Box> asked_;
    QStringList refused_;
    bool answer_ = true;
    bool allowed_ = true;
};

TEST_F(DebugTestOnSim, OpeningListsTheModulesWithQuestionMarks) {
    ASSERT_EQ(test_->Rows().size(), 2u);
    EXPECT_EQ(test_->Rows()[1].address, 7);
    EXPECT_EQ(test_->Rows()[1].channels, 16);
    EXPECT_EQ(test_->Rows()[1].version, 0x165);
    EXPECT_EQ(test_->Rows()[1].sync, "?");
    EXPECT_EQ(test_->ClockText(), "00:00:00");
}

TEST_F(DebugTestOnSim, DeclinedOverwriteSendsNothing) {
    answer_ = false;
    EXPECT_FALSE(test_->Start());
    ASSERT_EQ(asked_.size(), 1u);
    EXPECT_EQ(asked_[0].first, U("Подтверждение"));
    EXPECT_TRUE(asked_[0].second.contains(U("канала 1")));
    // What the test does, said before it does it: the clocks start on the whole bus.
    EXPECT_TRUE(asked_[0].second.contains(U("запустит часы шоу всех устройств на шине")));
    EXPECT_TRUE(c_.Sent(-1, 0x91).empty());
    EXPECT_TRUE(c_.Sent(-1, 0x90).empty());
    EXPECT_TRUE(c_.Wiring().IdleTimer().isActive());
    EXPECT_FALSE(c_.Wiring().BusHeld());
}

TEST_F(DebugTestOnSim, ProgramsChannelOneStartsTheClocksAndMeasuresThem) {
    ASSERT_TRUE(test_->Start());
    EXPECT_TRUE(test_->Timer().isActive());
    test_->Timer().stop();  // the ticks are driven below, on the fake clock
    EXPECT_FALSE(c_.Wiring().IdleTimer().isActive());
    const auto writes = c_.Sent(0, 0x91);
    ASSERT_EQ(writes.size(), 2u);
    for (const auto& w : writes) {
        EXPECT_EQ(w[1] * 256 + w[2], 36000) << "one hour in 100 ms steps";
        EXPECT_EQ(w[3], 1) << "channel 1";
    }
    const auto clock = c_.Sent(0, 0x90);
    ASSERT_EQ(clock.size(), 1u);
    EXPECT_EQ(std::vector<uint8_t>(clock[0].begin(), clock[0].begin() + 6),
              (std::vector<uint8_t>{0x90, 0, 0, 0x80, 0, 0}));
    EXPECT_TRUE(c_.Bus().FindAs<SimFiringModule>(3)->ClockRunning());
    EXPECT_EQ(c_.Log().With(U("Тест синхронизации пультов запущен")).size(), 1);

    // Just past two seconds, so that a pump overrunning on a loaded machine (seen: 3 s) still
    // reads two.
    c_.Pump(2050);
    test_->Tick();
    EXPECT_EQ(test_->ClockText(), "00:00:02");
    EXPECT_EQ(c_.Sent(0, 0x89).size(), 2u);
    for (const DebugSyncTest::Row& row : test_->Rows()) {
        ASSERT_NE(row.sync, "?") << row.address;
        // The simulated clock keeps the bus's time and reads in 100 ms steps; the worker thread
        // may start it late on a loaded machine (seen: 519 ms under the sanitizers), while a
        // wrong clock or channel would be off by far more than a second.
        EXPECT_LE(std::abs(row.sync.toInt()), 1000) << row.address;
        EXPECT_EQ(row.voltage, "12.40");
        EXPECT_FALSE(row.link.isEmpty());
    }
    c_.Bus().SwitchOff(0, 7);
    test_->Tick();
    EXPECT_EQ(test_->Rows()[1].sync, "?") << "a module that does not answer";
    EXPECT_NE(test_->Rows()[0].sync, "?");
}

TEST_F(DebugTestOnSim, StopBroadcastsTheClockStopAndTellsToRewriteTheScript) {
    ASSERT_TRUE(test_->Start());
    c_.Bus().ClearRecords();
    test_->Stop();
    EXPECT_FALSE(test_->Running());
    const auto clock = c_.Sent(0, 0x90);
    ASSERT_EQ(clock.size(), 1u);
    EXPECT_EQ(clock[0][3], 0x00) << "run flag clear";
    EXPECT_FALSE(c_.Bus().FindAs<SimFiringModule>(3)->ClockRunning());
    EXPECT_EQ(c_.Log().With(U("запишите сценарий снова")).size(), 1);
    EXPECT_TRUE(c_.Wiring().IdleTimer().isActive());
    test_->Stop();
    EXPECT_EQ(c_.Sent(0, 0x90).size(), 1u) << "a second stop sends nothing";
}

TEST_F(DebugTestOnSim, AnotherConsoleNeitherStartsNorStopsItsShowOnTheTestsClock) {
    ASSERT_TRUE(test_->Start());
    test_->Timer().stop();
    c_.Pump(1100);
    test_->Tick();  // announced again a second on
    test_->Stop();
    std::vector<BusFrame> frames;
    for (const auto& f : c_.Sent(0)) {
        if (f[0] == 0x10 || f[0] == 0x11 || f[0] == 0x90) {
            frames.push_back(BusFrame{f[0], f[1], f[2], f[3], f[4], f[5]});
        }
    }
    // Marked as a clock test and announced ahead of the clock start, again a second later,
    // and its end after the clock stop.
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_EQ(frames[0], OtherConsoleShows::ClockTestFrame(true, OwnConsoleId));
    EXPECT_EQ(frames[1], frames[0]);
    EXPECT_EQ(frames[2], (BusFrame{0x90, 0, 0, 0x80, 0, 0}));
    EXPECT_EQ(frames[3], frames[0]);
    EXPECT_EQ(frames[4], (BusFrame{0x90, 0, 0, 0x00, 0, 0}));
    EXPECT_EQ(frames[5], OtherConsoleShows::ClockTestFrame(false, OwnConsoleId));

    // Another console hears them: one waiting for an external start, one playing a show.
    TProjectList script;
    TExtPlayer waiting(c_.Controls());
    TExtPlayer playing(c_.Controls());
    int stops = 0;
    Connections conns;
    for (TExtPlayer* p : {&waiting, &playing}) {
        p->SetScript(&script);
        conns += p->OnExternalStop.Connect([&stops] { ++stops; });
    }
    waiting.WaitingExtStart = true;
    playing.Start(0);
    const uint8_t ownId = OwnConsoleId;
    OwnConsoleId = static_cast<uint8_t>(ownId + 1);
    for (const BusFrame& f : frames) {
        waiting.HandleFrame(f);
        playing.HandleFrame(f);
    }
    OwnConsoleId = ownId;
    EXPECT_FALSE(waiting.IsPlaying());
    EXPECT_TRUE(waiting.WaitingExtStart);
    EXPECT_TRUE(playing.IsPlaying());
    EXPECT_EQ(stops, 0);
    EXPECT_TRUE(c_.Log().With(U("Внешняя команда запуска")).isEmpty());
    playing.Stop(true);
}

TEST_F(DebugTestOnSim, DestroyingTheObjectStopsARunningTest) {
    ASSERT_TRUE(test_->Start());
    c_.Bus().ClearRecords();
    test_.reset();  // the window closed or the program quit
    ASSERT_EQ(c_.Sent(0, 0x90).size(), 1u);
    EXPECT_EQ(c_.Sent(0, 0x90)[0][3], 0x00);
    EXPECT_FALSE(c_.Bus().FindAs<SimFiringModule>(7)->ClockRunning());
    EXPECT_FALSE(c_.Wiring().BusHeld());
}

TEST_F(DebugTestOnSim, TestEndsItselfBeforeTheProgrammedHour) {
    ASSERT_TRUE(test_->Start());
    SleepMs(DebugSyncTest::kAutoStopMs - 1000);
    test_->Tick();
    EXPECT_TRUE(test_->Running());
    SleepMs(1000);
    test_->Tick();
    EXPECT_FALSE(test_->Running());
    EXPECT_FALSE(c_.Bus().FindAs<SimFiringModule>(3)->ClockRunning());
    EXPECT_TRUE(c_.Bus().FindAs<SimFiringModule>(3)->Firings().empty());
}

TEST_F(DebugTestOnSim, RefusedWhileAMemoryOperationHoldsTheBus) {
    c_.Wiring().SetBusHeld(true);
    EXPECT_FALSE(test_->Start());
    EXPECT_TRUE(asked_.empty());
    c_.Wiring().SetBusHeld(false);
}

TEST_F(DebugTestOnSim, RefusedUnlessTheConsoleAllowsAndEveryModuleIsInTestMode) {
    // A waiting console only (no show, no countdown, no start awaited).
    allowed_ = false;
    EXPECT_FALSE(test_->Start());
    EXPECT_TRUE(asked_.empty());
    ASSERT_EQ(refused_.size(), 1);
    EXPECT_TRUE(c_.Sent().empty());

    // Module 7 put into launch mode since the last poll: asked again, and refused by name.
    allowed_ = true;
    c_.Controls().ModuleAt(1)->SetMode(ModeLaunch);
    c_.Bus().ClearRecords();
    EXPECT_FALSE(test_->Start());
    EXPECT_TRUE(asked_.empty());
    ASSERT_EQ(refused_.size(), 2);
    EXPECT_EQ(refused_[1], U("Тест синхронизации не запущен, не в режиме теста пульты: 7"));
    EXPECT_EQ(c_.Log().With(refused_[1]).size(), 1);
    EXPECT_TRUE(c_.Sent(-1, 0x91).empty());
    EXPECT_TRUE(c_.Sent(-1, 0x90).empty());
    EXPECT_FALSE(c_.Bus().FindAs<SimFiringModule>(3)->ClockRunning());
    EXPECT_FALSE(c_.Wiring().BusHeld());
    EXPECT_TRUE(c_.Wiring().IdleTimer().isActive());

    c_.Controls().ModuleAt(1)->SetMode(ModeTest);
    EXPECT_TRUE(test_->Start());
    test_->Stop();
}

TEST(DebugTestNoModules, OnlyTheClockStartAndItsAnnouncementAreBroadcast) {
    ConsoleOnSim c;
    OpenWith(c, {});
    DebugSyncTest test(c.Wiring());
    struct Yes : ClockTestPermission {
        bool ClockTestAllowed() const override { return true; }
    } allowed;
    ScriptedDialogs dialogs;
    dialogs.Yes = [](const QString&, const QString&) { return true; };
    test.SetPermission(&allowed);
    test.SetDialogs(dialogs);
    ASSERT_TRUE(test.Start());
    ASSERT_EQ(c.Sent().size(), 3u);
    EXPECT_EQ(c.Sent()[0][0], 0x10);
    EXPECT_EQ(c.Sent()[1][0], 0x10);
    EXPECT_EQ(c.Sent()[2][0], 0x90);
}

}  // namespace
