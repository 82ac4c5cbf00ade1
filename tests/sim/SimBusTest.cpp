#include <gtest/gtest.h>

#include "FakeClock.h"
#include "SimTestHelpers.h"
#include "sim/SimFiringModule.h"

namespace kv {
namespace {

using simtest::Frame;
using simtest::RawLink;

SimDeviceConfig moduleAt(int address, int version, int channels) {
    SimDeviceConfig c;
    c.address = address;
    c.version = version;
    c.channels = channels;
    return c;
}

class SimBusTest : public ::testing::Test {
protected:
    FakeClock clock{1000};
    ScopedClock scoped{clock};
};

TEST_F(SimBusTest, EchoThenAnswerAfterTurnaround) {
    SimBus bus;
    bus.AddConverter();
    bus.AddDevice(0, moduleAt(5, 0x46B, 16));
    RawLink link(bus);
    ASSERT_TRUE(link.Ok());
    const auto req = Frame(0x80, 0, 1, 2, 3, 5);
    ASSERT_EQ(link.Write(req), ConvOk);
    // The echo is there at once; the answer only after the turnaround.
    EXPECT_EQ(link.Read(7, 0), req);
    uint32_t waiting = 99;
    ASSERT_EQ(bus.GetQueueStatus(link.Handle(), waiting), ConvOk);
    EXPECT_EQ(waiting, 0u);
    EXPECT_EQ(link.Read(7, 10), Frame(0x7F, 'V', '4', '6', 'B', 5));
}

TEST_F(SimBusTest, PacingGivesWireTimeBothWays) {
    SimBusOptions o;
    o.pacing = true;
    SimBus bus(o);
    bus.AddConverter();
    bus.AddDevice(0, moduleAt(5, 0x46B, 16));
    RawLink link(bus);
    const uint32_t t0 = clock.TickCount();
    ASSERT_EQ(link.Write(Frame(0x80, 0, 1, 2, 3, 5)), ConvOk);
    EXPECT_EQ(link.Read(7, 100).size(), 7u);
    const uint32_t echoAt = clock.TickCount() - t0;
    EXPECT_GE(echoAt, 3u);  // 7 bytes x 0.521 ms
    EXPECT_LE(echoAt, 5u);
    EXPECT_EQ(link.Read(7, 100).size(), 7u);
    const uint32_t answerAt = clock.TickCount() - t0;
    // Request on the wire, 1 ms turnaround, answer on the wire: 8.3 ms.
    EXPECT_GE(answerAt, 8u);
    EXPECT_LE(answerAt, 10u);
    const auto rec = bus.Records(0);
    ASSERT_EQ(rec.size(), 2u);
    EXPECT_EQ(rec[1].timeUs - rec[0].endUs, 1000u);
}

TEST_F(SimBusTest, OtherAddressesAndBadFramesGetNoAnswer) {
    SimBus bus;
    bus.AddConverter();
    bus.AddDevice(0, moduleAt(5, 0x46B, 16));
    RawLink link(bus);
    EXPECT_TRUE(link.Exchange(Frame(0x80, 0, 1, 2, 3, 6), 7, 30).empty());
    auto bad = Frame(0x80, 0, 1, 2, 3, 5);
    bad[6] ^= 1;
    EXPECT_TRUE(link.Exchange(bad, 7, 30).empty());
    // Garbage before a valid frame does not stop the device from hearing it.
    auto noisy = std::vector<uint8_t>{0x13, 0x99};
    const auto req = Frame(0x80, 0, 1, 2, 3, 5);
    noisy.insert(noisy.end(), req.begin(), req.end());
    EXPECT_EQ(link.Exchange(noisy).size(), 7u);
}

TEST_F(SimBusTest, WrongLineSettingsReachNoDevice) {
    SimBus bus;
    bus.AddConverter();
    bus.AddDevice(0, moduleAt(5, 0x46B, 16));
    RawLink link(bus);
    ASSERT_EQ(bus.SetBaudRate(link.Handle(), 9600), ConvOk);
    EXPECT_TRUE(link.Exchange(Frame(0x80, 0, 1, 2, 3, 5), 7, 30).empty());
    ASSERT_EQ(bus.SetBaudRate(link.Handle(), 19200), ConvOk);
    EXPECT_EQ(link.Exchange(Frame(0x80, 0, 1, 2, 3, 5)).size(), 7u);
}

TEST_F(SimBusTest, UnplugFailsTheHandleAndReplugListsAgain) {
    SimBus bus;
    bus.AddConverter("A");
    bus.AddConverter("B");
    uint32_t n = 0;
    bus.CountDevices(n);
    EXPECT_EQ(n, 2u);
    RawLink a(bus, 0);
    bus.Unplug(0);
    uint32_t waiting = 0;
    EXPECT_NE(bus.GetQueueStatus(a.Handle(), waiting), ConvOk);
    bus.CountDevices(n);
    ASSERT_EQ(n, 1u);
    std::string serial;
    bus.SerialNumber(0, serial);
    EXPECT_EQ(serial, "B");  // the list closes up behind the missing converter
    bus.Replug(0);
    bus.CountDevices(n);
    EXPECT_EQ(n, 2u);
    EXPECT_NE(bus.GetQueueStatus(a.Handle(), waiting), ConvOk);  // the old handle stays dead
    ConverterHandle h = kNoConverterHandle;
    EXPECT_EQ(bus.Open(0, h), ConvOk);
    EXPECT_EQ(bus.GetQueueStatus(h, waiting), ConvOk);
    bus.Close(h);
}

TEST_F(SimBusTest, PurgeDropsWhatArrivedButNotWhatIsStillOnTheWire) {
    SimBus bus;
    bus.AddConverter();
    bus.AddDevice(0, moduleAt(5, 0x46B, 16));
    RawLink link(bus);
    ASSERT_EQ(link.Write(Frame(0x80, 0, 1, 2, 3, 5)), ConvOk);
    ASSERT_EQ(bus.Purge(link.Handle(), ConvPurgeRx), ConvOk);  // the echo goes
    EXPECT_EQ(link.Read(7, 10), Frame(0x7F, 'V', '4', '6', 'B', 5));
}

TEST_F(SimBusTest, ConvertersOnOneWireHearEachOtherAndTheDevicesHearBoth) {
    SimBus bus;
    bus.AddConverter("A");
    bus.AddConverter("OTHER");  // a segment of its own: hears nothing of the shared wire
    ASSERT_EQ(bus.AddConverter({}, "second console", 0), 2);
    bus.AddDevice(0, moduleAt(5, 0x46B, 16));
    EXPECT_EQ(&bus.Segment(2), &bus.Segment(0));
    EXPECT_EQ(bus.Find(5, 2), bus.Find(5, 0));
    std::string serial;
    ASSERT_EQ(bus.SerialNumber(2, serial), ConvOk);
    EXPECT_EQ(serial, "KVSIM3");
    RawLink a(bus, 0);
    RawLink other(bus, 1);
    RawLink b(bus, 2);
    ASSERT_TRUE(a.Ok() && other.Ok() && b.Ok());

    // A asks the module: A gets echo and answer, B hears both on the wire.
    const auto req = Frame(0x80, 0, 1, 2, 3, 5);
    const auto answer = Frame(0x7F, 'V', '4', '6', 'B', 5);
    EXPECT_EQ(a.Exchange(req), answer);
    auto heard = b.Read(14, 20);
    EXPECT_EQ(heard, simtest::Concat(req, answer));
    // B's own request reaches the module too; A hears it and the answer.
    EXPECT_EQ(b.Exchange(req), answer);
    EXPECT_EQ(a.Read(14, 20), simtest::Concat(req, answer));
    // A frame between consoles: B's status query reaches A, A's reply reaches B.
    const auto query = Frame(0x03, 0, 0, 42, 0, 0xFF);
    const auto reply = Frame(0x04, 1, 0, 17, 42, 0xFF);
    ASSERT_EQ(b.Write(query), ConvOk);
    EXPECT_EQ(b.Read(7, 20), query);  // its own echo
    EXPECT_EQ(a.Read(7, 20), query);
    ASSERT_EQ(a.Write(reply), ConvOk);
    EXPECT_EQ(a.Read(7, 20), reply);
    EXPECT_EQ(b.Read(7, 20), reply);
    EXPECT_TRUE(other.Read(1, 5).empty());

    // The recorder names the converter that wrote each console frame; the wire's other frames
    // carry the segment's first converter.
    const auto records = bus.Records(2);
    ASSERT_EQ(records.size(), 6u);
    const int writers[] = {0, 0, 2, 0, 2, 0};
    const SimDirection directions[] = {SimDirection::FromConsole, SimDirection::FromDevice,
                                       SimDirection::FromConsole, SimDirection::FromDevice,
                                       SimDirection::FromConsole, SimDirection::FromConsole};
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].converter, writers[i]) << i;
        EXPECT_EQ(records[i].direction, directions[i]) << i;
    }
    EXPECT_EQ(bus.Records(0).size(), records.size());
    EXPECT_EQ(bus.Records().size(), records.size()) << "the shared wire is counted once";
}

TEST_F(SimBusTest, EachConverterOnAWireKeepsItsOwnSettingsAndSurvivesTheOthersUnplug) {
    SimBus bus;
    bus.AddConverter("A");
    bus.AddConverter("B", "second console", 0);
    bus.AddDevice(0, moduleAt(5, 0x46B, 16));
    const auto req = Frame(0x80, 0, 1, 2, 3, 5);
    const auto answer = Frame(0x7F, 'V', '4', '6', 'B', 5);
    {
        RawLink a(bus, 0);
        RawLink b(bus, 1);
        // B's wrong baud rate garbles only B's writes; A's line is as it was.
        ASSERT_EQ(bus.SetBaudRate(b.Handle(), 9600), ConvOk);
        EXPECT_TRUE(b.Exchange(req, 7, 30).empty());
        a.Read(7, 5);  // B's write went past A as well
        EXPECT_EQ(a.Exchange(req), answer);
        ASSERT_EQ(bus.SetBaudRate(b.Handle(), 19200), ConvOk);
        ASSERT_EQ(bus.Purge(b.Handle(), ConvPurgeRx), ConvOk);
        // A purge empties B's queue only.
        ASSERT_EQ(a.Write(req), ConvOk);
        ASSERT_EQ(bus.Purge(b.Handle(), ConvPurgeRx), ConvOk);
        EXPECT_EQ(a.Read(7, 20), req);
        EXPECT_EQ(a.Read(7, 20), answer);
        EXPECT_EQ(b.Read(7, 20), answer) << "what came after the purge";

        // Unplugging A leaves B on the wire with the module.
        bus.Unplug(0);
        uint32_t waiting = 0;
        EXPECT_NE(bus.GetQueueStatus(a.Handle(), waiting), ConvOk);
        EXPECT_EQ(b.Exchange(req), answer);
        bus.Replug(0);
    }
    // Closed converters hear nothing: a converter opened later starts with an empty queue.
    {
        RawLink a(bus, 0);
        EXPECT_EQ(a.Exchange(req), answer);
    }
    RawLink b(bus, 1);
    uint32_t waiting = 99;
    ASSERT_EQ(bus.GetQueueStatus(b.Handle(), waiting), ConvOk);
    EXPECT_EQ(waiting, 0u);
    // And the other way round: B unplugged, A works on.
    RawLink a(bus, 0);
    bus.Unplug(1);
    EXPECT_EQ(a.Exchange(req), answer);
    EXPECT_NE(bus.GetQueueStatus(b.Handle(), waiting), ConvOk);
}

}  // namespace
}  // namespace kv
