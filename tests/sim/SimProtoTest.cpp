// The bus layer's command set against the virtual devices: every command answered in the form
// the console decodes, for each device kind and firmware generation.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "bus/TPortProto.h"
#include "core/Clock.h"
#include "sim/SimBus.h"
#include "sim/SimConsole.h"
#include "sim/SimFiringModule.h"
#include "sim/SimHvModule.h"
#include "sim/SimMotorModule.h"
#include "sim/SimRemoteControl.h"

namespace kv {
namespace {

SimDeviceConfig cfg(SimDeviceKind kind, int address, int version, int channels = 16) {
    SimDeviceConfig c;
    c.kind = kind;
    c.address = address;
    c.version = version;
    c.channels = channels;
    c.eraseMs = 40;
    c.fastEraseMs = 20;
    c.remoteEraseMs = 50;
    return c;
}

class SimProtoTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitBusGlobals();
        bus = std::make_shared<SimBus>();
        bus->AddConverter();
        auto old = cfg(SimDeviceKind::FiringModule, 3, 0x140);
        old.ohms = {2.0, kSimOpenOhms};
        bus->AddDevice(0, old);
        auto mid = cfg(SimDeviceKind::FiringModule, 7, 0x160, 24);
        mid.mode = 1;
        bus->AddDevice(0, mid);
        auto newest = cfg(SimDeviceKind::FiringModule, 12, 0x46B, 40);
        newest.ohms = {2.4, kSimOpenOhms, 0.4, 35.0};
        newest.temperature = -7;
        bus->AddDevice(0, newest);
        auto hv = cfg(SimDeviceKind::HvModule, 20, 0x46B, 4);
        hv.typeLetter = 'Q';
        hv.defaultOhms = 2.5;
        bus->AddDevice(0, hv);
        auto motor = cfg(SimDeviceKind::MotorModule, 30, 0x165, 1);
        motor.typeLetter = 'P';
        motor.supplyVolts = 24.1;
        bus->AddDevice(0, motor);
        bus->AddDevice(0, cfg(SimDeviceKind::RadioUnit, 240, 0x120));
        bus->AddDevice(0, cfg(SimDeviceKind::RemoteControl, 0, 0x146));
        auto console = cfg(SimDeviceKind::Console, 255, 0);
        console.consoleId = 77;
        console.consoleMajor = 3;
        bus->AddDevice(0, console);
        proto = std::make_unique<TPortProto>(16, bus);
        ASSERT_TRUE(proto->OpenPort());
    }
    void TearDown() override { proto.reset(); }

    std::shared_ptr<SimBus> bus;
    std::unique_ptr<TPortProto> proto;
};

TEST_F(SimProtoTest, IdentificationOfEveryKind) {
    int version = 0;
    EXPECT_EQ(proto->ReadVersion(3, -1, 0, version), 0);
    EXPECT_EQ(version, 0x140);
    EXPECT_EQ(proto->ReadVersion(12, -1, 0, version), 0);
    EXPECT_EQ(version, 0x46B);
    EXPECT_EQ(proto->ReadVersion(240, -1, 0, version), 0);
    EXPECT_EQ(version, 0x120);
    EXPECT_EQ(proto->ReadVersion(0, -1, 0, version), 0);
    EXPECT_EQ(version, 0x146);
    EXPECT_EQ(proto->ReadVersion(200, -1, 0, version), BusNoAnswer);

    int channels = 0;
    EXPECT_EQ(proto->QueryChannels(12, -1, 0, channels), 0);
    EXPECT_EQ(channels, 40);
    int clock = -1;
    char type = 0;
    EXPECT_EQ(proto->ReadClock(20, -1, 0, clock, type), 0);
    EXPECT_EQ(type, 'Q');
    EXPECT_EQ(proto->ReadClock(30, -1, 0, clock, type), 0);
    EXPECT_EQ(type, 'P');
    EXPECT_EQ(clock, 0);
    EXPECT_EQ(proto->QueryOk(0, 0), 0);
    int major = 0, id = 0;
    EXPECT_EQ(proto->QueryConsole(77, 0, major, id), 0);
    EXPECT_EQ(major, 3);
    EXPECT_EQ(id, 77);
    EXPECT_EQ(proto->QueryConsole(78, 0, major, id), BusNoAnswer);  // another console's ID
}

TEST_F(SimProtoTest, StatusTemperatureAndMeasurementPerGeneration) {
    double out = 0, supply = 0;
    int flag = 2;
    EXPECT_EQ(proto->ReadStatus(12, -1, 0, out, flag, supply), 0);
    EXPECT_NEAR(out, 24.0, 1e-9);
    EXPECT_NEAR(supply, 12.4, 1e-9);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(proto->ReadStatus(7, -1, 0, out, flag, supply), 0);
    EXPECT_EQ(flag, 1);  // test mode, and the output reads right without the flag bit
    EXPECT_NEAR(out, 24.0, 1e-9);
    int temp = 0;
    EXPECT_EQ(proto->ReadTemperature(12, -1, 0, temp), 0);
    EXPECT_EQ(temp, -7);
    EXPECT_EQ(proto->ReadTemperature(7, -1, 0, temp), BusNoAnswer);  // not before 0x36B

    proto->SetAnswerTimeout(200);
    double v = 0;
    // From 0x268 the console reads R = value x 100.
    ASSERT_EQ(proto->MeasureChannel(12, 0, -1, 0, v), 0);
    EXPECT_NEAR(v * 100, 2.4, 1e-9);
    ASSERT_EQ(proto->MeasureChannel(12, 1, -1, 0, v), 0);
    EXPECT_GE(v * 100, 200.0);  // open: not connected
    ASSERT_EQ(proto->MeasureChannel(12, 3, -1, 0, v), 0);
    EXPECT_NEAR(v * 100, 35.0, 1e-9);
    // Below 0x268: 4.0 and above is connected.
    ASSERT_EQ(proto->MeasureChannel(3, 0, -1, 0, v), 0);
    EXPECT_GE(v, 4.0);
    ASSERT_EQ(proto->MeasureChannel(3, 1, -1, 0, v), 0);
    EXPECT_LT(v, 4.0);
    // HV: value x 100 / 10 is the resistance.
    ASSERT_EQ(proto->MeasureChannel(20, 0, -1, 0, v), 0);
    EXPECT_NEAR(v * 100 / 10, 2.5, 1e-9);
    proto->SetAnswerTimeout(70);
}

TEST_F(SimProtoTest, FiredIgniterReadsOpenAndTestModeHoldsFire) {
    proto->SetAnswerTimeout(200);
    double v = 0;
    ASSERT_EQ(proto->FireChannel(12, 0, -1, 0, false, v), 0);
    ASSERT_EQ(proto->MeasureChannel(12, 0, -1, 0, v), 0);
    EXPECT_GE(v * 100, 200.0);
    ASSERT_EQ(proto->FireChannel(7, 0, -1, 0, false, v), 0);  // module 7 is in test mode
    proto->SetAnswerTimeout(70);
    auto lock = bus->Lock();
    EXPECT_EQ(bus->FindAs<SimFiringModule>(12)->Firings().size(), 1u);
    EXPECT_TRUE(bus->FindAs<SimFiringModule>(7)->Firings().empty());
    EXPECT_EQ(bus->FindAs<SimFiringModule>(7)->RefusedFires(), 1u);
}

TEST_F(SimProtoTest, ModeAndForcingTakeEffect) {
    ASSERT_EQ(proto->SetMode(7, false, 0, -1, 0), 0);
    double out = 0, supply = 0;
    int flag = 2;
    ASSERT_EQ(proto->ReadStatus(7, -1, 0, out, flag, supply), 0);
    EXPECT_EQ(flag, 0);
    auto lock = bus->Lock();
    EXPECT_EQ(bus->FindAs<SimFiringModule>(7)->Forcing(), 0);
}

TEST_F(SimProtoTest, ScriptMemoryInBothLayouts) {
    // One time per channel.
    ASSERT_EQ(proto->WriteCue(3, 4, -1, 0, 12340), 0);
    int t = 0, ch = 0;
    ASSERT_EQ(proto->ReadChannelTime(3, 4, -1, 0, t), 0);
    EXPECT_EQ(t, 12340);
    ASSERT_EQ(proto->ReadChannelTime(3, 5, -1, 0, t), 0);
    EXPECT_EQ(t, 6553500);  // never written: the empty time
    // Slots, unanswered writes, no 2 ms part.
    ASSERT_EQ(proto->QueryOk(7, 0), 0);  // a transfer starts at the first slot
    ASSERT_EQ(proto->WriteCue(7, 9, -1, 0, 5000), 0);
    ASSERT_EQ(proto->WriteCue(7, 2, -1, 0, 7770), 0);
    ASSERT_EQ(proto->ReadCue(7, 1, -1, 0, t, ch), 0);
    EXPECT_EQ(t, 7770);
    EXPECT_EQ(ch, 2);
    // Answered, echo-checked writes with the 2 ms part.
    ASSERT_EQ(proto->QueryOk(12, 0), 0);
    ASSERT_EQ(proto->WriteCueChecked(12, 3, -1, 0, 12345), 0);
    ASSERT_EQ(proto->WriteCueChecked(12, 300, -1, 0, 100), 0);
    ASSERT_EQ(proto->ReadCueFine(12, 0, -1, 0, t, ch), 0);
    EXPECT_EQ(t, 12344);
    EXPECT_EQ(ch, 3);
    ASSERT_EQ(proto->ReadCue(12, 1, -1, 0, t, ch), 0);
    EXPECT_EQ(ch, 300);
    EXPECT_EQ(proto->WriteCueChecked(7, 1, -1, 0, 100), BusNoAnswer);  // 0x160 does not answer
}

TEST_F(SimProtoTest, EraseTakesItsTimeAndEmptiesMemory) {
    ASSERT_EQ(proto->QueryOk(12, 0), 0);
    ASSERT_EQ(proto->WriteCueChecked(12, 3, -1, 0, 1000), 0);
    EXPECT_EQ(proto->EraseScriptFast(12, -1, 0), 0);
    int t = 0, ch = 0;
    ASSERT_EQ(proto->ReadCue(12, 0, -1, 0, t, ch), 0);
    EXPECT_EQ(t, 6553500);
    EXPECT_EQ(proto->EraseScript(7, -1, 0), 0);
    // Too slow for the default answer window: the answer comes after it closed.
    {
        auto lock = bus->Lock();
        bus->FindAs<SimFiringModule>(7)->MutableConfig().eraseMs = 150;
    }
    proto->SetAnswerTimeout(70);
    BusFrame req{0x8A, 0, 0, 0, 0, 7};
    BusFrame answer{};
    EXPECT_EQ(proto->Request(req, 0x7F, -1, 0, answer), BusNoAnswer);
    SleepMs(150);  // let the late answer pass so that it cannot stand in for the next one
    proto->DispatchPending();
    EXPECT_EQ(proto->EraseScript(3, -1, 0), BusNoAnswer);  // per-channel memory has no erase
}

TEST_F(SimProtoTest, AutonomousShowClockFiresStoredCues) {
    ASSERT_EQ(proto->QueryOk(12, 0), 0);
    ASSERT_EQ(proto->WriteCueChecked(12, 5, -1, 0, 1200), 0);
    ASSERT_EQ(proto->WriteCueChecked(12, 6, -1, 0, 1300), 0);
    ASSERT_EQ(proto->WriteCueChecked(12, 7, -1, 0, 900), 0);  // before the start point
    ASSERT_EQ(proto->WriteCue(3, 2, -1, 0, 1100), 0);
    ASSERT_EQ(proto->StartShowClock(1000), 0);
    SleepMs(150);
    bus->Pump();
    int clock = 0;
    char type = 0;
    ASSERT_EQ(proto->ReadClock(12, -1, 0, clock, type), 0);
    EXPECT_GE(clock, 1100);
    SleepMs(250);
    ASSERT_EQ(proto->StopShowClock(1400), 0);
    SleepMs(200);
    bus->Pump();
    auto lock = bus->Lock();
    const auto& f12 = bus->FindAs<SimFiringModule>(12)->Firings();
    ASSERT_EQ(f12.size(), 2u);
    EXPECT_EQ(f12[0].channel, 5);
    EXPECT_EQ(f12[1].channel, 6);
    EXPECT_TRUE(f12[0].autonomous);
    ASSERT_EQ(bus->FindAs<SimFiringModule>(3)->Firings().size(), 1u);
    EXPECT_FALSE(bus->FindAs<SimFiringModule>(12)->ClockRunning());
}

TEST_F(SimProtoTest, HvChargeFireAndReset) {
    int e = 0;
    ASSERT_EQ(proto->WriteHVParameter(20, 42, -1, 0), 0);
    ASSERT_EQ(proto->ReadHVParameter(20, -1, 0, e), 0);
    EXPECT_EQ(e, 42);
    ASSERT_EQ(proto->ChargeHV(20, 300, -1, 0), 0);
    SleepMs(400);
    double out = 0, supply = 0;
    int flag = 2;
    ASSERT_EQ(proto->ReadHVStatus(20, -1, 0, out, flag, supply), 0);
    EXPECT_GT(out, 50.0);
    EXPECT_LE(out, 300.0);
    ASSERT_EQ(proto->SetChannelValue(20, 1, -1, 0, 120, false), 0);
    ASSERT_EQ(proto->ResetHV(20, -1, 0), 0);
    ASSERT_EQ(proto->ReadHVStatus(20, -1, 0, out, flag, supply), 0);
    EXPECT_EQ(out, 0.0);
    auto lock = bus->Lock();
    auto* hv = bus->FindAs<SimHvModule>(20);
    ASSERT_EQ(hv->Firings().size(), 1u);
    EXPECT_EQ(hv->Firings()[0].channel, 1);
    EXPECT_GT(hv->Firings()[0].volts, 50);
    EXPECT_EQ(hv->Resets(), 1u);
}

TEST_F(SimProtoTest, MotorCommandsAndMotorCues) {
    EXPECT_EQ(proto->MotorLeft(30, 200, -1, 0), 0);
    EXPECT_EQ(proto->MotorTurnRight(30, 25, 128, -1, 0), 0);
    ASSERT_EQ(proto->QueryOk(30, 0), 0);
    ASSERT_EQ(proto->WriteMotorCue(30, 4500, -1, 0, 25, 128, 54), 0);
    ASSERT_EQ(proto->WriteMotorCue(30, 6000, -1, 0, 99, 0, 50), 0);
    int t = 0, kind = 0, p1 = 0, p2 = 0;
    ASSERT_EQ(proto->ReadMotorCue(30, 0, -1, 0, t, kind, p1, p2), 0);
    EXPECT_EQ(t, 4500);
    EXPECT_EQ(kind, 54);
    EXPECT_EQ(p1, 25);
    EXPECT_EQ(p2, 128);
    ASSERT_EQ(proto->ReadMotorCue(30, 1, -1, 0, t, kind, p1, p2), 0);
    EXPECT_EQ(kind, 50);
    EXPECT_EQ(p1, 99);
    double out = 0, supply = 0;
    int flag = 0;
    ASSERT_EQ(proto->ReadStatus(30, -1, 0, out, flag, supply), 0);
    EXPECT_NEAR(out, 24.1, 1e-9);
    // The stored rotation runs by itself like the live command.
    ASSERT_EQ(proto->StartShowClock(4400), 0);
    SleepMs(250);
    bus->Pump();
    auto lock = bus->Lock();
    const auto& moves = bus->FindAs<SimMotorModule>(30)->Moves();
    ASSERT_EQ(moves.size(), 3u);
    EXPECT_EQ(moves[1].command, moves[2].command);
    EXPECT_EQ(moves[1].x, moves[2].x);
    EXPECT_EQ(moves[1].y, moves[2].y);
    EXPECT_TRUE(moves[2].autonomous);
}

TEST_F(SimProtoTest, RemoteControlRecordsAndReadsBack) {
    bus->SwitchOff(0, 12);  // the modules are switched off while the remote records
    ASSERT_EQ(proto->EraseRemote(0, 0x146), 0);
    ASSERT_EQ(proto->WriteRemoteCue(12, 260, -1, 0, 12340), 0);
    ASSERT_EQ(proto->WriteRemoteCue(3, 0, -1, 0, 500), 0);
    int module = 0, ch = 0, t = 0;
    ASSERT_EQ(proto->ReadRemoteCue(0, -1, 0, module, ch, t), 0);
    EXPECT_EQ(module, 12);
    EXPECT_EQ(ch, 260);
    EXPECT_EQ(t, 12340);
    ASSERT_EQ(proto->ReadRemoteCue(1, -1, 0, module, ch, t), 0);
    EXPECT_EQ(module, 3);
    EXPECT_EQ(ch, 0);
    // Out of recording (after the identification request) writes are not taken.
    ASSERT_EQ(proto->QueryOk(0, 0), 0);
    EXPECT_EQ(proto->WriteRemoteCue(3, 1, -1, 0, 600), BusNoAnswer);
}

TEST_F(SimProtoTest, BlackBoxAndNumberChange) {
    int len = 0;
    ASSERT_EQ(proto->ReadLogLength(12, -1, 0, len), 0);
    EXPECT_EQ(len, 0x0123);
    uint8_t b[4] = {};
    ASSERT_EQ(proto->ReadLogWord(12, 5, -1, 0, b[0], b[1], b[2], b[3]), 0);
    uint8_t c[4] = {};
    ASSERT_EQ(proto->ReadLogWord(12, 5, -1, 0, c[0], c[1], c[2], c[3]), 0);
    EXPECT_TRUE(std::equal(b, b + 4, c));

    EXPECT_EQ(proto->ChangeNumber(12, 44, -1, 0), 0);
    int version = 0;
    EXPECT_EQ(proto->ReadVersion(44, -1, 0, version), 0);
    EXPECT_EQ(proto->ReadVersion(12, -1, 0, version), BusNoAnswer);
    EXPECT_NE(proto->ChangeNumber(7, 45, -1, 0), 0);  // 0x160 cannot change its number
}

}  // namespace
}  // namespace kv
