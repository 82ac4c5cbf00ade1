// The main window's maintenance commands and its PC power lamps: Ctrl+Insert / Ctrl+Delete on a
// simulated bus, and the lamps read from a power-supply folder laid out as the kernel does.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <memory>

#include "../../devices/sim/ConsoleSimHarness.h"
#include "OwnedMainForm.h"
#include "ScriptedDialogs.h"
#include "TempDir.h"
#include "WindowTestBase.h"
#include "console/DebugSyncTest.h"
#include "console/DeviceMaintenance.h"
#include "console/windows/StatusPanel.h"
#include "console/windows/TDebugForm.h"
#include "console/windows/TIndicator.h"
#include "console/windows/TMainForm.h"
#include "console/windows/TestModePanel.h"
#include "core/EventLog.h"
#include "devices/DeviceKinds.h"
#include "devices/TCommonControl.h"
#include "i18n/Localizer.h"
#include "sim/SimFiringModule.h"

namespace kv {
namespace {

class MainFormCommandsTest : public WindowTestBase {
protected:
    void SetUp() override {
        WindowTestBase::SetUp();
        QDir().mkpath(dir_.file(QStringLiteral("power")));
    }
    void TearDown() override {
        form_.reset();
        WindowTestBase::TearDown();
    }

    TMainForm& MakeForm(std::shared_ptr<SimBus> bus = std::make_shared<SimBus>()) {
        OwnedMainForm::Options options;
        options.programDir = dir_.path();
        options.powerSupplyRoot = dir_.file(QStringLiteral("power"));
        options.backend = bus;
        options.rig = QStringLiteral("test rig");
        form_ = std::make_unique<OwnedMainForm>(options);
        return *form_;
    }

    // One supply folder with its files.
    void Supply(const QString& name, const QList<std::pair<QString, QString>>& files) {
        const QString folder = dir_.file(QStringLiteral("power/") + name);
        QDir().mkpath(folder);
        for (const auto& [file, text] : files) {
            QFile f(folder + QLatin1Char('/') + file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(text.toUtf8() + "\n");
        }
    }

    TShape::Look Lamp(StatusPanel::Lamp lamp) const { return form_->Status().LookOf(lamp); }

    kv::FakeClock clock_{5000};
    kv::ScopedClock scopedClock_{clock_};
    std::unique_ptr<TMainForm> form_;
};

TEST_F(MainFormCommandsTest, CtrlInsertAndDeleteForceEveryModuleOnTheBus) {
    auto bus = std::make_shared<SimBus>();
    bus->AddConverter();
    bus->AddDevice(0, SimModule(4, 0x46B, 8));
    bus->AddDevice(0, SimModule(2, 0x46B, 8));
    TMainForm& form = MakeForm(bus);
    ASSERT_NE(form.Session().Wiring().Controls().RegisterDevice(4, 0), nullptr);
    ASSERT_NE(form.Session().Wiring().Controls().RegisterDevice(2, 0), nullptr);
    QAction* up = form.FindAction(QStringLiteral("PowerUpGlobal"));
    QAction* down = form.FindAction(QStringLiteral("PowerDownGlobal"));
    ASSERT_NE(up, nullptr);
    ASSERT_NE(down, nullptr);
    EXPECT_EQ(up->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Insert));
    EXPECT_EQ(down->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Delete));
    up->trigger();
    EXPECT_EQ(bus->FindAs<SimFiringModule>(2)->Forcing(), 0);
    EXPECT_EQ(bus->FindAs<SimFiringModule>(4)->Forcing(), 0);
    down->trigger();
    EXPECT_EQ(bus->FindAs<SimFiringModule>(2)->Forcing(), 1);
    EXPECT_EQ(bus->FindAs<SimFiringModule>(4)->Forcing(), 1);
}

TEST_F(MainFormCommandsTest, ChangeIdButtonRenumbersTheSelectedModuleThroughItsBoxes) {
    auto bus = std::make_shared<SimBus>();
    bus->AddConverter();
    bus->AddDevice(0, SimModule(5, 0x167, 8));
    TMainForm& form = MakeForm(bus);
    QPushButton* button = form.TestPage().ChangeIdBtn;
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QStringLiteral("Изменить ID пульта..."));
    form.RefreshButtons();
    EXPECT_FALSE(button->isEnabled()) << "no module on the bus yet";
    ASSERT_NE(form.Session().Wiring().Controls().RegisterDevice(5, 0), nullptr);
    form.Session().Wiring().SetTestSelection(0);
    form.RefreshButtons();
    ASSERT_TRUE(button->isEnabled());

    QString prefilled;
    QStringList boxes;
    Owned(form).Dialogs().Text = [&](const QString&, const QString&, QString& text) {
        prefilled = text;
        text = QStringLiteral("300");
        return true;
    };
    Owned(form).Dialogs().Message = [&](const QString&, const QString& text) { boxes << text; };
    button->click();
    EXPECT_EQ(prefilled, QStringLiteral("5"));
    EXPECT_EQ(boxes, QStringList{QStringLiteral("Ошибка изменения номера пульта.")});
    EXPECT_EQ(bus->Find(5)->Address(), 5);

    Owned(form).Dialogs().Text = [&](const QString&, const QString&, QString& text) {
        text = QStringLiteral("12");
        return true;
    };
    button->click();
    ASSERT_NE(bus->Find(12), nullptr);
    EXPECT_EQ(form.Session().Wiring().Controls().Items(0)->Address, 12);
}

// Runs `step` once the modal loop that is about to start processes events.
void Later(std::function<void()> step) {
    QTimer::singleShot(0, std::move(step));
}

TEST_F(MainFormCommandsTest, DebugWindowListsTheModulesAndClosingStopsTheClockTest) {
    auto bus = std::make_shared<SimBus>();
    bus->AddConverter();
    SimDeviceConfig three = SimModule(3, 0x46B, 8);
    three.mode = 1;  // test mode
    bus->AddDevice(0, three);
    bus->AddDevice(0, SimModule(7, 0x46B, 16));  // launch mode
    TMainForm& form = MakeForm(bus);
    ASSERT_NE(form.Session().Wiring().Controls().RegisterDevice(3, 0), nullptr);
    ASSERT_NE(form.Session().Wiring().Controls().RegisterDevice(7, 0), nullptr);
    QAction* action = form.FindAction(QStringLiteral("DebugAction"));
    ASSERT_NE(action, nullptr);
    TDebugForm& debug = form.DebugForm();
    ASSERT_NE(debug.Test(), nullptr);
    int asked = 0;
    bool answer = false;
    ScriptedDialogs boxes;
    boxes.Yes = [&](const QString&, const QString&) {
        ++asked;
        return answer;
    };
    QStringList refused;
    boxes.Error = [&](const QString& text) { refused << text; };
    debug.Test()->SetDialogs(boxes);

    bool modal = false;
    Later([&] {
        // Modal: while it is open the main window takes no command.
        modal = QApplication::activeModalWidget() == &debug;
        EXPECT_EQ(debug.DeviceList->columnCount(), 6);
        EXPECT_EQ(debug.DeviceList->headerItem()->text(5), QStringLiteral("Синх., мс"));
        ASSERT_EQ(debug.DeviceList->topLevelItemCount(), 2);
        EXPECT_EQ(debug.DeviceList->topLevelItem(0)->text(0), QStringLiteral("3"));
        EXPECT_EQ(debug.DeviceList->topLevelItem(1)->text(1), QStringLiteral("16"));
        EXPECT_EQ(debug.DeviceList->topLevelItem(1)->text(5), QStringLiteral("?"));
        EXPECT_EQ(debug.ClockLabel->text(), QStringLiteral("00:00:00"));
        // All six columns in view as the window opens, the sync column included.
        EXPECT_LE(debug.DeviceList->header()->length(), debug.DeviceList->viewport()->width());
        EXPECT_TRUE(debug.TestBtn->isDefault());

        // Module 7 is in launch mode: its stored script would play on the clock start.
        debug.TestBtn->click();
        EXPECT_EQ(asked, 0);
        ASSERT_EQ(refused.size(), 1);
        EXPECT_TRUE(refused[0].endsWith(QStringLiteral(": 7")));
        EXPECT_FALSE(debug.Test()->Running());
        form.Session().Wiring().SetModeAll(ModeTest);

        debug.TestBtn->click();
        EXPECT_EQ(asked, 1);
        EXPECT_FALSE(debug.Test()->Running()) << "declined";
        answer = true;
        debug.TestBtn->click();
        ASSERT_TRUE(debug.Test()->Running());
        EXPECT_TRUE(debug.StopBtn->isDefault()) << "Enter stops a running test, never restarts it";
        debug.StopBtn->click();
        EXPECT_FALSE(debug.Test()->Running());
        EXPECT_TRUE(debug.TestBtn->isDefault());

        // Closed by its button: the test stops with it.
        debug.TestBtn->click();
        ASSERT_TRUE(debug.Test()->Running());
        debug.CloseBtn->click();
    });
    action->trigger();
    EXPECT_TRUE(modal);
    EXPECT_FALSE(debug.isVisible());
    EXPECT_FALSE(debug.Test()->Running());

    // Closed by the window frame: the test stops too.
    Later([&] {
        debug.TestBtn->click();
        EXPECT_TRUE(debug.Test()->Running());
        debug.close();
    });
    action->trigger();
    EXPECT_FALSE(debug.Test()->Running());

    // Not from an armed console, nor during a show.
    form.Session().State().LaunchState = ConsoleState::Armed;
    form.ActionListUpdate();
    EXPECT_FALSE(action->isEnabled());
    form.Session().State().LaunchState = ConsoleState::Waiting;
    form.ActionListUpdate();
    EXPECT_TRUE(action->isEnabled());
}

TEST_F(MainFormCommandsTest, LaptopOnBatteryLightsTheBatteryLampAndMovesTheGauge) {
    Supply(QStringLiteral("AC"), {{"type", "Mains"}, {"online", "0"}});
    Supply(QStringLiteral("BAT0"),
           {{"type", "Battery"}, {"present", "1"}, {"capacity", "20"}, {"status", "Discharging"}});
    TMainForm& form = MakeForm();
    form.show();
    EXPECT_TRUE(form.Session().PowerTimer().isActive());
    EXPECT_EQ(form.Session().PowerTimer().interval(), 5000);
    // Read at once when shown, not only 5 s later.
    EXPECT_EQ(Lamp(StatusPanel::Lamp::Mains), TShape::Look::Off);
    EXPECT_EQ(Lamp(StatusPanel::Lamp::Battery), TShape::Look::Alarm);
    EXPECT_EQ(Lamp(StatusPanel::Lamp::Charging), TShape::Look::Off);
    EXPECT_EQ(form.Session().State().PcBatteryPercent, 20);
    EXPECT_EQ(form.Status().BatteryLabel()->text(), QStringLiteral("20 %"));

    // Plugged in: the next tick follows.
    Supply(QStringLiteral("AC"), {{"online", "1"}});
    Supply(QStringLiteral("BAT0"), {{"capacity", "21"}, {"status", "Charging"}});
    form.Session().ReadPower();
    EXPECT_EQ(Lamp(StatusPanel::Lamp::Mains), TShape::Look::On);
    EXPECT_EQ(Lamp(StatusPanel::Lamp::Battery), TShape::Look::Off);
    EXPECT_EQ(Lamp(StatusPanel::Lamp::Charging), TShape::Look::On);
    EXPECT_EQ(form.Session().State().PcBatteryPercent, 21);
}

TEST_F(MainFormCommandsTest, DesktopWithoutBatteryKeepsTheBatteryLampDark) {
    Supply(QStringLiteral("AC"), {{"type", "Mains"}, {"online", "1"}});
    TMainForm& form = MakeForm();
    form.show();
    EXPECT_EQ(Lamp(StatusPanel::Lamp::Mains), TShape::Look::On);
    EXPECT_EQ(Lamp(StatusPanel::Lamp::Battery), TShape::Look::Off);
    EXPECT_EQ(Lamp(StatusPanel::Lamp::Charging), TShape::Look::Off);
    ASSERT_NE(form.Status().Indicator(StatusPanel::Lamp::Battery), nullptr);
    EXPECT_EQ(form.Status().Indicator(StatusPanel::Lamp::Battery)->Label()->text(),
              QStringLiteral("Батарея"));
}

}  // namespace
}  // namespace kv
