#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kv
