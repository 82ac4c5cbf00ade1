// The search, console discovery, link quality and poll cycle of the console against the
// simulated bus: real frames, real answer windows (in simulated time), the demo rig.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "ConsoleSimHarness.h"
#include "devices/TCommonControl.h"
#include "devices/TSoftControl.h"
#include "sim/SimConsole.h"

using namespace kv;

namespace {

// Addresses the console's status requests (0x85) went to, in wire order.
std::vector<int> StatusTargets(const ConsoleOnSim& c) {
    std::vector<int> out;
    for (const auto& f : c.Sent(-1, 0x85)) {
        out.push_back(f[5]);
    }
    return out;
}

}  // namespace

TEST(SearchOnSim, FindsTheDemoRigInAddressOrderWithClassesRelaysAndConverters) {
    ConsoleOnSim c(SimRig::Demo());
    ASSERT_TRUE(c.Open());
    std::vector<int> changes;
    int rebuilt = 0;
    QObject::connect(&c.Wiring(), &ConsoleWiring::DeviceListChanged, [&] { ++rebuilt; });
    // Two passes, as an operator lets the search run: a console's reply that the bus lost in
    // the first is heard in the second.
    c.Search(2);

    struct Expect {
        int address;
        uint8_t kind;
        int relay;
        int port;
    };
    const std::vector<Expect> expected = {
        {0, KindRemoteControl, -1, 1}, {3, KindAutoControl, -1, 0},   {7, KindAutoControl, -1, 0},
        {12, KindAutoControl, 5, 0},   {20, KindHVControl, -1, 0},    {30, KindMotorControl, -1, 1},
        {240, KindRadioModule, -1, 1}, {241, KindRadioModule, -1, 1}, {255, KindSoftControl, -1, 1},
    };
    TControls& controls = c.Controls();
    ASSERT_EQ(controls.Count(), static_cast<int>(expected.size()));
    for (int i = 0; i < controls.Count(); ++i) {
        SCOPED_TRACE(i);
        const TCommonDevice* d = controls.Items(i);
        EXPECT_EQ(d->Address, expected[i].address);
        EXPECT_EQ(d->Kind, expected[i].kind);
        EXPECT_EQ(d->RelayId, expected[i].relay);
        EXPECT_EQ(d->PortIndex, expected[i].port);
    }
    EXPECT_GT(rebuilt, 0) << "every registration rebuilds the rows";

    // What the devices said about themselves arrived in the model.
    const auto* newest = static_cast<const TCommonControl*>(controls.FindByAddress(12));
    EXPECT_EQ(newest->Version, 0x46B);
    EXPECT_EQ(newest->ChannelCount, 40);
    EXPECT_EQ(newest->Temperature, 23);
    EXPECT_EQ(newest->LastResult, 0) << "the relay trailer was consumed, not left on the line";
    EXPECT_EQ(static_cast<const TCommonControl*>(controls.FindByAddress(3))->ChannelCount, 16);
    EXPECT_EQ(static_cast<const TCommonControl*>(controls.FindByAddress(30))->SupplyVoltage, 24.1);
    EXPECT_EQ(static_cast<const TSoftControl*>(controls.FindByAddress(255))->ConsoleId, 77);
    EXPECT_EQ(controls.FindByAddress(0)->Version, 0x146);

    // The five summary lines, once, after the search.
    const QStringList expectedLines = {
        QStringLiteral("Всего подключенных устройств: 9"), QStringLiteral("Преобразователей: 2"),
        QStringLiteral("Пультов: 5"), QStringLiteral("Блоков радиосвязи: 2"),
        QStringLiteral("ПДУ(Р): 1")};
    const QStringList log = c.Log().Lines();
    int at = -1;
    for (int i = 0; i < log.size(); ++i) {
        if (log[i].endsWith(expectedLines[0])) {
            EXPECT_EQ(at, -1) << "summary logged twice";
            at = i;
        }
    }
    ASSERT_GE(at, 0) << log.join(QLatin1Char('\n')).toStdString();
    ASSERT_LE(at + 5, log.size());
    for (int k = 0; k < 5; ++k) {
        EXPECT_TRUE(log[at + k].endsWith(expectedLines[k])) << log[at + k].toStdString();
    }
    EXPECT_FALSE(c.Log().With(QStringLiteral("SIMULATED BUS")).isEmpty());
}

TEST(SearchOnSim, ScanProbesRadioAddressesFirstThenTheRest) {
    ConsoleOnSim c(SimRig::Demo());
    ASSERT_TRUE(c.Open());
    c.Bus().ClearRecords();
    c.Search();
    // The version probe goes out on every converter; converter 0 shows the scan order alone.
    std::vector<int> probed;
    for (const auto& f : c.Sent(0, 0x80)) {
        if (probed.empty() || probed.back() != f[5]) {
            probed.push_back(f[5]);
        }
    }
    ASSERT_FALSE(probed.empty());
    EXPECT_EQ(probed.front(), 240);
    // Registration rereads the version of what answered; those repeats collapse with the probe.
    std::vector<int> firstSeen;
    for (int a : probed) {
        if (std::find(firstSeen.begin(), firstSeen.end(), a) == firstSeen.end()) {
            firstSeen.push_back(a);
        }
    }
    ASSERT_EQ(firstSeen.size(), 255u) << "every address but the consoles' 255";
    EXPECT_EQ(firstSeen[14], 254);
    EXPECT_EQ(firstSeen[15], 0);
    EXPECT_EQ(firstSeen.back(), 239);
    EXPECT_EQ(c.Sent(0, 0x01).size(), 1u) << "one console query per pass";
}

TEST(SearchOnSim, ADeviceMissingItsProbeIsRemovedAndComesBackWhenItAnswersAgain) {
    ConsoleOnSim c;
    SimBus* bus = &c.Bus();
    bus->AddConverter();
    bus->AddDevice(0, SimModule(4, 0x46B, 8));
    bus->AddDevice(0, SimModule(9, 0x165, 8));
    ASSERT_TRUE(c.Open());
    c.Search();
    ASSERT_EQ(c.Controls().Count(), 2);

    std::vector<int> changed;
    c.Controls().OnChange = [&](int address) { changed.push_back(address); };
    // One lost answer: the next probe of module 4 goes unanswered.
    {
        auto lock = bus->Lock();
        SimFaults& f = bus->Find(4)->Faults();
        f.loseAnswer = SimFaultPattern::Sequence({1});
    }
    c.Controls().SetSearch(TControls::SearchOn);
    c.Controls().ScanTimer.stop();
    c.Controls().ScanCursor = 4;
    c.Controls().ScanStep();
    EXPECT_EQ(c.Controls().FindByAddress(4), nullptr);
    EXPECT_EQ(changed, std::vector<int>{4});
    ASSERT_NE(c.Controls().FindByAddress(9), nullptr);

    // The fault is spent: the same address answers at the next pass and is registered anew.
    c.Controls().ScanCursor = 4;
    c.Controls().ScanStep();
    ASSERT_NE(c.Controls().FindByAddress(4), nullptr);
    EXPECT_EQ(c.Controls().FindByAddress(4)->LastResult, 0);

    // Switched off: gone at the next probe, and stays gone.
    bus->SwitchOff(0, 9);
    changed.clear();
    c.Controls().ScanCursor = 9;
    c.Controls().ScanStep();
    c.Controls().ScanCursor = 9;
    c.Controls().ScanStep();
    EXPECT_EQ(c.Controls().FindByAddress(9), nullptr);
    EXPECT_EQ(changed, std::vector<int>{9}) << "a second miss of an absent device says nothing";
    c.Controls().SetSearch(0);
}

TEST(SearchOnSim, AnotherConsoleIsDroppedWhenStaleAndRegisteredAgainByItsReply) {
    ConsoleOnSim c;
    SimBus* bus = &c.Bus();
    bus->AddConverter();
    bus->AddConverter();
    SimDeviceConfig other = SimOf(SimDeviceKind::Console, 255);
    other.consoleId = 42;
    bus->AddDevice(1, other);
    bus->AddDevice(0, SimModule(5, 0x46B, 8));
    ASSERT_TRUE(c.Open());

    c.Search(2);
    ASSERT_EQ(c.Controls().SoftControlCount(), 1);
    const auto* console = c.Controls().FindSoftControl(42);
    ASSERT_NE(console, nullptr);
    EXPECT_EQ(console->PortIndex, 1);
    EXPECT_EQ(console->Stale, 0);

    // It stops answering: the next discovery after one unanswered round drops it.
    bus->SwitchOff(1, 255);
    c.Search(2);
    EXPECT_EQ(c.Controls().SoftControlCount(), 0);
    EXPECT_NE(c.Controls().FindByAddress(5), nullptr) << "modules are not touched by it";

    bus->SwitchOn(1, 255);
    c.Search(2);
    ASSERT_EQ(c.Controls().SoftControlCount(), 1);
    EXPECT_EQ(c.Controls().FindSoftControl(42)->LastResult, 0);
}

TEST(SearchOnSim, OurConsoleAnswersAnotherConsolesProbeOnEveryConverter) {
    ConsoleOnSim c;
    SimBus* bus = &c.Bus();
    bus->AddConverter();
    bus->AddConverter();
    SimDeviceConfig other = SimOf(SimDeviceKind::Console, 255);
    other.consoleId = 42;
    bus->AddDevice(1, other);
    ASSERT_TRUE(c.Open());
    bus->ClearRecords();
    bus->Act(1, [](SimSegment& segment, SimTimeUs now) {
        auto* sim = dynamic_cast<SimConsole*>(segment.Find(255));
        ASSERT_NE(sim, nullptr);
        sim->BroadcastProbe(now, segment);
    });
    ASSERT_TRUE(c.PumpUntil([&] { return c.Sent(-1, 0x02).size() >= 2; }));
    c.Pump(300);
    const auto replies = c.Sent(-1, 0x02);
    ASSERT_EQ(replies.size(), 2u) << "the reply goes out through all converters";
    EXPECT_EQ(replies[0][3], OwnConsoleId);
    EXPECT_EQ(replies[0][4], 42) << "addressed to the asking console";
    EXPECT_EQ(replies[0][5], 255);
    EXPECT_EQ(c.Controls().SoftControlCount(), 0) << "a probe alone registers nothing";
}

TEST(LinkQualityOnSim, FallsToNineAfterTenMissesThenRestartsAtZeroAndRecovers) {
    ConsoleOnSim c;
    SimBus* bus = &c.Bus();
    bus->AddConverter();
    bus->AddDevice(0, SimModule(6, 0x165, 8));
    ASSERT_TRUE(c.Open());
    // A module as the list holds it right after creation: 1 of 1.
    auto* module = static_cast<TCommonControl*>(
        c.Controls().Add(std::make_unique<TCommonControl>(c.Wiring().Proto(), 6)));
    module->PortIndex = 0;
    module->Version = 0x165;
    EXPECT_EQ(module->LinkQuality(), 100);

    bus->SwitchOff(0, 6);
    std::vector<int> seen;
    for (int i = 0; i < 10; ++i) {
        module->PollStatus();
        EXPECT_EQ(module->LastResult, BusNoAnswer);
        seen.push_back(module->LinkQuality());
    }
    EXPECT_EQ(seen.back(), 9) << "1 of 11";
    EXPECT_EQ(seen.front(), 50);
    module->PollStatus();
    EXPECT_EQ(module->LinkQuality(), 0) << "the window restarts without its success";
    EXPECT_EQ(module->SupplyVoltage, 0);

    bus->SwitchOn(0, 6);
    module->PollStatus();
    EXPECT_EQ(module->LastResult, 0);
    EXPECT_EQ(module->LinkQuality(), 33) << "1 of 3";
    EXPECT_DOUBLE_EQ(module->SupplyVoltage, 12.40);
}

TEST(PollCycleOnSim, PollsTheListRoundRobinAndFollowsItWhenItShrinks) {
    ConsoleOnSim c;
    SimBus* bus = &c.Bus();
    bus->AddConverter();
    bus->AddConverter();
    bus->AddDevice(0, SimModule(2, 0x165, 8));
    bus->AddDevice(1, SimModule(8, 0x165, 8));
    bus->AddDevice(0, SimModule(15, 0x165, 8));
    ASSERT_TRUE(c.Open());
    c.Search();
    ASSERT_EQ(c.Controls().Count(), 3);

    std::vector<int> polled;
    QObject::connect(&c.Wiring(), &ConsoleWiring::DevicePolled,
                     [&](int index) { polled.push_back(index); });
    int summaries = 0;
    QObject::connect(&c.Wiring(), &ConsoleWiring::SummaryChanged, [&] { ++summaries; });
    c.Wiring().RestartPollCycle();
    bus->ClearRecords();
    for (int i = 0; i < 6; ++i) {
        c.Wiring().PollStep();
    }
    EXPECT_EQ(polled, (std::vector<int>{0, 1, 2, 0, 1, 2}));
    EXPECT_EQ(StatusTargets(c), (std::vector<int>{2, 8, 15, 2, 8, 15}));
    EXPECT_EQ(c.Sent(1, 0x85).size(), 2u) << "module 8 is polled on its own converter";
    EXPECT_EQ(summaries, 6);

    // The list shrinks under the cursor: the cycle starts over from the first entry.
    c.Wiring().PollStep();
    c.Wiring().PollStep();
    ASSERT_EQ(c.Wiring().PollCursor(), 2);
    c.Controls().Delete(2);
    bus->ClearRecords();
    polled.clear();
    for (int i = 0; i < 3; ++i) {
        c.Wiring().PollStep();
    }
    EXPECT_EQ(StatusTargets(c), (std::vector<int>{2, 8}));
    EXPECT_EQ(polled, (std::vector<int>{0, 1}));
}

TEST(SearchOnSim, AModuleReportingMoreThanTheModelHoldsIsClampedAndTestedWithinIt) {
    ConsoleOnSim c;
    SimBus* bus = &c.Bus();
    bus->AddConverter();
    bus->AddDevice(0, SimModule(50, 0x46B, 600));
    ASSERT_TRUE(c.Open());
    c.Search();
    auto* module = c.Controls().ModuleAt(0);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->ChannelCount, kMaxChannels);

    bus->ClearRecords();
    c.Wiring().SetTestSelection(0);
    EXPECT_TRUE(c.Wiring().CheckSelected());
    const auto measured = c.Sent(0, 0x83);
    ASSERT_EQ(measured.size(), static_cast<size_t>(kMaxChannels));
    EXPECT_EQ(measured.back()[1] | (measured.back()[2] << 8), kMaxChannels);
    EXPECT_EQ(module->ConnectedCount(), kMaxChannels);
    EXPECT_EQ(c.Log().With(QStringLiteral("каналов: 512, подключено: 512")).size(), 1);
}
