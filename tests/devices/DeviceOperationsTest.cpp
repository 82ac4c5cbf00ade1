#include <gtest/gtest.h>

#include <vector>

#include "FakeRig.h"
#include "devices/TAutoControl.h"
#include "devices/THVControl.h"
#include "devices/TMotorControl.h"
#include "devices/TRadioModule.h"

using namespace kv;

// The device operations against devices that answer: what goes out, what is recorded.

TEST(DeviceOperations, ModeFlagIsTakenOnlyFromFirmwareThatReportsIt) {
    RigBus bus;
    bus.rig.Add({.address = 5, .version = 0x150, .testMode = false});
    TAutoControl m(bus.proto, 5);
    m.PortIndex = 0;
    m.Identify();
    EXPECT_EQ(m.Version, 0x150);
    for (int i = 0; i < 3; ++i) {
        m.PollStatus();
    }
    EXPECT_EQ(m.LastResult, 0);
    EXPECT_EQ(m.Mode, ModeUnknown);
    EXPECT_DOUBLE_EQ(m.OutputVoltage, 12.5);
    EXPECT_EQ(m.Temperature, 0);  // not asked below its firmware
    EXPECT_EQ(bus.rig.Seen(0x8D), 0);

    // An unknown mode counts as test mode: forcing sends code 0 or 1, never a launch code.
    m.Forcing = ForcingOn;
    EXPECT_EQ(m.SetForcing(ForcingOff), 0);
    EXPECT_EQ(bus.rig.LastOf(0x88)[0], 1);
    EXPECT_EQ(m.Forcing, ForcingOff);
    EXPECT_EQ(m.SetForcing(ForcingOn), 0);
    EXPECT_EQ(bus.rig.LastOf(0x88)[0], 0);
}

TEST(DeviceOperations, ForcingAndModeCombineIntoOneCode) {
    RigBus bus;
    bus.rig.Add({.address = 5, .version = 0x46B, .temperature = -7});
    TAutoControl m(bus.proto, 5);
    m.PortIndex = 0;
    m.Version = 0x46B;
    m.Mode = ModeLaunch;
    EXPECT_EQ(m.SetForcing(ForcingOff), 0);
    EXPECT_EQ(bus.rig.LastOf(0x88)[0], 3);
    EXPECT_EQ(m.Forcing, ForcingOff);

    // SetMode keeps the forcing bit and leaves Mode to the next poll.
    EXPECT_EQ(m.SetMode(ModeTest), 0);
    EXPECT_EQ(bus.rig.LastOf(0x88)[0], 1);
    EXPECT_EQ(m.Mode, ModeLaunch);
    m.PollStatus();
    EXPECT_EQ(m.Mode, ModeTest);
    EXPECT_EQ(m.Temperature, -7);
    // Unknown forcing counts as off.
    m.Forcing = ForcingUnknown;
    m.SetMode(ModeLaunch);
    EXPECT_EQ(bus.rig.LastOf(0x88)[0], 3);
}

TEST(DeviceOperations, LinkQualityFollowsTheExchangesOfAModule) {
    RigBus bus;
    bus.rig.Add({.address = 5});
    TAutoControl m(bus.proto, 5);
    m.PortIndex = 0;
    m.PollStatus();
    EXPECT_EQ(m.LinkQuality(), 100);  // 2 of 2
    bus.rig.SetSilent(5, true);
    m.PollStatus();
    EXPECT_EQ(m.LastResult, BusNoAnswer);
    EXPECT_EQ(m.LinkQuality(), 67);  // 2 of 3
    // Measurements and firing do not count.
    double v = 0;
    m.MeasureChannel(0, v);
    m.FireChannel(0);
    EXPECT_EQ(m.LinkRequests, 3);
}

TEST(DeviceOperations, MeasurementUsesItsOwnWindowAndRestoresTheAnswerTimeout) {
    RigBus bus;
    bus.rig.Add({.address = 5});
    bus.rig.SetReading(5, 2, 125);
    TAutoControl m(bus.proto, 5);
    m.PortIndex = 0;
    double value = -1;
    EXPECT_EQ(m.MeasureChannel(2, value), 0);
    EXPECT_DOUBLE_EQ(value, 0.125);
    EXPECT_EQ(bus.rig.LastOf(0x83), (std::vector<uint8_t>{3, 0, 0, 0}));
    EXPECT_EQ(bus.proto.AnswerTimeout(), 70);
    EXPECT_NE(m.MeasureChannel(3, value), 0);  // no reading: no answer
    EXPECT_EQ(value, 0);
    EXPECT_EQ(bus.proto.AnswerTimeout(), 70);
}

TEST(DeviceOperations, HvModuleScalesItsReadingAndHandlesEnergy) {
    RigBus bus;
    bus.rig.Add({.address = 3, .type = 'Q', .channels = 4, .energy = 40});
    bus.rig.SetReading(3, 0, 25);
    THVControl hv(bus.proto, 3);
    hv.PortIndex = 0;
    hv.Identify();
    EXPECT_EQ(hv.ChannelCount, 4);
    EXPECT_EQ(hv.Energy, 40);
    double value = 0;
    EXPECT_EQ(hv.MeasureChannel(0, value), 0);
    EXPECT_DOUBLE_EQ(value, 2.5);  // 0.025 * 100
    EXPECT_EQ(hv.WriteEnergy(60), 0);
    EXPECT_EQ(hv.Energy, 60);
    EXPECT_EQ(hv.ReadEnergy(), 60);
    EXPECT_EQ(hv.Charge(300), 0);
    // 300 = 2 * 128 + 44: high part in d3 over 0x80, low part in d4 with the answer bit.
    EXPECT_EQ(bus.rig.LastOf(0x84), (std::vector<uint8_t>{0, 0, 0x82, 44 + 0x80}));
    EXPECT_EQ(hv.FireWithRecharge(1, 61), 0);
    EXPECT_EQ(bus.rig.LastOf(0x84), (std::vector<uint8_t>{2, 0, 0x80, 61}));
    bus.rig.SetSilent(3, true);
    EXPECT_EQ(hv.ReadEnergy(), 0);
    EXPECT_NE(hv.WriteEnergy(70), 0);
    EXPECT_EQ(hv.Energy, 60);
}

TEST(DeviceOperations, MotorCommandsCarrySpeedThenTimeAndLeaveLastResult) {
    RigBus bus;
    bus.rig.Add({.address = 7, .type = 'P', .channels = 1, .output = 9.5});
    TMotorControl motor(bus.proto, 7);
    motor.PortIndex = 0;
    motor.PollStatus();
    EXPECT_DOUBLE_EQ(motor.SupplyVoltage, 9.5);  // the one voltage shown as both
    motor.LastResult = 42;
    EXPECT_EQ(motor.MoveLeft(200), 0);
    EXPECT_EQ(bus.rig.LastOf(0x8C), (std::vector<uint8_t>{0x94, 200, 0, 0}));
    EXPECT_EQ(motor.MoveRight(10), 0);
    EXPECT_EQ(bus.rig.LastOf(0x8C)[0], 0x92);
    EXPECT_EQ(motor.MoveCentre(11), 0);
    EXPECT_EQ(bus.rig.LastOf(0x8C)[0], 0x98);
    EXPECT_EQ(motor.RotateLeft(30, 128), 0);
    EXPECT_EQ(bus.rig.LastOf(0x8C), (std::vector<uint8_t>{0x81, 128, 30, 0}));
    EXPECT_EQ(motor.RotateRight(0, 255), 0);
    EXPECT_EQ(bus.rig.LastOf(0x8C), (std::vector<uint8_t>{0x91, 255, 0, 0}));
    EXPECT_EQ(motor.LastResult, 42);
}

TEST(DeviceOperations, RadioUnitPollRereadsItsVersion) {
    RigBus bus;
    bus.rig.Add({.address = 243, .version = 0x120});
    TRadioModule radio(bus.proto, 243);
    radio.PortIndex = 0;
    radio.PollStatus();
    EXPECT_EQ(radio.Version, 0x120);
    EXPECT_EQ(radio.LastResult, 0);
    bus.rig.SetSilent(243, true);
    radio.PollStatus();
    EXPECT_NE(radio.LastResult, 0);
    EXPECT_EQ(radio.Version, 0);
}

TEST(DeviceOperations, ChannelCountAboveTheModelIsClamped) {
    RigBus bus;
    bus.rig.Add({.address = 5, .channels = 1000});
    TAutoControl m(bus.proto, 5);
    m.PortIndex = 0;
    EXPECT_EQ(m.Ping(), 0);
    EXPECT_EQ(m.ChannelCount, kMaxChannels);
}
