// Faults of the simulated bus as the bus layer sees them: lost, corrupt, late and noisy answers,
// relays that drop frames, and a converter that is unplugged and plugged in again.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>

#include "bus/TPortProto.h"
#include "core/Clock.h"
#include "sim/SimBus.h"
#include "sim/SimRig.h"

namespace kv {
namespace {

SimDeviceConfig module(int address, SimFaults faults = {}, int relay = -1) {
    SimDeviceConfig c;
    c.address = address;
    c.version = 0x46B;
    c.channels = 16;
    c.relayTag = relay;
    c.faults = faults;
    return c;
}

SimFaults seq(SimFaultPattern SimFaults::*which, std::vector<uint32_t> events) {
    SimFaults f;
    f.*which = SimFaultPattern::Sequence(std::move(events));
    return f;
}

// A protocol object over a simulated bus with one converter; devices are added before Open().
class SimFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitBusGlobals();
        SimBusOptions o;
        o.seed = 11;
        bus = std::make_shared<SimBus>(o);
        bus->AddConverter();
    }
    void TearDown() override { proto.reset(); }

    void Open() {
        proto = std::make_unique<TPortProto>(16, bus);
        proto->OnPortLost = [this] { ++lost; };
        proto->OnPortRestored = [this] { ++restored; };
        ASSERT_TRUE(proto->OpenPort());
    }
    int Version(int address, int relay = -1) {
        int v = 0;
        return proto->ReadVersion(address, relay, 0, v);
    }
    // Console frames that went out to an address (the recorder's tx records).
    int SentTo(int address) {
        int n = 0;
        for (const auto& r : bus->Records(0)) {
            n += r.direction == SimDirection::FromConsole && r.bytes.size() == 7 &&
                 r.bytes[5] == address;
        }
        return n;
    }
    bool DispatchUntil(const std::function<bool()>& done, uint32_t ms = 3000) {
        const uint32_t start = TickCount();
        while (!done()) {
            if (ElapsedSince(start) > ms) {
                return false;
            }
            proto->DispatchPending();
            QCoreApplication::processEvents();
            SleepMs(2);
        }
        return true;
    }

    std::shared_ptr<SimBus> bus;
    std::unique_ptr<TPortProto> proto;
    int lost = 0;
    int restored = 0;
};

TEST_F(SimFaultTest, LostCorruptAndLateAnswers) {
    bus->AddDevice(0, module(5, seq(&SimFaults::loseAnswer, {1, 3})));
    bus->AddDevice(0, module(6, seq(&SimFaults::corrupt, {2})));
    SimFaults late = seq(&SimFaults::late, {1});
    late.lateMs = 300;  // beyond the answer window, and beyond the next exchange's too
    bus->AddDevice(0, module(7, late));
    SimFaults slow = seq(&SimFaults::late, {1});
    slow.lateMs = 30;  // late, but inside the window
    bus->AddDevice(0, module(8, slow));
    Open();

    EXPECT_EQ(Version(5), BusNoAnswer);
    EXPECT_EQ(Version(5), BusOk);
    EXPECT_EQ(Version(5), BusNoAnswer);
    EXPECT_EQ(Version(5), BusOk);

    EXPECT_EQ(Version(6), BusOk);
    EXPECT_EQ(Version(6), BusTransferError);
    EXPECT_EQ(Version(6), BusOk);

    EXPECT_EQ(Version(7), BusNoAnswer);
    SleepMs(300);  // the late answer comes and goes as an unsolicited frame
    int v = 0;
    EXPECT_EQ(proto->ReadVersion(7, -1, 0, v), BusOk);
    EXPECT_EQ(v, 0x46B);

    const uint32_t t0 = TickCount();
    EXPECT_EQ(Version(8), BusOk);
    EXPECT_GE(ElapsedSince(t0), 30u);
}

TEST_F(SimFaultTest, NoiseBetweenFramesLetsTheNextExchangeSucceed) {
    SimFaults noisy;
    noisy.noise = SimFaultPattern::Always();
    noisy.noiseBytes = 5;
    bus->AddDevice(0, module(5, noisy));
    Open();
    for (int i = 0; i < 10; ++i) {
        int v = 0;
        ASSERT_EQ(proto->ReadVersion(5, -1, 0, v), BusOk) << "round " << i;
        EXPECT_EQ(v, 0x46B);
        // More garbage on the wire between exchanges, as from a device not modelled.
        bus->InjectNoise(0, {0x7F, 0x00, 0x13, 0x7F});
        SleepMs(5);
    }
    int noiseRecords = 0;
    for (const auto& r : bus->Records(0)) {
        noiseRecords += r.direction == SimDirection::Noise;
    }
    EXPECT_EQ(noiseRecords, 20);
}

TEST_F(SimFaultTest, ConverterFaultsFromARigHitEveryDevice) {
    SimRig rig;
    std::string error;
    ASSERT_TRUE(
        SimRig::Parse("converter lose=seq:2 corrupt=seq:4\n"
                      "module address=5\nmodule address=9 version=160\n",
                      rig, error))
        << error;
    bus = rig.Build();
    Open();
    EXPECT_EQ(Version(5), BusOk);
    EXPECT_EQ(Version(9), BusNoAnswer);
    EXPECT_EQ(Version(5), BusOk);
    // The lost answer was not counted by the corrupt pattern: its fourth event is this one.
    EXPECT_EQ(Version(9), BusOk);
    EXPECT_EQ(Version(5), BusTransferError);
}

TEST_F(SimFaultTest, RelayRepeatsUntilADroppedFrameGetsThrough) {
    bus->AddDevice(0, module(12, seq(&SimFaults::dropRequest, {1}), 5));
    bus->AddDevice(0, module(13, seq(&SimFaults::dropRequest, {1, 2}), 5));
    bus->AddDevice(0, module(14, seq(&SimFaults::dropRequest, {1})));
    Open();

    // One dropped copy: the repeat is answered.
    EXPECT_EQ(Version(12, 5), BusOk);
    EXPECT_EQ(SentTo(12), 2);
    // Two dropped copies: send, wait, send, wait, wait, and no third copy.
    EXPECT_EQ(Version(13, 5), BusNoAnswer);
    EXPECT_EQ(SentTo(13), 2);
    EXPECT_EQ(Version(13, 5), BusOk);  // the drops are used up
    // Without a relay tag the request goes out once.
    EXPECT_EQ(Version(14), BusNoAnswer);
    EXPECT_EQ(SentTo(14), 1);
    {
        auto lock = bus->Lock();
        EXPECT_EQ(bus->Find(12)->DroppedRequests(), 1u);
        EXPECT_EQ(bus->Find(13)->DroppedRequests(), 2u);
    }

    // Identification through the relay: the channel count and the relay trailer.
    int channels = 0, relay = -1;
    EXPECT_EQ(proto->IdentifyModule(12, 0, channels, relay), BusOk);
    EXPECT_EQ(channels, 16);
    EXPECT_EQ(relay, 5);
}

TEST_F(SimFaultTest, UnpluggedConverterIsLostAndReturnsWhenPluggedIn) {
    bus->AddDevice(0, module(5));
    Open();
    ASSERT_EQ(Version(5), BusOk);

    bus->Unplug(0);
    EXPECT_NE(Version(5), BusOk);
    ASSERT_TRUE(DispatchUntil([this] { return lost > 0; }));
    EXPECT_FALSE(bus->IsOpen(0));
    EXPECT_NE(Version(5), BusOk);

    bus->Replug(0);
    ASSERT_TRUE(DispatchUntil([this] { return restored > 0; }));
    EXPECT_TRUE(bus->IsOpen(0));
    EXPECT_EQ(Version(5), BusOk);
    EXPECT_EQ(lost, 1);
}

}  // namespace
}  // namespace kv
