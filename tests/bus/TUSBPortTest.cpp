// The port over all converters: opening sequence, echo-checked writes, reads across converters.
#include "ScriptedConverter.h"
#include "bus/TUSBPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

using kv::ScriptedConverter;
using kv::TUSBPort;

namespace {

const uint8_t kFrame[7] = {0x85, 0, 0, 0, 0, 5, 0x11};

int countCalls(const std::vector<std::string>& calls, const std::string& prefix) {
    return static_cast<int>(std::count_if(
        calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

}  // namespace

TEST(TUSBPort, OpensAndConfiguresEveryConverterInTheDescribedOrder) {
    auto conv = std::make_shared<ScriptedConverter>(1);
    TUSBPort port(16, conv);
    ASSERT_TRUE(port.Open(0));
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.ConverterCount(), 1);
    const std::vector<std::string> expected = {"CountDevices",
                                               "SerialNumber 0",
                                               "Description 0",
                                               "Open 0",
                                               "SetBaudRate 0 19200",
                                               "SetDataCharacteristics 0 8 0 0",
                                               "SetFlowControl 0 0 17 19",
                                               "SetTimeouts 0 20 20",
                                               "Purge 0 1",
                                               "Purge 0 2",
                                               "SetDtr 0",
                                               "ClrRts 0"};
    EXPECT_EQ(conv->Calls(), expected);
    EXPECT_TRUE(conv->Dtr(0));
    EXPECT_FALSE(conv->Rts(0));
    port.Close();
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(conv->IsOpen(0));
}

TEST(TUSBPort, NoConverterMeansClosedAndNothingWritten) {
    auto conv = std::make_shared<ScriptedConverter>(0);
    TUSBPort port(16, conv);
    EXPECT_FALSE(port.Open(0));
    EXPECT_EQ(port.ConverterCount(), 0);
    EXPECT_EQ(port.WriteChecked(kFrame, 7, -1), -1);
    uint8_t b = 0;
    int from = 7;
    EXPECT_EQ(port.Read(&b, 1, -1), -1);
    EXPECT_EQ(port.ReadAny(&b, 1, from), -1);
    EXPECT_EQ(from, 7);  // left as it was
    EXPECT_EQ(port.BytesWaiting(), 0);
    EXPECT_EQ(conv->WriteCount(), 0);
    // A failing device list is the same as an empty one.
    auto failing = std::make_shared<ScriptedConverter>(2);
    failing->SetListFails(true);
    TUSBPort port2(16, failing);
    EXPECT_FALSE(port2.Open(0));
}

TEST(TUSBPort, ListsAtMostTheMaximumAndLeavesOutUnreadableConverters) {
    auto conv = std::make_shared<ScriptedConverter>(4);
    TUSBPort port(2, conv);
    ASSERT_TRUE(port.Open(0));
    EXPECT_EQ(port.ConverterCount(), 2);
    EXPECT_TRUE(conv->IsOpen(0));
    EXPECT_TRUE(conv->IsOpen(1));
    EXPECT_FALSE(conv->IsOpen(2));
    port.Close();

    // Converter 0 cannot be read: converter 1 moves up to position 0 and is opened by its own
    // number, not by its new position.
    conv->SetInfoFails(0, true);
    TUSBPort port16(16, conv);
    ASSERT_TRUE(port16.Open(0));
    EXPECT_EQ(port16.ConverterCount(), 3);
    EXPECT_FALSE(conv->IsOpen(0));
    EXPECT_TRUE(conv->IsOpen(1));
    conv->ClearWrites();
    EXPECT_EQ(port16.WriteChecked(kFrame, 7, 0), 7);
    EXPECT_EQ(conv->Writes().at(0).converter, 1);
}

TEST(TUSBPort, PortIsOpenOnlyWhenEveryListedConverterOpened) {
    auto conv = std::make_shared<ScriptedConverter>(2);
    conv->SetOpenFails(1, true);
    TUSBPort port(16, conv);
    EXPECT_FALSE(port.Open(0));
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.ConverterCount(), 0);
    EXPECT_FALSE(conv->IsOpen(0)) << "the one that opened is closed again";
    conv->ClearWrites();
    EXPECT_EQ(port.WriteChecked(kFrame, 7, 1), -1) << "a port error, not a transfer error";
    EXPECT_EQ(port.WriteChecked(kFrame, 7, -1), -1);
    EXPECT_EQ(conv->WriteCount(), 0);
    conv->SetOpenFails(1, false);
    ASSERT_TRUE(port.Reopen());
    EXPECT_EQ(port.ConverterCount(), 2);
    EXPECT_EQ(port.WriteChecked(kFrame, 7, 1), 7);
}

TEST(TUSBPort, CheckedWriteComparesTheEcho) {
    auto conv = std::make_shared<ScriptedConverter>(1);
    TUSBPort port(16, conv);
    ASSERT_TRUE(port.Open(0));
    EXPECT_EQ(port.WriteChecked(kFrame, 7, 0), 7);
    EXPECT_EQ(conv->PendingBytes(0), 0);  // the echo was read back

    // An echo that stops short or never comes is late, not garbled: the bytes went out.
    conv->SetEcho(0, ScriptedConverter::EchoMode::Short);
    EXPECT_EQ(port.WriteChecked(kFrame, 7, 0), TUSBPort::kEchoLate);
    conv->SetEcho(0, ScriptedConverter::EchoMode::WrongFirstByte);
    EXPECT_EQ(port.WriteChecked(kFrame, 7, 0), -2);
    conv->SetEcho(0, ScriptedConverter::EchoMode::None);
    EXPECT_EQ(port.WriteChecked(kFrame, 7, 0), TUSBPort::kEchoLate);
    conv->SetEcho(0, ScriptedConverter::EchoMode::Full);
    conv->SetWriteFails(0, true);
    EXPECT_EQ(port.WriteChecked(kFrame, 7, 0), -2);
    conv->SetWriteFails(0, false);
    // Longer than the echo buffer: refused before anything goes out.
    std::vector<uint8_t> big(TUSBPort::kEchoBufferSize + 1, 0x33);
    const int before = conv->WriteCount();
    EXPECT_EQ(port.WriteChecked(big.data(), static_cast<int>(big.size()), 0), -2);
    EXPECT_EQ(conv->WriteCount(), before);
    EXPECT_EQ(port.WriteChecked(kFrame, 7, 5), -2);  // no such converter
}

TEST(TUSBPort, WriteToAllReportsTheLastConverterAndHandsOverEarlierBytes) {
    auto conv = std::make_shared<ScriptedConverter>(2);
    TUSBPort port(16, conv);
    std::vector<std::pair<std::vector<uint8_t>, int>> foreign;
    port.SetForeignSink([&](const uint8_t* b, int n, int k) {
        foreign.push_back({{b, b + n}, k});
    });
    ASSERT_TRUE(port.Open(0));
    conv->Inject(0, {1, 2, 3});
    conv->SetEcho(0, ScriptedConverter::EchoMode::None);
    EXPECT_EQ(port.WriteChecked(kFrame, 7, -1), 7);  // converter 1's echo is fine
    const auto writes = conv->Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].converter, 0);
    EXPECT_EQ(writes[1].converter, 1);
    EXPECT_EQ(writes[0].bytes, writes[1].bytes);
    EXPECT_EQ(conv->PendingBytes(0), 0);
    // What was waiting is another station's, for the scanner, not thrown away.
    ASSERT_EQ(foreign.size(), 1u);
    EXPECT_EQ(foreign[0].first, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(foreign[0].second, 0);

    conv->SetEcho(0, ScriptedConverter::EchoMode::Full);
    conv->SetEcho(1, ScriptedConverter::EchoMode::None);
    EXPECT_EQ(port.WriteChecked(kFrame, 7, -1), TUSBPort::kEchoLate);
}

// The echo is the whole frame, wherever it sits in what comes back: another console's bytes
// just before it are that console's (its stop, its announcement), a garbled byte anywhere is a
// failed write, and the answer behind it is left for the reader.
TEST(TUSBPort, EchoIsTheWholeFrameFoundInTheReceivedStream) {
    auto conv = std::make_shared<ScriptedConverter>(1);
    TUSBPort port(16, conv);
    std::vector<uint8_t> foreign;
    port.SetForeignSink([&](const uint8_t* b, int n, int k) {
        EXPECT_EQ(k, 0);
        foreign.insert(foreign.end(), b, b + n);
    });
    ASSERT_TRUE(port.Open(0));

    const auto stop = ScriptedConverter::Frame(0x90, 0, 10, 0, 0, 0);
    conv->QueueBeforeEcho(0, stop);
    const auto answer = ScriptedConverter::Frame(0x7A, 1, 2, 3, 4, 5);
    conv->QueueAnswer(answer, 0, 0);
    EXPECT_EQ(port.WriteChecked(kFrame, 7, 0), 7);
    EXPECT_EQ(foreign, stop);
    std::vector<uint8_t> rest(7);
    EXPECT_EQ(port.Read(rest.data(), 7, 0), 7);
    EXPECT_EQ(rest, answer) << "the answer behind the echo is not eaten by the echo check";

    // A stray partial frame whose first bytes look like ours does not hide the real echo.
    foreign.clear();
    conv->QueueBeforeEcho(0, {kFrame[0], kFrame[1], 0x42});
    EXPECT_EQ(port.WriteChecked(kFrame, 7, 0), 7);
    EXPECT_EQ(foreign, (std::vector<uint8_t>{kFrame[0], kFrame[1], 0x42}));

    // A collision late in the frame: the first byte is right, the write still failed, and the
    // garbled bytes go to the scanner (which finds no frame in them).
    foreign.clear();
    conv->SetEcho(0, ScriptedConverter::EchoMode::WrongLastByte);
    EXPECT_EQ(port.WriteChecked(kFrame, 7, 0), -2);
    EXPECT_EQ(foreign.size(), 7u);
}

TEST(TUSBPort, ReadAnyTakesTheFirstConverterWithData) {
    auto conv = std::make_shared<ScriptedConverter>(2);
    TUSBPort port(16, conv);
    ASSERT_TRUE(port.Open(0));
    conv->Inject(0, {0xA0, 0xA1});
    conv->Inject(1, {0xB0});
    EXPECT_EQ(port.BytesWaiting(), 3);
    // Per converter, so that a read never asks one converter for bytes another one holds.
    EXPECT_EQ(port.BytesWaitingOn(0), 2);
    EXPECT_EQ(port.BytesWaitingOn(1), 1);
    EXPECT_EQ(port.BytesWaitingOn(2), 0);
    uint8_t buf[4] = {};
    int from = -5;
    EXPECT_EQ(port.ReadAny(buf, 2, from), 2);
    EXPECT_EQ(from, 0);
    EXPECT_EQ(buf[0], 0xA0);
    EXPECT_EQ(port.ReadAny(buf, 2, from), 1);
    EXPECT_EQ(from, 1);
    EXPECT_EQ(buf[0], 0xB0);
    conv->Inject(1, {0xB1});
    EXPECT_EQ(port.Read(buf, 1, -1), 1);
    EXPECT_EQ(buf[0], 0xB1);
}

TEST(TUSBPort, VanishedConverterFailsBytesWaitingAndReopenFindsItBack) {
    auto conv = std::make_shared<ScriptedConverter>(1);
    TUSBPort port(16, conv);
    ASSERT_TRUE(port.Open(0));
    conv->Unplug(0);
    EXPECT_EQ(port.BytesWaiting(), -1);
    EXPECT_EQ(port.BytesWaitingOn(0), -1);
    EXPECT_FALSE(port.Reopen());
    EXPECT_EQ(port.BytesWaiting(), 0);
    conv->Replug(0);
    EXPECT_TRUE(port.Reopen());
    EXPECT_EQ(port.BytesWaiting(), 0);
    EXPECT_EQ(countCalls(conv->Calls(), "Open 0"), 2);
}
