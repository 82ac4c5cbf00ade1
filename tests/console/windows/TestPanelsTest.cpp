// The test page's panels as drawn and as they act on the simulated bus: the channel grid's
// pixels, the HV panel's voltages and its energy box, the search figures during a search of the
// demo rig, and "<F3> Стоп" getting through while "<F2> Все" runs.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <map>

#include "../../devices/sim/ConsoleSimHarness.h"
#include "FakeRig.h"
#include "ScriptedDialogs.h"
#include "console/ChannelsExport.h"
#include "console/windows/ChannelGraph.h"
#include "console/windows/HvPanel.h"
#include "console/windows/MotorPanel.h"
#include "console/windows/SearchPanel.h"
#include "console/windows/TestModePanel.h"
#include "devices/TAutoControl.h"
#include "devices/THVControl.h"

namespace kv {
namespace {

const QColor kLime(0, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);

// Left and top pixel of channel i's cell.
QPoint CellOrigin(int i) {
    return {46 * (i % 16) + 2, 40 * (i / 16) + 2};
}

// Whether a pixel within one step of (x, y) has the colour (a line's exact pixels depend on
// the rasteriser).
bool Near(const QImage& image, int x, int y, const QColor& colour) {
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            if (image.pixelColor(x + dx, y + dy) == colour) {
                return true;
            }
        }
    }
    return false;
}

class ChannelGraphTest : public ::testing::Test {
protected:
    RigBus bus;  // nothing is sent: the grid only reads the module
    TAutoControl module{bus.proto, 5};

    void SetUp() override {
        module.ChannelCount = 20;
        module.Version = 0x46B;
    }
    QImage Render() const { return ChannelGraph::Render(&module, QSize(16 * 46 + 2, 3 * 40 + 2)); }
    // Rows of a cell between y0 and y1 (offsets) that hold a pixel of the colour.
    static int RowsWith(const QImage& image, QPoint o, int y0, int y1, const QColor& colour) {
        int rows = 0;
        for (int y = o.y() + y0; y < o.y() + y1; ++y) {
            for (int x = o.x() + 4; x < o.x() + 40; ++x) {
                if (image.pixelColor(x, y) == colour) {
                    ++rows;
                    break;
                }
            }
        }
        return rows;
    }
};

TEST_F(ChannelGraphTest, CellsTakeTheStateColoursInsideABlackOutline) {
    module.ChannelState[0] = ChannelConnected;
    module.ChannelState[1] = ChannelNotConnected;
    module.ChannelState[2] = ChannelError;
    module.ChannelResistance[0] = 2.4;
    const QImage image = Render();
    // Away from the texts (the middle): the fill.
    const std::map<int, QColor> fills = {{0, kLime}, {1, kBlue}, {2, kRed}, {3, kWhite}};
    for (const auto& [channel, fill] : fills) {
        const QPoint o = CellOrigin(channel);
        EXPECT_EQ(image.pixelColor(o.x() + 3, o.y() + 18), fill) << channel;
        EXPECT_EQ(image.pixelColor(o.x(), o.y() + 18), kBlack) << channel;       // left edge
        EXPECT_EQ(image.pixelColor(o.x() + 43, o.y() + 18), kBlack) << channel;  // right edge
        EXPECT_EQ(image.pixelColor(o.x() + 10, o.y() + 37), kBlack) << channel;  // bottom edge
        // The gap between two cells stays white.
        EXPECT_EQ(image.pixelColor(o.x() - 1, o.y() + 18), kWhite) << channel;
    }
}

TEST_F(ChannelGraphTest, FiguresAreLargeEnoughToReadAtAGlance) {
    module.Version = 0x268;
    module.ChannelState[0] = ChannelConnected;
    module.ChannelResistance[0] = 2.4;
    const QImage image = Render();
    const QPoint o = CellOrigin(0);
    // The number's line and the resistance's line: digits of at least 9 pixels each, apart.
    EXPECT_GE(RowsWith(image, o, 2, 18, kBlack), 9);
    EXPECT_GE(RowsWith(image, o, 18, 36, kBlack), 9);
}

TEST_F(ChannelGraphTest, ScriptMarkStaysClearOfTheFiguresAndAnOpenOneGetsAThickRedFrame) {
    module.Version = 0x268;
    module.ChannelState[0] = ChannelNotConnected;
    module.ChannelInScript[0] = 1;
    module.ChannelResistance[0] = 6553.5;
    module.ChannelState[1] = ChannelNotConnected;  // open, not scripted
    module.ChannelState[2] = ChannelError;
    module.ChannelInScript[2] = 1;
    module.ChannelState[3] = ChannelConnected;
    module.ChannelInScript[3] = 1;
    module.ChannelResistance[3] = 2.4;
    const QImage image = Render();

    QPoint o = CellOrigin(0);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(image.pixelColor(o.x() + k, o.y() + 18), kRed) << k;
        EXPECT_EQ(image.pixelColor(o.x() + 43 - k, o.y() + 18), kRed) << k;
        EXPECT_EQ(image.pixelColor(o.x() + 20, o.y() + 37 - k), kRed) << k;
    }
    EXPECT_EQ(image.pixelColor(o.x() + 3, o.y() + 18), kBlue);
    // The red flag in the top right corner, and no red over the figures below it.
    EXPECT_TRUE(Near(image, o.x() + 38, o.y() + 5, kRed));
    int red = 0;
    for (int y = o.y() + 16; y < o.y() + 34; ++y) {
        for (int x = o.x() + 4; x < o.x() + 40; ++x) {
            red += image.pixelColor(x, y) == kRed ? 1 : 0;
        }
    }
    EXPECT_EQ(red, 0);

    o = CellOrigin(1);
    EXPECT_EQ(image.pixelColor(o.x(), o.y() + 18), kBlack);
    EXPECT_EQ(image.pixelColor(o.x() + 1, o.y() + 18), kBlue);
    EXPECT_FALSE(Near(image, o.x() + 38, o.y() + 5, kRed));

    o = CellOrigin(2);  // error: a white flag, black outline
    EXPECT_EQ(image.pixelColor(o.x(), o.y() + 18), kBlack);
    EXPECT_TRUE(Near(image, o.x() + 38, o.y() + 5, kWhite));
    o = CellOrigin(3);  // connected: a black flag, the figures still whole beside it
    EXPECT_TRUE(Near(image, o.x() + 38, o.y() + 5, kBlack));
    EXPECT_GE(RowsWith(image, o, 18, 36, kBlack), 9);
}

TEST_F(ChannelGraphTest, NothingIsDrawnBeyondTheChannelsOrWithoutAPlainModule) {
    QImage image = Render();
    const QPoint last = CellOrigin(19);
    EXPECT_EQ(image.pixelColor(last.x(), last.y() + 18), kBlack);
    for (int channel : {20, 25, 47}) {
        const QPoint o = CellOrigin(channel);
        EXPECT_EQ(image.pixelColor(o.x(), o.y() + 18), kWhite) << channel;
        EXPECT_EQ(image.pixelColor(o.x() + 10, o.y() + 18), kWhite) << channel;
    }
    THVControl hv(bus.proto, 20);
    hv.ChannelCount = 4;
    for (const TCommonControl* m :
         {static_cast<const TCommonControl*>(nullptr), static_cast<const TCommonControl*>(&hv)}) {
        image = ChannelGraph::Render(m, QSize(100, 40));
        EXPECT_EQ(image.pixelColor(2, 12), kWhite);
        EXPECT_EQ(image.pixelColor(20, 12), kWhite);
    }
}

// The demo rig's HV module 20 (four outputs, 2.5 ohms, the fourth 30 ohms).
class HvPanelTest : public ::testing::Test, public ModuleSelection {
protected:
    TCommonControl* SelectedModule() const override { return hv; }

    ConsoleOnSim c{SimRig::Demo()};
    THVControl* hv = nullptr;
    HvPanel panel;

    void SetUp() override {
        ASSERT_TRUE(c.Open());
        hv = dynamic_cast<THVControl*>(c.Controls().RegisterDevice(20, 0));
        ASSERT_NE(hv, nullptr);
        panel.SetModuleSource(this);
    }
    int EnergyWrites() const { return static_cast<int>(c.Sent(-1, 0x81).size()); }
};

TEST_F(HvPanelTest, RefreshShowsTheModulesVoltagesWithoutWritingTheEnergyBack) {
    hv->Energy = 40;  // not what the box shows (15)
    hv->ChannelResistance[0] = 2.5;
    hv->ChannelResistance[3] = 30;
    const int before = EnergyWrites();
    panel.Refresh();
    EXPECT_EQ(EnergyWrites(), before) << "putting the module's energy into the box wrote it";
    EXPECT_EQ(panel.EnergyEdit()->value(), 40);
    EXPECT_EQ(panel.ResistanceLabel(0)->text(), QStringLiteral("2.50"));
    EXPECT_EQ(panel.VoltageLabel(0)->text(), QStringLiteral("100"));   // sqrt(100*2.5*40)
    EXPECT_EQ(panel.ResistanceLabel(1)->text(), QStringLiteral("?"));  // never measured
    EXPECT_EQ(panel.VoltageLabel(1)->text(), QStringLiteral("1"));
    EXPECT_EQ(panel.VoltageLabel(3)->text(), QStringLiteral("346"));
    for (int row = 0; row < HvPanelModel::kRows; ++row) {
        EXPECT_EQ(panel.ChargeButton(row)->isEnabled(), row < 4) << row;
        if (row >= 4) {
            EXPECT_EQ(panel.VoltageLabel(row)->text(), QStringLiteral("?")) << row;
        }
    }

    // The operator's change is written once and every voltage follows it.
    panel.EnergyEdit()->setValue(255);
    const auto writes = c.Sent(-1, 0x81);
    ASSERT_EQ(static_cast<int>(writes.size()), before + 1);
    EXPECT_EQ(writes.back()[5], 20);
    EXPECT_EQ(hv->Energy, 255);
    EXPECT_EQ(panel.VoltageLabel(0)->text(), QStringLiteral("252"));
    EXPECT_EQ(panel.VoltageLabel(3)->text(), QStringLiteral("450"));  // 874.6, clamped
    EXPECT_EQ(hv->ChargeVoltage[3], 450);

    // "Заряд" of a row charges to that output's voltage, once the operator said yes.
    c.Bus().ClearRecords();
    panel.AskCharge = [](const QString&, const QString&) { return true; };
    panel.ChargeButton(0)->click();
    const auto charges = c.Sent(-1, 0x84);
    ASSERT_FALSE(charges.empty());
    EXPECT_EQ(((charges[0][3] & 0x7F) << 7) | (charges[0][4] & 0x7F), 252);
}

TEST(MotorPanelTest, TrackBarsShowSpeedAndTime) {
    MotorPanel panel;
    EXPECT_EQ(panel.SpeedLabel()->text(), QStringLiteral("100.00 %"));
    EXPECT_EQ(panel.TimeLabel()->text(), QStringLiteral("00:00:25.50"));
    panel.TimeBar()->setValue(0);
    panel.SpeedBar()->setValue(128);
    EXPECT_EQ(panel.TimeLabel()->text(), QStringLiteral("00:00:00.00"));
    EXPECT_EQ(panel.SpeedLabel()->text(), QStringLiteral("50.20 %"));
    EXPECT_EQ(panel.Model().Time(), 0);
    EXPECT_EQ(panel.Model().Speed(), 128);
    panel.LeftBtn->click();  // no module selected: nothing happens
}

TEST(SearchPanelTest, FiguresFollowTheScanOfTheDemoRig) {
    ConsoleOnSim c(SimRig::Demo());
    ASSERT_TRUE(c.Open());
    SearchPanel panel;
    panel.SetFigures({"x", "x", "x", "x", "x", "x"});
    std::map<int, std::array<QString, SearchFigures::kCount>> seen;
    QObject::connect(&c.Wiring(), &ConsoleWiring::SearchStateChanged, [&](bool searching) {
        if (searching) {
            panel.Clear();
            EXPECT_TRUE(panel.FigureText(0).isEmpty());
        }
    });
    QObject::connect(&c.Wiring(), &ConsoleWiring::SearchProgress, [&](int percent, int address) {
        panel.ShowProgress(c.Wiring(), percent, address);
        auto& s = seen[address];
        for (int i = 0; i < SearchFigures::kCount; ++i) {
            s[static_cast<size_t>(i)] = panel.FigureText(i);
        }
    });
    c.Search(1);
    using F = std::array<QString, SearchFigures::kCount>;
    // The scan starts at the radio units, then the consoles, the remote control and modules.
    EXPECT_EQ(seen[241], (F{"95%", "241", "2", "0", "2", "0"}));
    EXPECT_EQ(seen[0], (F{"0%", "0", "2", "0", "2", "1"}));
    EXPECT_EQ(seen[12], (F{"5%", "12", "2", "3", "2", "1"}));
    EXPECT_EQ(seen[239], (F{"94%", "239", "2", "5", "2", "1"}));
    EXPECT_EQ(seen[255][0], QStringLiteral("100%"));
}

TEST(TestModePanelTest, StopDuringAllModulesStopsBeforeTheNextModule) {
    ConsoleOnSim c(SimRig::Demo());
    ASSERT_TRUE(c.Open());
    for (int address : {3, 7, 12}) {
        ASSERT_NE(c.Controls().RegisterDevice(address, 0), nullptr) << address;
    }
    ConsoleWiring& w = c.Wiring();
    TestModePanel panel;
    panel.Attach(w);
    QObject::connect(&w, &ConsoleWiring::TestPanelChanged, [&] { panel.RefreshTestPanel(); });
    auto enable = [&] {
        TestModePanel::Enabled e;
        e.Check = e.All = !w.Testing();
        e.Stop = w.Testing();
        panel.SetEnabled(e);
    };
    QObject::connect(&w, &ConsoleWiring::TestStateChanged, enable);
    w.EnterTestMode();
    enable();
    EXPECT_EQ(panel.DataLabel(0)->text(), QStringLiteral("3"));
    EXPECT_FALSE(panel.ChannelsPanel()->isHidden());
    EXPECT_TRUE(panel.Hv().isHidden());

    // The operator's F3 arrives as a window event while the first module is measured; the
    // panel shows the module under test when it does.
    QString shownDuringTest;
    QTimer::singleShot(0, &panel, [&] {
        shownDuringTest = panel.DataLabel(0)->text();
        panel.StopTestBtn->click();
    });
    c.Bus().ClearRecords();
    panel.AllTestBtn->click();

    EXPECT_EQ(shownDuringTest, QStringLiteral("3"));
    EXPECT_FALSE(w.Testing());
    const QStringList summaries = c.Log().With(QStringLiteral("Тест каналов, пульт:"));
    ASSERT_EQ(summaries.size(), 1) << summaries.join('\n').toStdString();
    EXPECT_TRUE(summaries[0].contains(QStringLiteral("пульт: 3,")));
    for (const auto& f : c.Sent(-1, 0x83)) {
        EXPECT_EQ(f[5], 3) << "a module after the stopped one was measured";
    }
    const auto* first = c.Controls().ModuleAt(c.Controls().FirstModuleIndex());
    EXPECT_EQ(first->ChannelState[0] == ChannelUnknown, false);
    EXPECT_EQ(first->ChannelState[15], ChannelUnknown);
    // Afterwards the first module is selected again and the buttons are free.
    EXPECT_EQ(panel.DataLabel(0)->text(), QStringLiteral("3"));
    EXPECT_TRUE(panel.AllTestBtn->isEnabled());
    EXPECT_FALSE(panel.StopTestBtn->isEnabled());
}

TEST(TestModePanelTest, PanelFollowsTheSelectedModulesKind) {
    ConsoleOnSim c(SimRig::Demo());
    ASSERT_TRUE(c.Open());
    ASSERT_NE(c.Controls().RegisterDevice(12, 0), nullptr);
    ASSERT_NE(c.Controls().RegisterDevice(20, 0), nullptr);
    ASSERT_NE(c.Controls().RegisterDevice(30, 1), nullptr);
    ConsoleWiring& w = c.Wiring();
    TestModePanel panel;
    panel.Attach(w);
    QObject::connect(&w, &ConsoleWiring::TestPanelChanged, [&] { panel.RefreshTestPanel(); });
    TestModePanel::Enabled e;
    e.Up = e.Down = true;
    panel.SetEnabled(e);
    w.EnterTestMode();
    EXPECT_EQ(panel.DataLabel(1)->text(), QStringLiteral("40"));
    EXPECT_EQ(panel.DataLabel(2)->text(), QStringLiteral("46B"));
    EXPECT_EQ(panel.DataLabel(6)->text(), QStringLiteral("23"));
    int moved = 0;
    QObject::connect(&panel, &TestModePanel::SelectionChanged, [&] { ++moved; });
    panel.DownBtn->click();
    EXPECT_EQ(moved, 1);
    EXPECT_EQ(panel.DataLabel(0)->text(), QStringLiteral("20"));
    EXPECT_TRUE(panel.ChannelsPanel()->isHidden());
    EXPECT_FALSE(panel.Hv().isHidden());
    EXPECT_EQ(panel.Hv().EnergyEdit()->value(), 15);
    panel.DownBtn->click();
    EXPECT_EQ(panel.DataLabel(0)->text(), QStringLiteral("30"));
    EXPECT_TRUE(panel.Hv().isHidden());
    EXPECT_FALSE(panel.Motor().isHidden());
    // A search that empties the list leaves nothing selected and nothing drawn from it.
    while (c.Controls().Count() > 0) {
        c.Controls().Delete(0);
    }
    w.SetTestSelection(-1);
    panel.RefreshTestPanel();
    EXPECT_EQ(panel.DataLabel(0)->text(), QStringLiteral("?"));
    EXPECT_TRUE(panel.Motor().isHidden());
}

TEST(ChannelsExportTest, AppendsTxtAndAsksBeforeReplacingTheFileReallyWritten) {
    ConsoleOnSim c(SimRig::Demo());
    ASSERT_TRUE(c.Open());
    ASSERT_NE(c.Controls().RegisterDevice(3, 0), nullptr);
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("out"));
    QString proposed;
    QStringList asked;
    bool replace = false;
    ScriptedDialogs ui;
    ui.ExportFile = [&](const QString& p) {
        proposed = p;
        return base;
    };
    ui.Overwrite = [&](const QString& file) {
        asked << file;
        return replace;
    };
    ASSERT_TRUE(ExportConnectedChannels(c.Controls(), ui));
    EXPECT_EQ(proposed, QStringLiteral("подключенные каналы"));
    EXPECT_TRUE(asked.isEmpty());
    ASSERT_TRUE(QFile::exists(base + QStringLiteral(".txt")));
    // "out" does not exist, "out.txt" does: the question is about "out.txt".
    EXPECT_FALSE(ExportConnectedChannels(c.Controls(), ui));
    EXPECT_EQ(asked, QStringList{base + QStringLiteral(".txt")});
    replace = true;
    EXPECT_TRUE(ExportConnectedChannels(c.Controls(), ui));
    ui.ExportFile = [](const QString&) { return QString(); };  // cancelled
    EXPECT_FALSE(ExportConnectedChannels(c.Controls(), ui));
}

}  // namespace
}  // namespace kv
