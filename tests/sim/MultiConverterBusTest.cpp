// Several converters and several consoles on one simulated bus: every frame heard whole, once,
// through the converter it came by, whatever the other converters carry at the same time.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "../bus/BusTestSupport.h"
#include "bus/TPortProto.h"
#include "sim/SimBus.h"
#include "sim/SimBusView.h"

namespace kv {
namespace {

using kvtest::PumpUntil;

struct Heard {
    BusFrame frame;
    int converter;
};

// One console: a frame link over some converters of the bus, recording what it is handed.
struct Console {
    Console(std::shared_ptr<SimBus> bus, std::vector<int> converters)
        : proto(16, std::make_shared<SimBusView>(std::move(bus), std::move(converters))) {
        proto.OnFrame = [this](const BusFrame& f, int c) { heard.push_back({f, c}); };
    }
    int Count(uint8_t code) const {
        int n = 0;
        for (const Heard& h : heard) {
            n += h.frame[0] == code ? 1 : 0;
        }
        return n;
    }
    TPortProto proto;
    std::vector<Heard> heard;
};

SimFrame simFrame(uint8_t code, uint8_t d1, uint8_t address) {
    return MakeSimFrame(code, d1, 0, 0, 0, address);
}

class MultiConverterBusTest : public ::testing::Test {
protected:
    void SetUp() override { InitBusGlobals(); }
};

// Announcements on two segments at the same moment: on a paced wire their bytes arrive
// interleaved across the converters, and each converter's frame must still be whole.
TEST_F(MultiConverterBusTest, FramesOnTwoConvertersAtOnceAreAllHeard) {
    SimBusOptions opt;
    opt.pacing = true;
    auto bus = std::make_shared<SimBus>(opt);
    bus->AddConverter("LEFT");
    bus->AddConverter("RIGHT");
    Console console(bus, {0, 1});
    ASSERT_TRUE(console.proto.OpenPort());
    constexpr int kRounds = 20;
    for (int i = 0; i < kRounds; ++i) {
        {
            auto lock = bus->Lock();
            bus->InjectFrame(0, simFrame(0x70, static_cast<uint8_t>(i), 10));
            bus->InjectFrame(1, simFrame(0x71, static_cast<uint8_t>(i), 20));
        }
        PumpUntil([] { return false; }, 12);
    }
    PumpUntil([&] { return console.heard.size() >= 2 * kRounds; }, 2000);
    EXPECT_EQ(console.Count(0x70), kRounds);
    EXPECT_EQ(console.Count(0x71), kRounds);
    for (const Heard& h : console.heard) {
        EXPECT_EQ(h.converter, h.frame[0] == 0x70 ? 0 : 1);
    }
}

// Two consoles, each with a converter on each of two segments. A broadcast goes out through
// both of A's converters, so B hears it on both of its own: it must act on it once. The same
// frame heard again on one converter is a new frame and is handed over again.
TEST_F(MultiConverterBusTest, ABroadcastHeardOnTwoConvertersActsOnce) {
    auto bus = std::make_shared<SimBus>();
    bus->AddConverter("A-LEFT");
    bus->AddConverter("A-RIGHT");
    bus->AddConverter("B-LEFT", "second console", 0);
    bus->AddConverter("B-RIGHT", "second console", 1);
    Console a(bus, {0, 1});
    Console b(bus, {2, 3});
    ASSERT_TRUE(a.proto.OpenPort());
    ASSERT_TRUE(b.proto.OpenPort());
    ASSERT_EQ(a.proto.ConverterCount(), 2);
    ASSERT_EQ(b.proto.ConverterCount(), 2);

    const BusFrame stop{0x90, 0, 42, 0, 0, 0};
    ASSERT_EQ(a.proto.Send(stop, -1), BusOk);
    ASSERT_TRUE(PumpUntil([&] { return !b.heard.empty(); }));
    PumpUntil([] { return false; }, 250);
    ASSERT_EQ(b.Count(0x90), 1);
    EXPECT_EQ(b.heard[0].frame, stop);

    // Sent on one converter only: heard once, on B's converter of that segment.
    b.heard.clear();
    const BusFrame query{0x03, 0, 0, 7, 0, 0xFF};
    ASSERT_EQ(a.proto.Send(query, 1), BusOk);
    ASSERT_TRUE(PumpUntil([&] { return !b.heard.empty(); }));
    EXPECT_EQ(b.heard[0].converter, 1);

    // The same frame twice on one converter: two frames.
    PumpUntil([] { return false; }, TPort::kDuplicateWindowMs + 30);
    b.heard.clear();
    ASSERT_EQ(a.proto.Send(query, 0), BusOk);
    ASSERT_EQ(a.proto.Send(query, 0), BusOk);
    PumpUntil([&] { return b.heard.size() >= 2; });
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(b.Count(0x03), 2);

    // Long after, the broadcast again is acted on again (once).
    b.heard.clear();
    PumpUntil([] { return false; }, TPort::kDuplicateWindowMs + 30);
    ASSERT_EQ(a.proto.Send(stop, -1), BusOk);
    PumpUntil([&] { return !b.heard.empty(); });
    PumpUntil([] { return false; }, 250);
    EXPECT_EQ(b.Count(0x90), 1);
}

// Two consoles on one paced wire: B's frame is still on the line when A writes, so A's echo
// comes back behind it. A's write went out and B's frame is heard by A.
TEST_F(MultiConverterBusTest, AnotherConsolesFrameJustBeforeOurEchoIsHeardAndOurWriteHolds) {
    SimBusOptions opt;
    opt.pacing = true;
    auto bus = std::make_shared<SimBus>(opt);
    bus->AddConverter("A");
    Console a(bus, {0});
    ASSERT_TRUE(a.proto.OpenPort());
    constexpr int kRounds = 10;
    int sent = 0;
    for (int i = 0; i < kRounds; ++i) {
        // Another console's clock stop starts on the wire; A fires a moment later.
        bus->InjectFrame(0, simFrame(0x90, static_cast<uint8_t>(i), 0));
        sent += a.proto.Send(BusFrame{0x84, 3, 0, 0x80, 0, 5}, 0) == BusOk ? 1 : 0;
        PumpUntil([] { return false; }, 10);
    }
    PumpUntil([&] { return a.Count(0x90) >= kRounds; }, 1000);
    EXPECT_EQ(sent, kRounds) << "every fire went out and must be reported sent";
    EXPECT_EQ(a.Count(0x90), kRounds) << "every stop of the other console is heard";
}

// Fire commands seen on a segment's wire since the records were cleared, by module address.
std::vector<int> firesOn(SimBus& bus, int converter) {
    std::vector<int> out;
    for (const SimRecord& r : bus.Records(converter)) {
        if (r.direction == SimDirection::FromConsole && r.bytes.size() >= 7 && r.bytes[0] == 0x84) {
            out.push_back(r.bytes[5]);
        }
    }
    return out;
}

// A converter unplugged and plugged back: each module stays on its own wire. While its
// converter is gone a module's fire goes nowhere (and says so); the other converter's modules
// work on; back, the converter has its old number again.
TEST_F(MultiConverterBusTest, ConvertersKeepTheirNumbersAcrossALossAndAReturn) {
    auto bus = std::make_shared<SimBus>();
    bus->AddConverter("LEFT");
    bus->AddConverter("RIGHT");
    Console console(bus, {0, 1});
    int lost = 0;
    int restored = 0;
    console.proto.OnPortLost = [&] { ++lost; };
    console.proto.OnPortRestored = [&] { ++restored; };
    ASSERT_TRUE(console.proto.OpenPort());
    double unused = 0;
    const auto fire = [&](int address, int converter) {
        return console.proto.FireChannel(address, 0, -1, converter, false, unused);
    };

    bus->Unplug(0);
    ASSERT_TRUE(PumpUntil([&] { return lost == 1 && restored == 1; }));
    EXPECT_EQ(console.proto.ConverterCount(), 1);
    bus->ClearRecords();
    EXPECT_EQ(fire(7, 1), BusOk) << "the healthy converter's module";
    EXPECT_NE(fire(3, 0), BusOk) << "the lost converter's module: not fired, and not reported so";
    EXPECT_EQ(firesOn(*bus, 1), std::vector<int>{7});
    EXPECT_TRUE(firesOn(*bus, 0).empty());

    bus->Replug(0);
    ASSERT_TRUE(PumpUntil([&] { return restored == 2; }));
    EXPECT_EQ(console.proto.ConverterCount(), 2);
    bus->ClearRecords();
    EXPECT_EQ(fire(3, 0), BusOk);
    EXPECT_EQ(fire(7, 1), BusOk);
    EXPECT_EQ(firesOn(*bus, 0), std::vector<int>{3});
    EXPECT_EQ(firesOn(*bus, 1), std::vector<int>{7});

    // The other way round: the first converter stays, the second goes and comes back.
    bus->Unplug(1);
    ASSERT_TRUE(PumpUntil([&] { return lost == 2 && restored == 3; }));
    bus->ClearRecords();
    EXPECT_EQ(fire(3, 0), BusOk);
    EXPECT_NE(fire(7, 1), BusOk);
    EXPECT_EQ(firesOn(*bus, 0), std::vector<int>{3});
    EXPECT_TRUE(firesOn(*bus, 1).empty());
    bus->Replug(1);
    ASSERT_TRUE(PumpUntil([&] { return restored == 4; }));
    EXPECT_EQ(fire(7, 1), BusOk);
}

}  // namespace
}  // namespace kv
