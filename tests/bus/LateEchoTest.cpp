// A frame whose echo comes back late (the receive path waits for a core on a busy machine): it
// is reported as sent with its echo late, never sent again, its echo is not taken for another
// station's frame, and it does not hold the next frame for the whole echo wait.
#include "BusTestSupport.h"
#include "bus/TUSBPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

using kv::BusFrame;
using kv::ScriptedConverter;
using kv::TUSBPort;
using kvtest::Answer;
using kvtest::PumpUntil;
using kvtest::ScriptedBus;

namespace {

const BusFrame kFire{0x84, 3, 0, 0x80, 0, 5};
const BusFrame kAnnounce{0x10, 0, 10, 0x43, 0, 0xFF};
const BusFrame kStatus{0x85, 0, 0, 0, 0, 5};

// Longer than the whole echo wait.
constexpr uint32_t kLateMs = TUSBPort::kEchoWaitMs + 30;

}  // namespace

TEST(LateEcho, FrameWrittenWithItsEchoLateIsSentOnceAndItsEchoIsNoForeignFrame) {
    ScriptedBus bus;
    std::vector<BusFrame> heard;
    bus.proto.OnFrame = [&](const BusFrame& f, int) { heard.push_back(f); };
    bus.conv->SetEchoDelay(0, kLateMs);

    EXPECT_EQ(bus.proto.Send(kFire, 0), kv::BusEchoLate);
    EXPECT_EQ(bus.conv->WriteCount(), 1) << "a fire frame is never sent again by the link";

    // The echo arrives after all; it is ours, not a module's or a console's frame.
    const auto other = Answer(0x90, 0, 10, 0, 0, 0);
    bus.conv->Inject(0, other, kLateMs + 20);
    ASSERT_TRUE(PumpUntil([&] { return !heard.empty(); }));
    PumpUntil([] { return false; }, 50);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0][0], 0x90);
    EXPECT_EQ(bus.conv->WriteCount(), 1);

    // The line is fine again: the next frame is confirmed as usual.
    bus.conv->SetEchoDelay(0, 0);
    EXPECT_EQ(bus.proto.Send(kFire, 0), kv::BusOk);
}

TEST(LateEcho, RequestWithItsEchoLateStillTakesItsAnswer) {
    ScriptedBus bus;
    bus.conv->SetEchoDelay(0, kLateMs);
    bus.conv->QueueAnswer(Answer(0x7A, 0x81, 0x02, 0x30, 0x39), kLateMs + 5);
    BusFrame a{};
    EXPECT_EQ(bus.proto.Request(kStatus, 0x7A, -1, 0, a), kv::BusOk);
    EXPECT_EQ(a, (BusFrame{0x7A, 0x81, 0x02, 0x30, 0x39, 5}));
    EXPECT_EQ(bus.conv->WriteCount(), 1);
}

// A cue falls due while the frame before it still waits for its late echo: the cue's frame
// follows once that frame's wire time is over, not after the whole echo wait, and without
// purging the transmit queue the earlier frame may still sit in.
TEST(LateEcho, NextFrameFollowsAfterTheWireTimeNotAfterTheEchoWait) {
    ScriptedBus bus;
    bus.proto.SetListening(false);  // the worker stays off the line: only the two writers
    bus.conv->SetEchoDelay(0, 2 * TUSBPort::kEchoWaitMs);
    std::atomic<int> announceResult{1};
    std::thread announcer([&] { announceResult = bus.proto.Send(kAnnounce, 0); });
    ASSERT_TRUE(PumpUntil([&] { return bus.conv->WriteCount() == 1; }));
    bus.conv->ClearCalls();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const int fireResult = bus.proto.Send(kFire, 0);
    announcer.join();

    EXPECT_EQ(announceResult.load(), kv::BusEchoLate);
    EXPECT_EQ(fireResult, kv::BusEchoLate);
    const auto writes = bus.conv->Writes();
    ASSERT_EQ(writes.size(), 2u);
    const uint32_t gap = writes[1].tick - writes[0].tick;
    EXPECT_GE(gap, TUSBPort::WireTimeMs(7));
    EXPECT_LT(gap, TUSBPort::kEchoWaitMs - 10) << "the fire waited out the announcement's echo";
    const auto calls = bus.conv->Calls();
    EXPECT_TRUE(std::none_of(calls.begin(), calls.end(), [](const std::string& c) {
        return c.rfind("Purge 0 2", 0) == 0;
    })) << "a frame still owed its echo may still be queued: it must go out whole";
}

// Owed echoes are taken out byte by byte; one that breaks off is handed to the scanner.
TEST(LateEcho, OwedEchoIsTakenOutOfLaterReadsAndABrokenOneGoesToTheScanner) {
    auto conv = std::make_shared<ScriptedConverter>(1);
    TUSBPort port(16, conv);
    std::vector<uint8_t> foreign;
    port.SetForeignSink(
        [&](const uint8_t* b, int n, int) { foreign.insert(foreign.end(), b, b + n); });
    ASSERT_TRUE(port.Open(0));
    const auto frame = ScriptedConverter::Frame(0x84, 3, 0, 0x80, 0, 5);
    conv->SetEcho(0, ScriptedConverter::EchoMode::None);
    ASSERT_EQ(port.WriteChecked(frame.data(), 7, 0), TUSBPort::kEchoLate);
    EXPECT_EQ(port.OwedEchoes(0), 1);

    // A foreign byte first, then our echo, then an answer: only the foreign byte and the
    // answer are read.
    std::vector<uint8_t> in{0x55};
    in.insert(in.end(), frame.begin(), frame.end());
    const auto answer = Answer(0x7B, 1, 2, 3, 4);
    in.insert(in.end(), answer.begin(), answer.end());
    conv->Inject(0, in);
    std::vector<uint8_t> got(in.size());
    int have = 0;
    for (int i = 0; i < 10 && have < 8; ++i) {
        have += port.Read(got.data() + have, static_cast<int>(got.size()) - have, 0);
    }
    got.resize(static_cast<std::size_t>(have));
    std::vector<uint8_t> expected{0x55};
    expected.insert(expected.end(), answer.begin(), answer.end());
    EXPECT_EQ(got, expected);
    EXPECT_EQ(port.OwedEchoes(0), 0);
    EXPECT_EQ(port.LateEchoesReturned(), 1u);

    // An echo that breaks off was no echo: its start is not lost.
    ASSERT_EQ(port.WriteChecked(frame.data(), 7, 0), TUSBPort::kEchoLate);
    conv->Inject(0, {frame[0], frame[1], 0x42});
    uint8_t b[8]{};
    int n = 0;
    for (int i = 0; i < 5 && n == 0; ++i) {
        n = port.Read(b, 8, 0);
    }
    EXPECT_EQ(n, 1);
    EXPECT_EQ(b[0], 0x42);
    EXPECT_EQ(foreign, (std::vector<uint8_t>{frame[0], frame[1]}));
    EXPECT_EQ(port.OwedEchoes(0), 0);
}
