// Channel tests against simulated modules of every firmware generation: the readings the
// modules put on the wire for set resistances, the states the console makes of them, the
// operator's stop, and the connected-channels file written afterwards.
#include <gtest/gtest.h>

#include <QFile>
#include <cmath>
#include <vector>

#include "ConsoleSimHarness.h"
#include "TempDir.h"
#include "devices/ConnectedChannelsExport.h"
#include "devices/TCommonControl.h"

using namespace kv;

namespace {

const ResistanceThresholds kBands{1, 20, 200};

struct Case {
    double ohms;
    uint8_t state;
};

// One module of the firmware with a channel per case, each at the case's resistance, found by
// a search and tested; nullptr when the module could not be tested.
TCommonControl* TestedModule(ConsoleOnSim& c, int version, const std::vector<Case>& cases) {
    std::vector<double> ohms;
    for (const Case& k : cases) {
        ohms.push_back(k.ohms);
    }
    c.Bus().AddConverter();
    if (!c.Open()) {
        return nullptr;
    }
    c.Wiring().Tester().Thresholds = kBands;
    c.Bus().AddDevice(0, SimModule(11, version, static_cast<int>(ohms.size()), ohms));
    c.Search();
    auto* m = c.Controls().ModuleAt(0);
    c.Wiring().SetTestSelection(0);
    if (c.Controls().Count() != 1 || m == nullptr || !c.Wiring().CheckSelected()) {
        return nullptr;
    }
    return m;
}

}  // namespace

TEST(ChannelTestOnSim, ResistanceFirmwareClassifiesAtEveryBandEdge) {
    const std::vector<Case> cases = {
        {0.0, ChannelError},          {0.9, ChannelError},
        {1.0, ChannelConnected},      {19.9, ChannelConnected},
        {20.0, ChannelError},         {199.9, ChannelError},
        {200.0, ChannelNotConnected}, {kSimOpenOhms, ChannelNotConnected},
    };
    for (int version : {0x268, 0x36B, 0x46B}) {
        SCOPED_TRACE(version);
        ConsoleOnSim c;
        auto* m = TestedModule(c, version, cases);
        ASSERT_NE(m, nullptr);
        for (size_t i = 0; i < cases.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(m->ChannelState[i], cases[i].state);
            if (std::isfinite(cases[i].ohms)) {
                EXPECT_DOUBLE_EQ(m->ChannelResistance[i], cases[i].ohms);
            } else {
                EXPECT_DOUBLE_EQ(m->ChannelResistance[i], 6553.5) << "the highest reading";
            }
        }
    }
}

TEST(ChannelTestOnSim, LevelFirmwareIsConnectedDownToItsConnectLevel) {
    // These generations answer a continuity level, 4000 and above counting as connected;
    // the simulated curve crosses it at 5 ohms.
    const std::vector<Case> cases = {
        {0.0, ChannelConnected},
        {5.0, ChannelConnected},
        {5.1, ChannelNotConnected},
        {20.0, ChannelNotConnected},
        {kSimOpenOhms, ChannelNotConnected},
    };
    for (int version : {0x140, 0x151, 0x165, 0x267}) {
        SCOPED_TRACE(version);
        ConsoleOnSim c;
        auto* m = TestedModule(c, version, cases);
        ASSERT_NE(m, nullptr);
        for (size_t i = 0; i < cases.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(m->ChannelState[i], cases[i].state);
            EXPECT_EQ(m->ChannelResistance[i], 0) << "no resistance from a level";
        }
    }
}

TEST(ChannelTestOnSim, HvModuleMarksEveryAnsweringOutputConnectedWithItsOhms) {
    ConsoleOnSim c;
    SimBus* bus = &c.Bus();
    bus->AddConverter();
    SimDeviceConfig hv = SimOf(SimDeviceKind::HvModule, 20);
    hv.ohms = {2.5, 30.0, 0.4, 2.0};
    bus->AddDevice(0, hv);
    ASSERT_TRUE(c.Open());
    c.Search();
    auto* m = c.Controls().ModuleAt(0);
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->Kind, KindHVControl);
    c.Wiring().SetTestSelection(0);
    ASSERT_TRUE(c.Wiring().CheckSelected());
    for (int ch = 0; ch < 4; ++ch) {
        SCOPED_TRACE(ch);
        EXPECT_EQ(m->ChannelState[ch], ChannelConnected);
        EXPECT_NEAR(m->ChannelResistance[ch], hv.ohms[ch], 1e-9);
    }
}

TEST(ChannelTestOnSim, StopEndsTheRunAfterTheCurrentChannelAndNothingMoreIsMeasured) {
    ConsoleOnSim c;
    SimBus* bus = &c.Bus();
    bus->AddConverter();
    bus->AddDevice(0, SimModule(2, 0x46B, 6, {2, 2, 2, 2, 2, 2}));
    bus->AddDevice(0, SimModule(5, 0x46B, 6, {2, kSimOpenOhms, 2, 2, 2, 2}));
    bus->AddDevice(0, SimModule(9, 0x46B, 6));
    ASSERT_TRUE(c.Open());
    c.Wiring().Tester().Thresholds = kBands;
    c.Search();
    ASSERT_EQ(c.Controls().ModuleCount(), 3);

    ScopedConnection stopper =
        c.Wiring().Tester().OnProgress.Connect([&](TCommonControl& module, int channel) {
            if (module.Address == 5 && channel == 2) {
                c.Wiring().StopTest();
            }
        });
    std::vector<int> selected;
    int refreshes = 0;
    QObject::connect(&c.Wiring(), &ConsoleWiring::TestPanelChanged, [&] {
        ++refreshes;
        selected.push_back(c.Wiring().TestSelection());
    });
    bus->ClearRecords();
    c.Wiring().TestAll();

    std::vector<int> measuredAt;
    for (const auto& f : c.Sent(0, 0x83)) {
        measuredAt.push_back(f[5] * 100 + f[1]);
    }
    EXPECT_EQ(measuredAt, (std::vector<int>{201, 202, 203, 204, 205, 206, 501, 502, 503}));
    EXPECT_EQ(c.Controls().ModuleAt(0)->ConnectedCount(), 6);
    const TCommonControl* stopped = c.Controls().ModuleAt(1);
    EXPECT_EQ(stopped->ChannelState[1], ChannelNotConnected);
    EXPECT_EQ(stopped->ChannelState[3], ChannelUnknown) << "not reached";
    EXPECT_EQ(c.Controls().ModuleAt(2)->CountState(ChannelUnknown), 6);

    EXPECT_EQ(
        c.Log().With(QStringLiteral("Тест каналов, пульт: 2, каналов: 6, подключено: 6")).size(),
        1);
    EXPECT_EQ(
        c.Log().With(QStringLiteral("Тест каналов, пульт: 5, каналов: 6, подключено: 2")).size(),
        1);
    EXPECT_TRUE(c.Log().With(QStringLiteral("Тест каналов, пульт: 9")).isEmpty());
    ASSERT_FALSE(selected.empty());
    EXPECT_EQ(selected.back(), 0) << "the first module is selected again";
    EXPECT_FALSE(c.Wiring().Testing());
    EXPECT_FALSE(c.Wiring().Tester().Busy());

    // The next run starts afresh: the stop does not stick.
    stopper = ScopedConnection();
    bus->ClearRecords();
    c.Wiring().TestAll();
    EXPECT_EQ(c.Sent(0, 0x83).size(), 18u);
}

TEST(ChannelTestOnSim, ExportFileAfterATestHoldsTheConnectedChannelsByteForByte) {
    ConsoleOnSim c;
    SimBus* bus = &c.Bus();
    bus->AddConverter();
    bus->AddConverter();
    bus->AddDevice(0, SimModule(4, 0x46B, 6, {2.0, kSimOpenOhms, 0.5, 2.0, 50, 19.9}));
    bus->AddDevice(1, SimModule(9, 0x140, 3, {2, kSimOpenOhms, 2}));
    bus->AddDevice(1, SimOf(SimDeviceKind::RadioUnit, 241, 0x120));
    bus->AddDevice(0, SimModule(17, 0x46B, 2, {kSimOpenOhms, kSimOpenOhms}));
    ASSERT_TRUE(c.Open());
    c.Wiring().Tester().Thresholds = kBands;
    c.Search();
    ASSERT_EQ(c.Controls().Count(), 4);
    c.Wiring().TestAll();

    TempDir dir;
    const QString chosen = dir.file(QStringLiteral("каналы"));
    QString error;
    ASSERT_TRUE(ConnectedChannelsExport::Write(c.Controls(), chosen, &error))
        << error.toStdString();
    QFile f(chosen + QStringLiteral(".txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray expected =
        "\xd0\x9f\xd1\x83\xd0\xbb\xd1\x8c\xd1\x82, ID=4\r\n"
        "\xd0\x9f\xd0\xbe\xd0\xb4\xd0\xba\xd0\xbb\xd1\x8e\xd1\x87\xd0\xb5\xd0\xbd\xd0\xbd\xd1\x8b"
        "\xd1\x85 \xd0\xba\xd0\xb0\xd0\xbd\xd0\xb0\xd0\xbb\xd0\xbe\xd0\xb2: 3\r\n"
        "\xd0\x9a\xd0\xb0\xd0\xbd\xd0\xb0\xd0\xbb \xe2\x84\x96 1\r\n"
        "\xd0\x9a\xd0\xb0\xd0\xbd\xd0\xb0\xd0\xbb \xe2\x84\x96 4\r\n"
        "\xd0\x9a\xd0\xb0\xd0\xbd\xd0\xb0\xd0\xbb \xe2\x84\x96 6\r\n"
        "\r\n\r\n"
        "\xd0\x9f\xd1\x83\xd0\xbb\xd1\x8c\xd1\x82, ID=9\r\n"
        "\xd0\x9f\xd0\xbe\xd0\xb4\xd0\xba\xd0\xbb\xd1\x8e\xd1\x87\xd0\xb5\xd0\xbd\xd0\xbd\xd1\x8b"
        "\xd1\x85 \xd0\xba\xd0\xb0\xd0\xbd\xd0\xb0\xd0\xbb\xd0\xbe\xd0\xb2: 2\r\n"
        "\xd0\x9a\xd0\xb0\xd0\xbd\xd0\xb0\xd0\xbb \xe2\x84\x96 1\r\n"
        "\xd0\x9a\xd0\xb0\xd0\xbd\xd0\xb0\xd0\xbb \xe2\x84\x96 3\r\n"
        "\r\n\r\n"
        "\xd0\x9f\xd1\x83\xd0\xbb\xd1\x8c\xd1\x82, ID=17\r\n"
        "\xd0\x9f\xd0\xbe\xd0\xb4\xd0\xba\xd0\xbb\xd1\x8e\xd1\x87\xd0\xb5\xd0\xbd\xd0\xbd\xd1\x8b"
        "\xd1\x85 \xd0\xba\xd0\xb0\xd0\xbd\xd0\xb0\xd0\xbb\xd0\xbe\xd0\xb2: 0\r\n"
        "\r\n\r\n";
    EXPECT_EQ(f.readAll(), expected);
}
