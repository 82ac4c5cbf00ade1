// The device command set: request bytes, answer decoding, defaults on failure, raised answer
// windows put back, and the identification trailer.
#include "BusTestSupport.h"

#include <gtest/gtest.h>

using kv::BusFrame;
using kv::ScriptedConverter;
using kvtest::Answer;
using kvtest::ScriptedBus;

namespace {

class Proto : public ::testing::Test {
protected:
    // Every request gets no answer unless one is queued.
    ScriptedBus bus;
    kv::TPortProto& p = bus.proto;
    ScriptedConverter& conv = *bus.conv;
};

}  // namespace

TEST_F(Proto, FireChannelEncodesChannelsLowByteFirstAndRepeatsForRelays) {
    double v = 0;
    EXPECT_EQ(p.FireChannel(7, 0, -1, 0, false, v), kv::BusOk);
    EXPECT_EQ(bus.Sent(), (BusFrame{0x84, 0x01, 0x00, 0x80, 0x00, 7}));
    EXPECT_EQ(v, -1.0);
    p.FireChannel(7, 255, -1, 0, false, v);
    EXPECT_EQ(bus.Sent(), (BusFrame{0x84, 0x00, 0x01, 0x80, 0x00, 7}));
    conv.ClearWrites();
    p.FireChannel(7, 1, 12, 0, false, v);
    EXPECT_EQ(conv.WriteCount(), 3);

    conv.QueueAnswer(Answer(0x7B, 0, 0, 0x85, 0x10));
    EXPECT_EQ(p.FireChannel(7, 1, -1, 0, true, v), kv::BusOk);
    EXPECT_EQ(bus.Sent(), (BusFrame{0x84, 0x02, 0x00, 0x80, 0x80, 7}));
    EXPECT_DOUBLE_EQ(v, (5 * 256 + 0x10) / 1000.0);
}

TEST_F(Proto, ChannelValuesStayInFourteenBits) {
    p.SetChannelValue(4, 0, -1, 0, 0x1234, false);
    EXPECT_EQ(bus.Sent(),
              (BusFrame{0x84, 1, 0, static_cast<uint8_t>(0x80 + (0x1234 >> 7)), 0x1234 & 0x7F, 4}));
    // Too large a value would carry into the answer flag and the marker bit; it is held.
    p.SetChannelValue(4, 0, -1, 0, 0x7FFF, false);
    EXPECT_EQ(bus.Sent()[3], 0x80 + 0x7F);
    EXPECT_EQ(bus.Sent()[4], 0x7F);
    conv.QueueAnswer(Answer(0x7B, 0, 0, 0, 0));
    EXPECT_EQ(p.ChargeHV(4, 300, -1, 0), kv::BusOk);
    EXPECT_EQ(bus.Sent(), (BusFrame{0x84, 0, 0, 0x82, 0x2C + 0x80, 4}));
}

TEST_F(Proto, CueTimesCarryTensAndEvenUnits) {
    conv.QueueAnswer(Answer(0x6E, 0x00, 0x7B, 0x04, 0x44));
    EXPECT_EQ(p.WriteCueChecked(9, 3, -1, 0, 12345), kv::BusOk);
    EXPECT_EQ(bus.Sent(), (BusFrame{0x91, 0x00, 0x7B, 0x04, 0x44, 9}));
    // An answer that does not echo the record is a device error.
    conv.QueueAnswer(Answer(0x6E, 0x00, 0x7B, 0x04, 0x40));
    EXPECT_EQ(p.WriteCueChecked(9, 3, -1, 0, 12345), kv::BusPortError);

    EXPECT_EQ(p.WriteCue(9, 3, -1, 0, kv::TPortProto::kEmptyTime), kv::BusOk);
    EXPECT_EQ(bus.Sent(), (BusFrame{0x91, 0xFF, 0xFF, 0x04, 0x00, 9}));
    p.WriteCue(9, 299, -1, 0, 12345);  // no units on older firmware
    EXPECT_EQ(bus.Sent(), (BusFrame{0x91, 0x00, 0x7B, 0x2C, 0x41, 9}));
    // A time past the last 100 ms step is held there instead of wrapping to the show start.
    p.WriteCue(9, 0, -1, 0, 7000000);
    EXPECT_EQ(bus.Sent()[1], 0xFF);
    EXPECT_EQ(bus.Sent()[2], 0xFF);
}

TEST_F(Proto, ReadCueTakesChannelBitEightFromD4) {
    int t = 0;
    int ch = 0;
    conv.QueueAnswer(Answer(0x6D, 0x00, 0x7B, 0x04, 0x40));
    EXPECT_EQ(p.ReadCue(9, 4, -1, 0, t, ch), kv::BusOk);
    EXPECT_EQ(bus.Sent(), (BusFrame{0x92, 0, 0, 5, 0, 9}));
    EXPECT_EQ(t, 12340);
    EXPECT_EQ(ch, 3);
    conv.QueueAnswer(Answer(0x6D, 0x00, 0x7B, 0x04, 0x41));
    p.ReadCue(9, 4, -1, 0, t, ch);
    EXPECT_EQ(ch, 259);
    conv.QueueAnswer(Answer(0x6D, 0x00, 0x7B, 0x04, 0x45));
    p.ReadCueFine(9, 4, -1, 0, t, ch);
    EXPECT_EQ(t, 12344);
    EXPECT_EQ(ch, 259);
    conv.QueueAnswer(Answer(0x6D, 0x01, 0x02, 0x00, 0x30));
    p.ReadChannelTime(9, 0, -1, 0, t);
    EXPECT_EQ(t, 25600 + 200 + 30);

    conv.QueueSilence();
    EXPECT_EQ(p.ReadCue(9, 4, -1, 0, t, ch), kv::BusNoAnswer);
    EXPECT_EQ(t, 0);
    EXPECT_EQ(ch, -1);
}

TEST_F(Proto, StatusDecodingAndItsDefaults) {
    double out = 9;
    double supply = 9;
    int flag = 9;
    conv.QueueAnswer(Answer(0x7A, 0x81, 0x2C, 0x30, 0x39));
    EXPECT_EQ(p.ReadStatus(5, -1, 0, out, flag, supply), kv::BusOk);
    EXPECT_EQ(flag, 1);
    EXPECT_DOUBLE_EQ(out, 0x012C / 1000.0);  // without the test-mode bit
    EXPECT_DOUBLE_EQ(supply, 12.345);
    conv.QueueAnswer(Answer(0x7A, 0x81, 0x2C, 0x30, 0x39));
    p.ReadHVStatus(5, -1, 0, out, flag, supply);
    EXPECT_DOUBLE_EQ(out, 0x812C / 10.0);
    conv.QueueSilence();
    EXPECT_EQ(p.ReadStatus(5, -1, 0, out, flag, supply), kv::BusNoAnswer);
    EXPECT_EQ(out, 0);
    EXPECT_EQ(supply, 0);
    EXPECT_EQ(flag, 2);
}

TEST_F(Proto, VersionTemperatureAndClockTexts) {
    EXPECT_EQ(kv::TPortProto::ParseVersion('3', '6', 'b'), 0x36B);
    EXPECT_EQ(kv::TPortProto::ParseVersion('1', 'x', '0'), 256 - 16);
    int version = 0;
    conv.QueueAnswer(Answer(0x7F, 0, '4', '6', 'A'));
    EXPECT_EQ(p.ReadVersion(5, -1, 0, version), kv::BusOk);
    EXPECT_EQ(bus.Sent(), (BusFrame{0x80, 0, 1, 2, 3, 5}));
    EXPECT_EQ(version, 0x46A);

    int temp = 7;
    conv.QueueAnswer(Answer(0x7F, '-', '1', '2', 0));
    p.ReadTemperature(5, -1, 0, temp);
    EXPECT_EQ(temp, -12);
    conv.QueueAnswer(Answer(0x7F, '+', '4', '5', 0));
    p.ReadTemperature(5, -1, 0, temp);
    EXPECT_EQ(temp, 45);
    conv.QueueAnswer(Answer(0x7F, '+', '?', '5', 0));
    EXPECT_EQ(p.ReadTemperature(5, -1, 0, temp), kv::BusOk);
    EXPECT_EQ(temp, 0);

    int clock = 0;
    char type = 0;
    conv.QueueAnswer(Answer(0x76, 0x01, 0x00, 'P', 0));
    p.ReadClock(5, -1, 0, clock, type);
    EXPECT_EQ(clock, 25600);
    EXPECT_EQ(type, 'P');
}

TEST_F(Proto, IdentifyModuleReadsTheRelayTrailer) {
    int channels = -5;
    int relay = -5;
    auto withTrailer = Answer(0x70, 'O', 'k', 0x01, 0x00);
    withTrailer.push_back(0x2A);
    withTrailer.push_back(static_cast<uint8_t>(~0x2A));
    conv.QueueAnswer(withTrailer);
    EXPECT_EQ(p.IdentifyModule(5, 0, channels, relay), kv::BusOk);
    EXPECT_EQ(channels, 256);
    EXPECT_EQ(relay, 0x2A);
    EXPECT_TRUE(p.Listening());

    auto badTrailer = Answer(0x70, 'O', 'k', 0, 16);
    badTrailer.push_back(0x2A);
    badTrailer.push_back(0x2B);
    conv.QueueAnswer(badTrailer);
    p.IdentifyModule(5, 0, channels, relay);
    EXPECT_EQ(channels, 16);
    EXPECT_EQ(relay, -1);

    conv.QueueAnswer(Answer(0x70, 'N', 'o', 0, 16));
    EXPECT_EQ(p.IdentifyModule(5, 0, channels, relay), kv::BusOk);
    EXPECT_EQ(channels, 0);
    EXPECT_EQ(relay, -1);
}

TEST_F(Proto, RaisedAnswerWindowsArePutBack) {
    std::vector<int> seen;
    conv.SetResponder([&](int, const std::vector<uint8_t>& w) {
        seen.push_back(p.AnswerTimeout());
        // EraseRemote confirms with "ClEe" from address 0.
        if (w[0] == 0x8A && w[5] == 0) {
            return std::vector<ScriptedConverter::Reply>{{Answer(0x7F, 'C', 'l', 'E', 'e', 0)}};
        }
        return std::vector<ScriptedConverter::Reply>{{Answer(0x7F, 0, 0, 0, 0)}};
    });
    EXPECT_EQ(p.EraseScript(5, -1, 0), kv::BusOk);
    EXPECT_EQ(p.EraseScriptFast(5, -1, 0), kv::BusOk);
    EXPECT_EQ(p.EraseRemote(0, 0x146), kv::BusOk);
    EXPECT_EQ(seen, (std::vector<int>{5000, 3000, 30000}));
    EXPECT_EQ(p.AnswerTimeout(), 70);
    conv.SetResponder(nullptr);

    const int before = conv.WriteCount();
    EXPECT_EQ(p.EraseRemote(0, 0x145), -10);
    EXPECT_EQ(conv.WriteCount(), before);
    conv.QueueAnswer(Answer(0x7F, 'C', 'l', 'E', 'x', 0));
    EXPECT_EQ(p.EraseRemote(0, 0x200), kv::BusTransferError);

    int version = 0;
    int id = 0;
    conv.QueueSilence();
    EXPECT_EQ(p.QueryConsole(17, 0, version, id), kv::BusNoAnswer);
    EXPECT_EQ(p.AnswerTimeout(), 70);
}

TEST_F(Proto, ChangeNumberGivesUpAfterThreeAttempts) {
    EXPECT_EQ(p.ChangeNumber(5, 20, -1, 0), kv::BusNoAnswer);
    int writes81 = 0;
    for (const auto& w : conv.Writes()) {
        writes81 += w.bytes[0] == 0x81 ? 1 : 0;
    }
    EXPECT_EQ(writes81, 3);

    // A read-back with the wrong number uses up an attempt; the next one succeeds.
    conv.ClearWrites();
    conv.QueueSilence();                                 // 0x81
    conv.QueueAnswer(Answer(0x7D, 0, 0, 21, 255 - 21));  // wrong number
    conv.QueueSilence();                                 // 0x81 again
    conv.QueueAnswer(Answer(0x7D, 0, 0, 20, 255 - 20));
    conv.QueueAnswer(Answer(0x70, 'O', 'k', 0, 8));  // QueryOk
    EXPECT_EQ(p.ChangeNumber(5, 20, -1, 0), kv::BusOk);
    EXPECT_EQ(conv.Writes().at(0).bytes[3], 20);
    EXPECT_EQ(conv.Writes().at(0).bytes[4], 255 - 20);
    EXPECT_EQ(conv.WriteCount(), 5);
}

TEST_F(Proto, MotorCuesGoAsThreeRecordsAndComeBackTheSame) {
    conv.SetResponder([](int, const std::vector<uint8_t>& w) {
        return std::vector<ScriptedConverter::Reply>{{Answer(0x6E, w[1], w[2], w[3], w[4])}};
    });
    EXPECT_EQ(p.WriteMotorCue(8, 1500, -1, 0, 30, 40, 53), kv::BusOk);
    const auto w = conv.Writes();
    ASSERT_EQ(w.size(), 3u);
    EXPECT_EQ(w[0].bytes, ScriptedConverter::Frame(0x91, 0, 15, 40, 0, 8));
    EXPECT_EQ(w[1].bytes, ScriptedConverter::Frame(0x91, 0, 15, 30, 1, 8));
    EXPECT_EQ(w[2].bytes, ScriptedConverter::Frame(0x91, 0, 15, 0x81, 2, 8));
    EXPECT_EQ(p.WriteMotorCue(8, 1500, -1, 0, 30, 40, 49), kv::BusPortError);
    conv.SetResponder(nullptr);

    int t = 0;
    int kind = 0;
    int p1 = 0;
    int p2 = 0;
    conv.QueueAnswer(Answer(0x6D, 0, 15, 40, 0));
    conv.QueueAnswer(Answer(0x6D, 0, 15, 30, 1));
    conv.QueueAnswer(Answer(0x6D, 0, 15, 0x81, 2));
    EXPECT_EQ(p.ReadMotorCue(8, 2, -1, 0, t, kind, p1, p2), kv::BusOk);
    EXPECT_EQ(bus.Sent(3), (BusFrame{0x92, 0, 0, 7, 0, 8}));
    EXPECT_EQ(t, 1500);
    EXPECT_EQ(kind, 53);
    EXPECT_EQ(p1, 30);
    EXPECT_EQ(p2, 40);
    conv.QueueAnswer(Answer(0x6D, 0, 15, 40, 0));
    conv.QueueAnswer(Answer(0x6D, 0, 16, 30, 1));  // belongs to another cue
    conv.QueueAnswer(Answer(0x6D, 0, 15, 0x98, 2));
    EXPECT_EQ(p.ReadMotorCue(8, 2, -1, 0, t, kind, p1, p2), kv::BusPortError);
    EXPECT_EQ(kind, 0);

    conv.QueueAnswer(Answer(0x73, 0, 0, 0, 0));
    p.MotorTurnRight(8, 3, 4, -1, 0);
    EXPECT_EQ(bus.Sent(), (BusFrame{0x8C, 0x91, 4, 3, 0, 8}));
}

TEST_F(Proto, RemoteControlAndConsoleMessages) {
    conv.QueueAnswer(Answer(0x6E, 0, 0, 0, 0));
    p.WriteRemoteCue(42, 0, -1, 0, 2500);
    EXPECT_EQ(bus.Sent(), (BusFrame{0x91, 0, 25, 1, 0, 42}));
    int module = 0;
    int ch = 0;
    int t = 0;
    conv.QueueAnswer(Answer(0x91, 0, 25, 0x05, 0x31, 42));
    EXPECT_EQ(p.ReadRemoteCue(0, -1, 0, module, ch, t), kv::BusOk);
    EXPECT_EQ(bus.Sent(), (BusFrame{0x92, 0, 0, 1, 0, 0}));
    EXPECT_EQ(module, 42);
    EXPECT_EQ(ch, 256 + 5 - 1);
    EXPECT_EQ(t, 2530);

    kv::OwnConsoleId = 77;
    p.StartShowClock(12345);
    EXPECT_EQ(bus.Sent(), (BusFrame{0x90, 0, 123, 0x80, 0, 0}));
    p.StopShowClock(12345);
    EXPECT_EQ(bus.Sent(), (BusFrame{0x90, 0, 123, 0x00, 0, 0}));
    p.AnnounceStop(100);
    EXPECT_EQ(bus.Sent(), (BusFrame{0x11, 0, 1, 77, 0, 0xFF}));
    int version = 0;
    int id = 0;
    conv.QueueAnswer(Answer(0x02, 1, 0, 33, 77, 0xFF));
    EXPECT_EQ(p.QueryConsole(33, 0, version, id), kv::BusOk);
    EXPECT_EQ(bus.Sent(), (BusFrame{0x01, 0, 0, 77, 33, 0xFF}));
    EXPECT_EQ(version, 1);
    EXPECT_EQ(id, 33);
}

TEST_F(Proto, BlackBoxAndParameters) {
    uint8_t b[4] = {};
    conv.QueueAnswer(Answer(0x6B, 1, 2, 3, 4));
    EXPECT_EQ(p.ReadLogWord(6, 0x100, -1, 0, b[0], b[1], b[2], b[3]), kv::BusOk);
    EXPECT_EQ(bus.Sent(), (BusFrame{0x94, 0x08, 0x00, 0, 0, 6}));
    EXPECT_EQ(b[3], 4);
    int value = 0;
    conv.QueueAnswer(Answer(0x71, 0x12, 0x34, 0, 0));
    p.ReadLogLength(6, -1, 0, value);
    EXPECT_EQ(value, 0x1234);
    conv.QueueAnswer(Answer(0x7E, 0, 0, 0, 0));
    p.WriteHVParameter(6, 200, -1, 0);
    EXPECT_EQ(bus.Sent(), (BusFrame{0x81, 1, 0xFD, 200, 0xFF, 6}));
    conv.QueueAnswer(Answer(0x7D, 0, 0, 99, 0));
    p.ReadHVParameter(6, -1, 0, value);
    EXPECT_EQ(value, 99);
}
