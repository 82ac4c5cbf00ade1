#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <vector>

#include "FakeRig.h"
#include "NoConverters.h"
#include "ScriptedConverter.h"
#include "devices/TAutoControl.h"
#include "devices/TControls.h"
#include "devices/THVControl.h"
#include "devices/TMotorControl.h"
#include "devices/TRadioModule.h"
#include "devices/TRemoteControl.h"
#include "devices/TSoftControl.h"
#include "util/SystemUtils.h"

using namespace kv;

namespace {

// Runs n scan ticks by hand (the timer is only a way to space them).
void Steps(TControls& c, int n) {
    c.ScanTimer.stop();
    for (int i = 0; i < n; ++i) {
        c.ScanStep();
    }
}

std::vector<uint8_t> Frame6(uint8_t code, uint8_t d1, uint8_t d2, uint8_t d3, uint8_t d4,
                            uint8_t address) {
    return {code, d1, d2, d3, d4, address};
}

// Frames written with this code, as seen on the wire (echo-free: what the console sent).
std::vector<std::vector<uint8_t>> WritesOf(const ScriptedConverter& conv, uint8_t code) {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& w : conv.Writes()) {
        if (!w.bytes.empty() && w.bytes[0] == code) {
            out.push_back(w.bytes);
        }
    }
    return out;
}

}  // namespace

TEST(BusManager, SearchFindsTheRigInAddressOrderWithClassesRelaysAndConverters) {
    RigBus bus(2);
    bus.rig.Add({.address = 0, .converter = 0, .version = 0x146});
    bus.rig.Add({.address = 241, .converter = 1, .version = 0x101});
    bus.rig.Add({.address = 5, .converter = 0, .type = 'A', .channels = 32});
    bus.rig.Add({.address = 3, .converter = 1, .type = 'Q', .channels = 8, .relay = 0x21});
    bus.rig.Add({.address = 7, .converter = 0, .type = 'P', .channels = 1});
    bus.rig.Add({.address = 9, .converter = 0, .type = 'A', .channels = 4});
    bus.rig.Add({.address = 12, .converter = 1, .clockAnswers = false, .channels = 16});
    bus.rig.Add({.address = 220, .converter = 0});  // probed, never registered

    TControls controls(bus.proto);
    int changes = 0;
    controls.OnChange = [&](int) { ++changes; };
    std::vector<int> progress;
    controls.OnSearchProgress = [&](int percent, int address) {
        progress.push_back(address);
        if (address == 255) {
            EXPECT_EQ(percent, 100);
        }
        if (address == 0) {
            EXPECT_EQ(percent, 0);
        }
    };
    controls.SetSearch(TControls::SearchOn);
    EXPECT_TRUE(controls.ScanTimer.isActive());
    EXPECT_EQ(controls.ScanTimer.interval(), 70);
    Steps(controls, 256);
    controls.SetSearch(0);
    EXPECT_FALSE(controls.ScanTimer.isActive());
    controls.SortByAddress();

    // The scan runs 240..255, then 0..239.
    ASSERT_EQ(progress.size(), 256u);
    EXPECT_EQ(progress.front(), 240);
    EXPECT_EQ(progress[15], 255);
    EXPECT_EQ(progress[16], 0);
    EXPECT_EQ(progress.back(), 239);

    ASSERT_EQ(controls.Count(), 7);
    const int expectedAddress[] = {0, 3, 5, 7, 9, 12, 241};
    const uint8_t expectedKind[] = {KindRemoteControl, KindHVControl, KindAutoControl,
                                    KindMotorControl,  KindHVControl, KindAutoControl,
                                    KindRadioModule};
    const int expectedPort[] = {0, 1, 0, 0, 0, 1, 1};
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(controls.Items(i)->Address, expectedAddress[i]);
        EXPECT_EQ(controls.Items(i)->Kind, expectedKind[i]);
        EXPECT_EQ(controls.Items(i)->PortIndex, expectedPort[i]);
        EXPECT_EQ(controls.Items(i)->LastResult, 0);
    }
    EXPECT_EQ(controls.FindByAddress(3)->RelayId, 0x21);
    EXPECT_EQ(controls.FindByAddress(5)->RelayId, -1);
    EXPECT_EQ(controls.FindByAddress(12)->RelayId, -1);
    EXPECT_EQ(controls.FindByAddress(220), nullptr);
    auto* plain = static_cast<TCommonControl*>(controls.FindByAddress(5));
    EXPECT_EQ(plain->ChannelCount, 32);
    EXPECT_EQ(plain->Version, 0x46B);
    EXPECT_EQ(plain->TypeLetter, 'A');
    EXPECT_DOUBLE_EQ(plain->SupplyVoltage, 11.25);
    EXPECT_EQ(plain->Mode, ModeTest);
    EXPECT_EQ(plain->Temperature, 23);
    EXPECT_EQ(controls.FindByAddress(0)->Version, 0x146);

    EXPECT_EQ(controls.ModuleCount(), 5);
    EXPECT_EQ(controls.RadioUnitCount(), 1);
    EXPECT_EQ(controls.HasRemoteControl(), 1);
    EXPECT_EQ(controls.FirstModuleIndex(), 1);
    EXPECT_EQ(controls.LastModuleIndex(), 5);
    EXPECT_EQ(changes, 7);
}

TEST(BusManager, AMissedProbeRemovesTheDeviceAndRaisesOnChange) {
    RigBus bus;
    bus.rig.Add({.address = 5});
    bus.rig.Add({.address = 6});
    TControls controls(bus.proto);
    ASSERT_NE(controls.RegisterDevice(5, 0), nullptr);
    ASSERT_NE(controls.RegisterDevice(6, 0), nullptr);
    std::vector<int> changed;
    controls.OnChange = [&](int address) { changed.push_back(address); };

    bus.rig.SetSilent(5, true);
    controls.SetSearch(TControls::SearchOn);
    controls.ScanCursor = 5;
    Steps(controls, 2);  // 5 misses once, 6 answers
    EXPECT_EQ(controls.FindByAddress(5), nullptr);
    ASSERT_NE(controls.FindByAddress(6), nullptr);
    EXPECT_EQ(changed, (std::vector<int>{5, 6}));

    // An address that was never registered raises nothing when it stays silent.
    changed.clear();
    controls.ScanCursor = 100;
    Steps(controls, 1);
    EXPECT_TRUE(changed.empty());
}

TEST(BusManager, AnAddressOutsideTheRangesRegistersNothing) {
    RigBus bus;
    bus.rig.Add({.address = 220});
    TControls controls(bus.proto);
    int changes = 0;
    controls.OnChange = [&](int) { ++changes; };
    controls.SetSearch(TControls::SearchOn);
    controls.ScanCursor = 220;
    Steps(controls, 1);
    EXPECT_EQ(controls.Count(), 0);
    EXPECT_EQ(changes, 0);
}

TEST(BusManager, AModuleFailingItsIdentificationIsNotRegistered) {
    RigBus bus;
    bus.rig.Add({.address = 8});
    TControls controls(bus.proto);
    // The clock answer comes, then the module falls silent before identifying itself.
    controls.OnChange = [&](int) { FAIL() << "no event expected"; };
    bus.rig.Converters()->QueueAnswer(ScriptedConverter::Frame(0x76, 0, 0, 'A', 0, 8), 2);
    bus.rig.SetSilent(8, true);
    EXPECT_EQ(controls.RegisterDevice(8, 0), nullptr);
    EXPECT_EQ(controls.Count(), 0);
}

TEST(BusManager, ConsolesAreDroppedAtDiscoveryAndRegisteredAgainByTheirReply) {
    RigBus bus;
    TControls controls(bus.proto);
    controls.SetSearch(TControls::SearchOn);
    // Two other consoles replied during an earlier search.
    const auto reply = [](uint8_t id) { return Frame6(0x02, 1, 0, id, OwnConsoleId, 255); };
    controls.HandleUnsolicited(reply(40).data(), 0);
    controls.HandleUnsolicited(reply(41).data(), 0);
    ASSERT_EQ(controls.SoftControlCount(), 2);
    EXPECT_EQ(controls.Items(0)->Kind, KindSoftControl);

    // A new search marks both stale; the discovery tick (the 16th) drops them and asks again.
    bus.rig.Converters()->ClearWrites();
    controls.SetSearch(TControls::SearchOn);
    Steps(controls, 15);
    EXPECT_EQ(controls.SoftControlCount(), 2);
    Steps(controls, 1);
    EXPECT_EQ(controls.SoftControlCount(), 0);
    const auto probes = WritesOf(*bus.rig.Converters(), 0x01);
    ASSERT_EQ(probes.size(), 1u);
    EXPECT_EQ(probes[0][3], OwnConsoleId);
    EXPECT_EQ(probes[0][4], 0);
    EXPECT_EQ(probes[0][5], 255);

    // The reply of one of them brings it back; a reply while no search runs is ignored.
    controls.HandleUnsolicited(reply(41).data(), 0);
    ASSERT_EQ(controls.SoftControlCount(), 1);
    EXPECT_EQ(static_cast<TSoftControl*>(controls.Items(0))->ConsoleId, 41);
    controls.SetSearch(0);
    controls.HandleUnsolicited(reply(40).data(), 0);
    EXPECT_EQ(controls.SoftControlCount(), 1);

    // A console that replied since the last discovery survives the next one.
    controls.SetSearch(TControls::SearchOn);
    Steps(controls, 15);
    controls.HandleUnsolicited(reply(41).data(), 0);
    Steps(controls, 1);
    EXPECT_EQ(controls.SoftControlCount(), 1);
}

TEST(BusManager, ConsoleProbesAreAnsweredOnlyWhenAimedAtUsOrAll) {
    RigBus bus;
    TControls controls(bus.proto);
    const uint8_t other = OwnConsoleId == 200 ? 201 : 200;
    bus.rig.Converters()->ClearWrites();
    controls.HandleUnsolicited(Frame6(0x01, 0, 0, 77, other, 255).data(), 0);
    EXPECT_TRUE(WritesOf(*bus.rig.Converters(), 0x02).empty());

    controls.HandleUnsolicited(Frame6(0x01, 0, 0, 77, 0, 255).data(), 0);
    controls.HandleUnsolicited(Frame6(0x01, 0, 0, 78, OwnConsoleId, 255).data(), 0);
    // The replies wait their random pause on a timer: the handler itself returns at once.
    EXPECT_TRUE(WritesOf(*bus.rig.Converters(), 0x02).empty());
    QElapsedTimer wall;
    wall.start();
    while (WritesOf(*bus.rig.Converters(), 0x02).size() < 2 && wall.elapsed() < 2000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    auto replies = WritesOf(*bus.rig.Converters(), 0x02);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0][1], OwnMajorVersion());
    EXPECT_EQ(replies[0][3], OwnConsoleId);
    EXPECT_EQ(replies[0][5], 255);
    // Each prober gets its own reply; the pauses may put them in either order.
    std::sort(replies.begin(), replies.end());
    EXPECT_EQ(replies[0][4], 77);
    EXPECT_EQ(replies[1][4], 78);
}

TEST(BusManager, AnnouncementsRegisterOnlyDuringASearch) {
    RigBus bus;
    bus.rig.Add({.address = 17, .channels = 8});
    TControls controls(bus.proto);
    const auto hello = Frame6(0x70, 'O', 'k', 0, 8, 17);
    controls.HandleUnsolicited(hello.data(), 0);
    EXPECT_EQ(controls.Count(), 0);
    controls.SetSearch(TControls::SearchOn);
    controls.ScanTimer.stop();
    controls.HandleUnsolicited(hello.data(), 0);
    ASSERT_EQ(controls.Count(), 1);
    EXPECT_EQ(controls.Items(0)->Address, 17);
    // Other codes from a module address are not announcements.
    controls.HandleUnsolicited(Frame6(0x7A, 0, 0, 0, 0, 18).data(), 0);
    EXPECT_EQ(controls.Count(), 1);
}

TEST(BusManager, LookupsAndStableSort) {
    OfflineBus bus;
    TControls controls(bus.proto);
    controls.Add(std::make_unique<TSoftControl>(bus.proto, 9));
    controls.Add(std::make_unique<TRadioModule>(bus.proto, 245));
    controls.Add(std::make_unique<TRemoteControl>(bus.proto));
    auto* later =
        static_cast<TSoftControl*>(controls.Add(std::make_unique<TSoftControl>(bus.proto, 9)));
    EXPECT_EQ(controls.FirstModuleIndex(), -1);
    EXPECT_EQ(controls.LastModuleIndex(), -1);
    EXPECT_EQ(controls.ModuleCount(), 0);
    EXPECT_EQ(controls.FindSoftControl(9), later);
    EXPECT_EQ(controls.FindSoftControl(10), nullptr);
    controls.Items(1)->LastResult = -3;
    EXPECT_EQ(controls.RadioUnitsInError(), 1);

    controls.Add(std::make_unique<TAutoControl>(bus.proto, 4));
    controls.Add(std::make_unique<TAutoControl>(bus.proto, 2));
    TCommonDevice* first = controls.Items(0);
    controls.SortByAddress();
    const int order[] = {0, 2, 4, 245, 255, 255};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(controls.Items(i)->Address, order[i]);
    }
    // Consoles keep their registration order among themselves.
    EXPECT_EQ(controls.Items(4), first);
    EXPECT_EQ(controls.Items(5), later);
    EXPECT_EQ(controls.Items(6), nullptr);
    EXPECT_EQ(controls.ModuleAt(3), nullptr);
    EXPECT_EQ(controls.ModuleAt(1)->Address, 2);

    // SetItem hands the old entry back instead of freeing it.
    auto old = controls.SetItem(1, std::make_unique<TAutoControl>(bus.proto, 3));
    ASSERT_TRUE(old);
    EXPECT_EQ(old->Address, 2);
    EXPECT_EQ(controls.Items(1)->Address, 3);
}
