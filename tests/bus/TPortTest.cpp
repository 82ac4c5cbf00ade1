// The frame link: exchanges, relay repetition, the worker's hand-over of unsolicited frames and
// link events, and shutting down while the worker waits.
#include "BusTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

using kv::BusFrame;
using kv::ScriptedConverter;
using kvtest::Answer;
using kvtest::PumpUntil;
using kvtest::ScriptedBus;

namespace {
const BusFrame kStatus{0x85, 0, 0, 0, 0, 5};
}

TEST(TPortExchange, SendAddsTheCheckByteAndTranslatesTheAddress) {
    ScriptedBus bus;
    std::vector<BusFrame> sent;
    bus.proto.OnSend = [&](const BusFrame& f) { sent.push_back(f); };
    EXPECT_EQ(bus.proto.Send(BusFrame{0x80, 0, 1, 2, 3, 5}, 0), kv::BusOk);
    EXPECT_EQ(bus.conv->Writes().back().bytes, (std::vector<uint8_t>{0x80, 0, 1, 2, 3, 5, 0x40}));

    const auto saved = kv::OutAddressTable;
    kv::OutAddressTable[5] = 9;
    bus.proto.Send(BusFrame{0x80, 0, 1, 2, 3, 5}, 0);
    kv::OutAddressTable = saved;
    EXPECT_EQ(bus.conv->Writes().back().bytes, ScriptedConverter::Frame(0x80, 0, 1, 2, 3, 9));
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1][5], 5);  // handlers see the frame before translation

    bus.conv->SetEcho(0, ScriptedConverter::EchoMode::None);
    EXPECT_EQ(bus.proto.Send(kStatus, 0), kv::BusEchoLate);
}

TEST(TPortExchange, RequestCopiesTheAnswerAndTellsOnReceive) {
    ScriptedBus bus;
    int received = 0;
    bus.proto.OnReceive = [&](const BusFrame&) { ++received; };
    bus.conv->QueueAnswer(Answer(0x7A, 0x81, 0x02, 0x30, 0x39), 5);
    BusFrame a{};
    EXPECT_EQ(bus.proto.Request(kStatus, 0x7A, -1, 0, a), kv::BusOk);
    EXPECT_EQ(a, (BusFrame{0x7A, 0x81, 0x02, 0x30, 0x39, 5}));
    EXPECT_EQ(received, 1);
}

TEST(TPortExchange, CorruptOrShortAnswerIsATransferErrorNotATimeout) {
    ScriptedBus bus;
    auto bad = Answer(0x7A, 1, 2, 3, 4);
    bad[6] ^= 0xFF;
    bus.conv->QueueAnswer(bad);
    BusFrame a{};
    a.fill(0xEE);
    EXPECT_EQ(bus.proto.Request(kStatus, 0x7A, -1, 0, a), kv::BusTransferError);
    EXPECT_EQ(a[0], 0xEE);  // untouched

    bus.conv->QueueAnswer({0x7A, 1, 2});
    EXPECT_EQ(bus.proto.Request(kStatus, 0x7A, -1, 0, a), kv::BusTransferError);

    bus.conv->QueueSilence();
    EXPECT_EQ(bus.proto.Request(kStatus, 0x7A, -1, 0, a), kv::BusNoAnswer);
}

TEST(TPortExchange, RelayTagSendsTwiceAndWaitsThreeWindows) {
    ScriptedBus bus;
    BusFrame a{};
    const uint32_t t0 = kv::TickCount();
    EXPECT_EQ(bus.proto.Request(kStatus, 0x7A, -1, 0, a), kv::BusNoAnswer);
    const uint32_t single = kv::ElapsedSince(t0);
    EXPECT_EQ(bus.conv->WriteCount(), 1);
    EXPECT_GE(single, 70u);

    bus.conv->ClearWrites();
    const uint32_t t1 = kv::TickCount();
    EXPECT_EQ(bus.proto.Request(kStatus, 0x7A, 3, 0, a), kv::BusNoAnswer);
    const uint32_t relayed = kv::ElapsedSince(t1);
    const auto writes = bus.conv->Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_GE(writes[1].tick - writes[0].tick, 70u);  // the second copy after a whole window
    EXPECT_GE(relayed, 3u * 70u);

    // The relayed copy that answers in the second window ends the exchange there.
    bus.conv->ClearWrites();
    bus.conv->QueueSilence();
    bus.conv->QueueAnswer(Answer(0x7A, 0, 0, 0, 0));
    EXPECT_EQ(bus.proto.Request(kStatus, 0x7A, 3, 0, a), kv::BusOk);
    EXPECT_EQ(bus.conv->WriteCount(), 2);
}

TEST(TPortExchange, ClosedPortIsAPortError) {
    auto conv = std::make_shared<ScriptedConverter>(0);
    kv::TPortProto proto(16, conv);
    BusFrame a{};
    EXPECT_EQ(proto.Send(kStatus, -1), kv::BusPortError);
    EXPECT_EQ(proto.Request(kStatus, 0x7A, -1, -1, a), kv::BusPortError);
    int from = 3;
    EXPECT_EQ(proto.Probe(kStatus, 0x7A, from, a), kv::BusPortError);
    EXPECT_EQ(from, -1);
}

TEST(TPortExchange, ProbeReportsTheConverterThatAnswered) {
    ScriptedBus bus(2);
    bus.conv->QueueSilence(0);
    bus.conv->QueueAnswer(Answer(0x7F, 0, '4', '6', 'B'), 3, 1);
    BusFrame a{};
    int from = 9;
    EXPECT_EQ(bus.proto.Probe(BusFrame{0x80, 0, 1, 2, 3, 5}, 0x7F, from, a), kv::BusOk);
    EXPECT_EQ(from, 1);
    EXPECT_EQ(bus.conv->WriteCount(), 2);  // through both converters
    bus.conv->QueueSilence(0);
    bus.conv->QueueSilence(1);
    EXPECT_EQ(bus.proto.Probe(BusFrame{0x80, 0, 1, 2, 3, 6}, 0x7F, from, a), kv::BusNoAnswer);
    EXPECT_EQ(from, -1);
}

TEST(TPortWorker, UnsolicitedFramesAreHandedOverInOrderWithTheirConverter) {
    ScriptedBus bus(2);
    std::vector<std::pair<BusFrame, int>> got;
    bus.proto.OnFrame = [&](const BusFrame& f, int c) { got.emplace_back(f, c); };
    auto two = Answer(0x70, 'O', 'k', 0, 16, 12);
    const auto second = Answer(0x90, 0, 10, 0, 0, 0);
    two.insert(two.end(), second.begin(), second.end());
    bus.conv->Inject(1, {0x00, 0xFF, 0x12});
    bus.conv->Inject(1, two);
    ASSERT_TRUE(PumpUntil([&] { return got.size() >= 2; }));
    EXPECT_EQ(got[0].first[0], 0x70);
    EXPECT_EQ(got[0].first[5], 12);
    EXPECT_EQ(got[0].second, 1);
    EXPECT_EQ(got[1].first[0], 0x90);
}

TEST(TPortWorker, FrameArrivingDuringAnExchangeIsDispatchedAfterwards) {
    ScriptedBus bus(2);
    std::vector<std::pair<BusFrame, int>> got;
    bool inExchange = false;
    bus.proto.OnFrame = [&](const BusFrame& f, int c) {
        EXPECT_FALSE(inExchange);
        got.emplace_back(f, c);
    };
    // The device's answer follows a frame another device sent on the same converter.
    auto bytes = Answer(0x70, 'O', 'k', 0, 8, 33);
    const auto answer = Answer(0x7A, 0, 0, 0, 0, 5);
    bytes.insert(bytes.end(), answer.begin(), answer.end());
    bus.conv->QueueAnswer(bytes, 2, 1);
    BusFrame a{};
    inExchange = true;
    EXPECT_EQ(bus.proto.Request(kStatus, 0x7A, -1, 1, a), kv::BusOk);
    inExchange = false;
    EXPECT_EQ(a[0], 0x7A);
    ASSERT_TRUE(PumpUntil([&] { return !got.empty(); }));
    EXPECT_EQ(got[0].first[0], 0x70);
    EXPECT_EQ(got[0].first[5], 33);
    EXPECT_EQ(got[0].second, 1);
}

TEST(TPortWorker, LossAndRestoreAreReportedOncePerLoss) {
    ScriptedBus bus;
    std::atomic<int> lost{0};
    std::atomic<int> restored{0};
    bus.proto.OnPortLost = [&] { ++lost; };
    bus.proto.OnPortRestored = [&] {
        ++restored;
        EXPECT_TRUE(bus.proto.IsOpen());
    };
    bus.conv->Unplug(0);
    ASSERT_TRUE(PumpUntil([&] { return lost.load() == 1; }));
    PumpUntil([] { return false; }, 350);  // several reopen attempts
    EXPECT_EQ(lost.load(), 1);
    EXPECT_EQ(restored.load(), 0);
    EXPECT_FALSE(bus.proto.IsOpen());
    bus.conv->Replug(0);
    ASSERT_TRUE(PumpUntil([&] { return restored.load() == 1; }));
    PumpUntil([] { return false; }, 150);
    EXPECT_EQ(lost.load(), 1);
    EXPECT_EQ(restored.load(), 1);
    EXPECT_EQ(bus.proto.ConverterCount(), 1);
}

TEST(TPortWorker, NoConverterAtStartIsReportedLostAtOnce) {
    auto conv = std::make_shared<ScriptedConverter>(0);
    kv::TPortProto proto(16, conv);
    int lost = 0;
    proto.OnPortLost = [&] { ++lost; };
    EXPECT_FALSE(proto.OpenPort());
    ASSERT_TRUE(PumpUntil([&] { return lost == 1; }, 500));
    conv->SetConverterCount(1);
    int restored = 0;
    proto.OnPortRestored = [&] { ++restored; };
    ASSERT_TRUE(PumpUntil([&] { return restored == 1; }, 1000));
}

TEST(TPortWorker, DestroyingWhileTheWorkerWaitsForAHandOverDoesNotHang) {
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        {
            ScriptedBus bus;
            int frames = 0;
            bus.proto.OnFrame = [&](const BusFrame&, int) { ++frames; };
            bus.conv->Inject(0, Answer(0x70, 'O', 'k', 0, 8, 3));
            if (round == 1) {
                bus.conv->Unplug(0);  // the worker waits on the loss report instead
            }
            // No events are processed: the worker stays blocked in its hand-over.
            kv::SleepMs(60);
            EXPECT_EQ(frames, 0);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
    // The hand-over that was posted but never ran must not run after the object is gone.
    QCoreApplication::processEvents();
}

TEST(TPortWorker, HandlersMayMakeExchangesOfTheirOwn) {
    ScriptedBus bus;
    int answered = -99;
    bus.proto.OnFrame = [&](const BusFrame&, int c) {
        bus.conv->QueueAnswer(Answer(0x7A, 0, 0, 0, 0), 2);
        BusFrame a{};
        answered = bus.proto.Request(kStatus, 0x7A, -1, c, a);
    };
    bus.conv->Inject(0, Answer(0x70, 'O', 'k', 0, 8, 3));
    ASSERT_TRUE(PumpUntil([&] { return answered != -99; }));
    EXPECT_EQ(answered, kv::BusOk);
}

// A search reopens the converters under the exchange lock; the worker must not take the
// moment in between for a lost port (and then reopen again, throwing away what had arrived).
TEST(TPortWorker, ReopenForASearchIsNoLoss) {
    ScriptedBus bus;
    std::atomic<int> lost{0};
    std::atomic<int> restored{0};
    bus.proto.OnPortLost = [&] { ++lost; };
    bus.proto.OnPortRestored = [&] { ++restored; };
    bus.conv->SetOpenDelayMs(10);
    for (int search = 0; search < 20; ++search) {
        ASSERT_TRUE(bus.proto.ReopenPort());
        PumpUntil([] { return false; }, 15);
    }
    PumpUntil([] { return false; }, 150);
    EXPECT_EQ(lost.load(), 0);
    EXPECT_EQ(restored.load(), 0);
}

// A converter that is listed but does not open (busy, no permission yet after a replug) keeps
// the port lost: one loss, reopened every 100 ms without flapping, one restore once it opens.
TEST(TPortWorker, ConverterThatDoesNotOpenKeepsThePortLostUntilItDoes) {
    auto conv = std::make_shared<ScriptedConverter>(2);
    conv->SetOpenFails(1, true);
    kv::TPortProto proto(16, conv);
    std::atomic<int> lost{0};
    std::atomic<int> restored{0};
    proto.OnPortLost = [&] { ++lost; };
    proto.OnPortRestored = [&] { ++restored; };
    EXPECT_FALSE(proto.OpenPort());
    EXPECT_FALSE(proto.IsOpen());
    ASSERT_TRUE(PumpUntil([&] { return lost.load() == 1; }, 500));
    BusFrame answer{};
    EXPECT_EQ(proto.Request(kStatus, 0x85, -1, 1, answer), kv::BusPortError);
    PumpUntil([] { return false; }, 350);  // several reopen attempts
    EXPECT_EQ(lost.load(), 1);
    EXPECT_EQ(restored.load(), 0);
    conv->SetOpenFails(1, false);
    ASSERT_TRUE(PumpUntil([&] { return restored.load() == 1; }, 1000));
    PumpUntil([] { return false; }, 150);
    EXPECT_EQ(lost.load(), 1);
    EXPECT_EQ(restored.load(), 1);
    EXPECT_EQ(proto.ConverterCount(), 2);
    conv->QueueAnswer(Answer(0x85, 1, 2, 3, 4), 2, 1);
    EXPECT_EQ(proto.Request(kStatus, 0x85, -1, 1, answer), kv::BusOk);
}

// Another console's frame on the line just before our echo: our request went out and gets its
// answer, and the other console's frame is still handed over.
TEST(TPortExchange, AFrameJustBeforeTheEchoIsNeitherLostNorAFailedWrite) {
    ScriptedBus bus;
    std::vector<BusFrame> heard;
    bus.proto.OnFrame = [&](const BusFrame& f, int) { heard.push_back(f); };
    bus.conv->QueueBeforeEcho(0, Answer(0x90, 0, 10, 0, 0, 0));
    bus.conv->QueueAnswer(Answer(0x7A, 0, 0, 0, 0), 3);
    BusFrame a{};
    EXPECT_EQ(bus.proto.Request(kStatus, 0x7A, -1, 0, a), kv::BusOk);
    EXPECT_EQ(a[0], 0x7A);
    ASSERT_TRUE(PumpUntil([&] { return !heard.empty(); }));
    EXPECT_EQ(heard[0], (BusFrame{0x90, 0, 10, 0, 0, 0}));

    // A send (a fire command) is reported as sent.
    bus.conv->QueueBeforeEcho(0, Answer(0x91, 0, 10, 0, 0, 0));
    EXPECT_EQ(bus.proto.Send(BusFrame{0x84, 3, 0, 0x80, 0, 5}, 0), kv::BusOk);
    ASSERT_TRUE(PumpUntil([&] { return heard.size() >= 2; }));
    EXPECT_EQ(heard[1][0], 0x91);

    // A collision that garbles the end of our frame is no success.
    bus.conv->SetEcho(0, ScriptedConverter::EchoMode::WrongLastByte);
    EXPECT_EQ(bus.proto.Send(BusFrame{0x84, 3, 0, 0x80, 0, 5}, 0), kv::BusTransferError);
}

// Part of a frame on one converter, a whole frame on another, then the rest of the first: both
// frames are heard, each with its converter.
TEST(TPortWorker, APartialFrameOnOneConverterSurvivesAFrameOnAnother) {
    ScriptedBus bus(2);
    std::vector<std::pair<BusFrame, int>> got;
    bus.proto.OnFrame = [&](const BusFrame& f, int c) { got.emplace_back(f, c); };
    const auto first = Answer(0x70, 'O', 'k', 0, 16, 12);
    bus.conv->Inject(0, {first.begin(), first.begin() + 3});
    PumpUntil([] { return false; }, 30);
    bus.conv->Inject(1, Answer(0x90, 0, 10, 0, 0, 0));
    PumpUntil([] { return false; }, 30);
    bus.conv->Inject(0, {first.begin() + 3, first.end()});
    ASSERT_TRUE(PumpUntil([&] { return got.size() >= 2; }));
    EXPECT_EQ(got[0].first[0], 0x90);
    EXPECT_EQ(got[0].second, 1);
    EXPECT_EQ(got[1].first[0], 0x70);
    EXPECT_EQ(got[1].second, 0);
}
