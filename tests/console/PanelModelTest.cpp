#include <gtest/gtest.h>

#include <limits>

#include <QStringList>

#include "../devices/FakeRig.h"
#include "../devices/NoConverters.h"
#include "console/HvPanelModel.h"
#include "console/MotorPanelModel.h"
#include "console/TestPanelModel.h"
#include "devices/TAutoControl.h"
#include "devices/TControls.h"
#include "devices/THVControl.h"
#include "devices/TMotorControl.h"
#include "devices/TRadioModule.h"
#include "devices/TRemoteControl.h"

using namespace kv;

TEST(TestPanel, ButtonsFollowModeBusySearchAndModuleCount) {
    using In = TestPanelModel::Inputs;
    auto b = TestPanelModel::ButtonStates(In{.TestMode = true, .ModuleCount = 1});
    EXPECT_FALSE(b.Up);
    EXPECT_TRUE(b.Check);
    EXPECT_TRUE(b.All);
    EXPECT_TRUE(b.Export);
    EXPECT_FALSE(b.Stop);
    EXPECT_TRUE(b.TestMode);
    b = TestPanelModel::ButtonStates(In{.TestMode = true, .ModuleCount = 2});
    EXPECT_TRUE(b.Up && b.Down);
    b = TestPanelModel::ButtonStates(In{.TestMode = true, .Busy = true, .ModuleCount = 2});
    EXPECT_FALSE(b.Up || b.Check || b.All || b.Export || b.TestMode || b.Search);
    EXPECT_TRUE(b.Stop);
    b = TestPanelModel::ButtonStates(In{.TestMode = true, .Searching = true, .ModuleCount = 2});
    EXPECT_FALSE(b.Up || b.Check || b.Stop);
    b = TestPanelModel::ButtonStates(In{.TestMode = false, .ModuleCount = 5});
    EXPECT_FALSE(b.Check || b.Up);
    EXPECT_TRUE(b.Search);
    b = TestPanelModel::ButtonStates(In{.ModuleCount = 5, .ShowIdle = false});
    EXPECT_FALSE(b.Search || b.TestMode);
    b = TestPanelModel::ButtonStates(In{.TestMode = true, .ModuleCount = 0});
    EXPECT_FALSE(b.Check || b.All || b.Export);
}

TEST(TestPanel, SelectionStepsOverEntriesThatAreNoModules) {
    OfflineBus bus;
    TControls c(bus.proto);
    c.Add(std::make_unique<TRemoteControl>(bus.proto));     // 0
    c.Add(std::make_unique<TAutoControl>(bus.proto, 2));    // 1
    c.Add(std::make_unique<TRadioModule>(bus.proto, 240));  // 2 (out of order on purpose)
    c.Add(std::make_unique<TAutoControl>(bus.proto, 5));    // 3
    c.Add(std::make_unique<TRadioModule>(bus.proto, 241));  // 4
    EXPECT_EQ(TestPanelModel::StepDown(c, 1), 3);
    EXPECT_EQ(TestPanelModel::StepDown(c, 3), 3);
    EXPECT_EQ(TestPanelModel::StepUp(c, 3), 1);
    EXPECT_EQ(TestPanelModel::StepUp(c, 1), 1);
    EXPECT_EQ(TestPanelModel::StepUp(c, -1), 1);
    EXPECT_EQ(TestPanelModel::StepDown(c, -1), 1);  // -1 is before the first module
    EXPECT_EQ(TestPanelModel::StepDown(c, 9), 3);
    TControls empty(bus.proto);
    EXPECT_EQ(TestPanelModel::StepUp(empty, 0), -1);
    EXPECT_EQ(TestPanelModel::StepDown(empty, 0), -1);
}

TEST(TestPanel, LabelsShowUnknownsAsQuestionMarks) {
    OfflineBus bus;
    EXPECT_EQ(TestPanelModel::ModuleLabels(nullptr).Number, QStringLiteral("?"));
    TAutoControl m(bus.proto, 5);
    m.ChannelCount = 16;
    m.Version = 0x36A;
    m.SupplyVoltage = 12.345;
    m.Temperature = 21.5;
    auto l = TestPanelModel::ModuleLabels(&m);
    EXPECT_EQ(l.Number, QStringLiteral("5"));
    EXPECT_EQ(l.Version, QStringLiteral("36A"));
    EXPECT_EQ(l.Supply, QStringLiteral("12.35"));
    EXPECT_EQ(l.Output, QStringLiteral("0.00"));
    EXPECT_EQ(l.Forcing, QStringLiteral("?"));
    EXPECT_EQ(l.Temperature, QStringLiteral("?"));  // not read below 0x36B
    m.Version = 0x36B;
    m.Forcing = ForcingOff;
    l = TestPanelModel::ModuleLabels(&m);
    EXPECT_EQ(l.Temperature, QStringLiteral("22"));
    EXPECT_EQ(l.Forcing, QStringLiteral("выключено"));
    EXPECT_EQ(TestPanelModel::VersionText(0x151), QStringLiteral("151"));
    EXPECT_EQ(TestPanelModel::VersionText(0x46b), QStringLiteral("46B"));
}

TEST(TestPanel, CellsCarryStateColoursCrossesAndTheRedOutline) {
    OfflineBus bus;
    TAutoControl m(bus.proto, 5);
    m.ChannelCount = 18;
    m.Version = 0x268;
    m.ChannelState[0] = ChannelConnected;
    m.ChannelState[1] = ChannelNotConnected;
    m.ChannelInScript[1] = 1;
    m.ChannelState[2] = ChannelError;
    m.ChannelInScript[2] = 1;
    m.ChannelResistance[0] = 12.34;
    m.ChannelState[17] = ChannelConnected;
    const auto cells = TestPanelModel::ChannelCells(&m);
    ASSERT_EQ(cells.size(), 18u);
    EXPECT_EQ(cells[0].Fill, 0x00FF00u);
    EXPECT_EQ(cells[0].Resistance, QStringLiteral("12.3"));
    EXPECT_FALSE(cells[0].Cross);
    EXPECT_EQ(cells[1].Fill, 0x0000FFu);
    EXPECT_EQ(cells[1].TextColor, 0xFFFFFFu);
    EXPECT_TRUE(cells[1].Cross);
    EXPECT_EQ(cells[1].CrossColor, 0xFF0000u);
    EXPECT_TRUE(cells[1].RedOutline);
    EXPECT_EQ(cells[2].CrossColor, 0xFFFFFFu);
    EXPECT_FALSE(cells[2].RedOutline);
    EXPECT_EQ(cells[3].Fill, 0xFFFFFFu);
    EXPECT_TRUE(cells[3].Resistance.isEmpty()) << "not measured: no 0.0 that reads as a short";
    // Channel 17 sits in row 1, column 1.
    EXPECT_EQ(cells[17].Left, 48);
    EXPECT_EQ(cells[17].Top, 42);
    EXPECT_EQ(cells[17].Right, 92);
    EXPECT_EQ(cells[17].Bottom, 80);
    EXPECT_EQ(cells[17].Number, QStringLiteral("18"));
    EXPECT_EQ(cells[17].NumberX, 70);
    EXPECT_EQ(cells[17].NumberY, 45);
    EXPECT_EQ(cells[17].ResistanceY, 61);
    // Old firmware: the number alone, centred in the cell.
    m.Version = 0x267;
    const auto old = TestPanelModel::ChannelCells(&m);
    EXPECT_TRUE(old[0].Resistance.isEmpty());
    EXPECT_EQ(old[17].NumberY, 61);
    // HV and motor modules have panels of their own, not the graph.
    THVControl hv(bus.proto, 6);
    hv.ChannelCount = 4;
    EXPECT_TRUE(TestPanelModel::ChannelCells(&hv).empty());
    // An open channel reads as a word, not as the module's raw largest value.
    m.Version = 0x268;
    m.ChannelResistance[1] = 6553.5;
    EXPECT_EQ(TestPanelModel::ChannelCells(&m)[1].Resistance, QStringLiteral("обрыв"));
    EXPECT_EQ(TestPanelModel::PanelFor(&hv), TestPanelModel::Panel::HighVoltage);
    EXPECT_EQ(TestPanelModel::PanelFor(nullptr), TestPanelModel::Panel::None);
}

TEST(TestPanel, ResistanceTextsFitTheirCell) {
    EXPECT_EQ(TestPanelModel::ResistanceText(2.44), QStringLiteral("2.4"));
    EXPECT_EQ(TestPanelModel::ResistanceText(99.94), QStringLiteral("99.9"));
    EXPECT_EQ(TestPanelModel::ResistanceText(450.4), QStringLiteral("450"));
    EXPECT_EQ(TestPanelModel::ResistanceText(1234), QStringLiteral("1.2к"));
    EXPECT_EQ(TestPanelModel::ResistanceText(6553.5), QStringLiteral("обрыв"));
    EXPECT_EQ(TestPanelModel::ResistanceText(std::numeric_limits<double>::quiet_NaN()),
              QStringLiteral("обрыв"));
}

TEST(HvPanel, RowsVoltagesAndTheEnergyWrite) {
    RigBus bus;
    bus.rig.Add({.address = 3, .type = 'Q', .channels = 4, .energy = 15});
    THVControl hv(bus.proto, 3);
    hv.PortIndex = 0;
    hv.ChannelCount = 4;
    hv.Energy = 15;
    hv.ChannelResistance[0] = 2.5;
    hv.ChannelResistance[1] = 30;
    HvPanelModel panel;
    panel.Refresh(&hv);
    const auto& rows = panel.Rows();
    EXPECT_EQ(rows[0].Resistance, QStringLiteral("2.50"));
    EXPECT_EQ(rows[0].Voltage, QStringLiteral("61"));
    EXPECT_EQ(rows[2].Resistance, QStringLiteral("?"));
    EXPECT_EQ(rows[2].Voltage, QStringLiteral("1"));  // not measured
    EXPECT_TRUE(rows[3].ChargeEnabled);
    EXPECT_FALSE(rows[4].ChargeEnabled);
    EXPECT_EQ(rows[4].Voltage, QStringLiteral("?"));
    EXPECT_EQ(bus.rig.Seen(0x81), 0);  // refreshing sends no energy write

    EXPECT_EQ(panel.EnergyChanged(&hv, 255), 0);
    EXPECT_EQ(bus.rig.Seen(0x81), 1);
    EXPECT_EQ(hv.Energy, 255);
    EXPECT_EQ(panel.Rows()[1].Voltage, QStringLiteral("450"));  // 874.6 clamped
    EXPECT_EQ(panel.EnergyChanged(&hv, 0), 0);
    EXPECT_EQ(panel.Rows()[0].Voltage, QStringLiteral("1"));

    QStringList asked;
    bool yes = false;
    const HvPanelModel::Question ask = [&](const QString&, const QString& text) {
        asked << text;
        return yes;
    };
    EXPECT_EQ(panel.ChargeRow(&hv, 0, ask).charge, HvPanelModel::Charge::Declined);
    EXPECT_EQ(panel.ChargeRow(&hv, 0, nullptr).charge, HvPanelModel::Charge::Declined);
    EXPECT_EQ(bus.rig.Seen(0x84), 0) << "no charge without a yes";
    yes = true;
    const auto charged = panel.ChargeRow(&hv, 0, ask);
    EXPECT_EQ(charged.charge, HvPanelModel::Charge::Sent);
    EXPECT_EQ(charged.result, 0);
    EXPECT_EQ(bus.rig.Seen(0x84), 1);
    EXPECT_EQ(
        asked.last(),
        QStringLiteral("Зарядить конденсатор пульта ВВ?\nПульт: 3, канал: 1, напряжение, В: 1"));
    asked.clear();
    EXPECT_EQ(panel.ChargeRow(&hv, 5, ask).charge, HvPanelModel::Charge::NotSent);
    EXPECT_TRUE(asked.isEmpty()) << "a disabled row asks nothing and sends nothing";
    EXPECT_EQ(bus.rig.Seen(0x84), 1);
    EXPECT_EQ(HvPanelModel::ChargeLogLine(20, 2, 61, -3),
              QStringLiteral("Заряд ВВ, пульт: 20, канал: 3, напряжение, В: 61 - Ошибка передачи "
                             "данных (истекло время ожидания)."));

    // A failed write keeps the operator's value.
    bus.rig.SetSilent(3, true);
    EXPECT_NE(panel.EnergyChanged(&hv, 20), 0);
    EXPECT_EQ(hv.Energy, 20);
    panel.Refresh(nullptr);
    EXPECT_FALSE(panel.Rows()[0].ChargeEnabled);
}

TEST(MotorPanel, TextsAndRawPositions) {
    EXPECT_EQ(MotorPanelModel::SpeedText(255), QStringLiteral("100.00 %"));
    EXPECT_EQ(MotorPanelModel::SpeedText(128), QStringLiteral("50.20 %"));
    EXPECT_EQ(MotorPanelModel::TimeText(255), QStringLiteral("00:00:25.50"));
    EXPECT_EQ(MotorPanelModel::TimeText(0), QStringLiteral("00:00:00.00"));
    EXPECT_EQ(MotorPanelModel::TimeText(7), QStringLiteral("00:00:00.70"));
    RigBus bus;
    bus.rig.Add({.address = 7, .type = 'P'});
    TMotorControl motor(bus.proto, 7);
    motor.PortIndex = 0;
    MotorPanelModel panel;
    EXPECT_EQ(panel.Speed(), 255);
    panel.SetSpeed(300);
    EXPECT_EQ(panel.Speed(), 255);
    panel.SetSpeed(40);
    panel.SetTime(0);
    EXPECT_EQ(panel.RotateRight(&motor), 0);
    EXPECT_EQ(bus.rig.LastOf(0x8C), (std::vector<uint8_t>{0x91, 40, 0, 0}));
    EXPECT_EQ(panel.Left(nullptr), 0);
}
