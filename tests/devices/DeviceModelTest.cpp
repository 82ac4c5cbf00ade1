#include <gtest/gtest.h>

#include "NoConverters.h"
#include "devices/ChannelClassifier.h"
#include "devices/TAutoControl.h"
#include "devices/THVControl.h"
#include "devices/TMotorControl.h"
#include "devices/TRadioModule.h"
#include "devices/TRemoteControl.h"
#include "devices/TSoftControl.h"

using namespace kv;

TEST(DeviceModel, ConstructorsSetKindsAndDefaults) {
    OfflineBus bus;
    TAutoControl plain(bus.proto, 5);
    EXPECT_EQ(plain.Kind, KindAutoControl);
    EXPECT_EQ(plain.Address, 5);
    EXPECT_EQ(plain.RelayId, -1);
    EXPECT_EQ(plain.PortIndex, -1);
    EXPECT_EQ(plain.Version, 0);
    EXPECT_EQ(plain.Forcing, ForcingUnknown);
    EXPECT_EQ(plain.Mode, ModeUnknown);
    EXPECT_EQ(plain.LinkQuality(), 100);

    EXPECT_EQ(THVControl(bus.proto, 6).Kind, KindHVControl);
    EXPECT_EQ(TMotorControl(bus.proto, 7).Kind, KindMotorControl);
    EXPECT_EQ(TRadioModule(bus.proto, 240).Kind, KindRadioModule);
    TRemoteControl remote(bus.proto);
    EXPECT_EQ(remote.Kind, KindRemoteControl);
    EXPECT_EQ(remote.Address, 0);
    // A console is always at 255, whatever it was created with.
    TSoftControl console(bus.proto, 42);
    EXPECT_EQ(console.Kind, KindSoftControl);
    EXPECT_EQ(console.Address, 255);
    EXPECT_EQ(console.ConsoleId, 42);
}

TEST(DeviceModel, LinkQualityWindowRestartsAfterTenFailures) {
    OfflineBus bus;
    TAutoControl module(bus.proto, 3);
    // Every poll fails: no converter is open.
    for (int i = 0; i < 10; ++i) {
        module.PollStatus();
        EXPECT_NE(module.LastResult, 0);
    }
    EXPECT_EQ(module.LinkQuality(), 9);  // 1 of 11
    module.PollStatus();
    EXPECT_EQ(module.LinkQuality(), 0);  // 0 of 2: the window restarted without a success
    EXPECT_EQ(module.LinkRequests, 2);
}

TEST(DeviceModel, LinkQualityKeepsOneSuccessWhenTheOldWindowWasUsable) {
    OfflineBus bus;
    TAutoControl module(bus.proto, 3);
    module.LinkRequests = 11;
    module.LinkSuccesses = 2;  // 18 %: good enough to remember one success
    module.LastResult = 0;
    module.UpdateLinkQuality();
    EXPECT_EQ(module.LinkRequests, 2);
    EXPECT_EQ(module.LinkSuccesses, 2);
    EXPECT_EQ(module.LinkQuality(), 100);
}

TEST(DeviceModel, FailedPollClearsVoltagesAndKeepsUnknownMode) {
    OfflineBus bus;
    TAutoControl module(bus.proto, 3);
    module.Version = 0x36B;
    module.OutputVoltage = 12;
    module.SupplyVoltage = 11;
    module.Mode = ModeLaunch;
    module.Temperature = 30;
    module.PollStatus();
    EXPECT_EQ(module.OutputVoltage, 0);
    EXPECT_EQ(module.SupplyVoltage, 0);
    EXPECT_EQ(module.Mode, ModeUnknown);
    EXPECT_EQ(module.Temperature, 0);
}

TEST(DeviceModel, ChannelCountIsClampedToTheModel) {
    OfflineBus bus;
    TAutoControl module(bus.proto, 3);
    module.SetChannelCount(600);
    EXPECT_EQ(module.ChannelCount, kMaxChannels);
    module.SetChannelCount(-4);
    EXPECT_EQ(module.ChannelCount, 0);
    module.SetChannelCount(kMaxChannels);
    module.ChannelState.fill(ChannelConnected);
    EXPECT_EQ(module.ConnectedCount(), kMaxChannels);
}

TEST(DeviceModel, ForcingIsKeptWhenTheSendFails) {
    OfflineBus bus;
    TAutoControl module(bus.proto, 3);
    module.Forcing = ForcingOn;
    EXPECT_NE(module.SetForcing(ForcingOff), 0);
    EXPECT_EQ(module.Forcing, ForcingOn);
    EXPECT_NE(module.LastResult, 0);
}

TEST(DeviceModel, ClearChannelsKeepsScriptMarksAndClearsHvVoltages) {
    OfflineBus bus;
    THVControl hv(bus.proto, 9);
    hv.ChannelState[1] = ChannelConnected;
    hv.ChannelResistance[1] = 3;
    hv.ChannelFired[1] = 1;
    hv.ChannelInScript[1] = 1;
    hv.ChargeVoltage[1] = 61;
    hv.ClearChannels();
    EXPECT_EQ(hv.ChannelState[1], ChannelUnknown);
    EXPECT_EQ(hv.ChannelResistance[1], 0);
    EXPECT_EQ(hv.ChannelFired[1], 0);
    EXPECT_EQ(hv.ChargeVoltage[1], 0);
    EXPECT_EQ(hv.ChannelInScript[1], 1);
}

// Classification -------------------------------------------------------------------------

namespace {

uint8_t Classify(TCommonControl& m, double reading) {
    ClassifyMeasurement(m, 0, reading / 1000.0, ResistanceThresholds{});
    return m.ChannelState[0];
}

}  // namespace

TEST(Classification, ResistanceBandsAtTheirEdges) {
    OfflineBus bus;
    TAutoControl m(bus.proto, 1);
    m.Version = 0x268;
    // Readings are tenths of an ohm.
    EXPECT_EQ(Classify(m, 5), ChannelError);  // 0.5 ohm
    EXPECT_EQ(Classify(m, 10), ChannelConnected);
    EXPECT_EQ(Classify(m, 199), ChannelConnected);  // 19.9
    EXPECT_EQ(Classify(m, 200), ChannelError);      // 20
    EXPECT_EQ(Classify(m, 1999), ChannelError);     // 199.9
    EXPECT_EQ(Classify(m, 2000), ChannelNotConnected);
    EXPECT_DOUBLE_EQ(m.ChannelResistance[0], 200.0);
}

TEST(Classification, EveryReadingOnABandEdgeLandsOnTheUpperSide) {
    // Binary representation error must not move an exact edge into the band below it.
    OfflineBus bus;
    TAutoControl m(bus.proto, 1);
    m.Version = 0x46B;
    for (int tenths = 1; tenths <= 3000; ++tenths) {
        ClassifyMeasurement(m, 0, tenths / 1000.0, ResistanceThresholds{2.3, 17.1, 150.7});
        EXPECT_DOUBLE_EQ(m.ChannelResistance[0], tenths / 10.0);
        const uint8_t expected = tenths < 23     ? ChannelError
                                 : tenths < 171  ? ChannelConnected
                                 : tenths < 1507 ? ChannelError
                                                 : ChannelNotConnected;
        ASSERT_EQ(m.ChannelState[0], expected) << tenths;
    }
}

TEST(Classification, OldFirmwareComparesTheLevel) {
    OfflineBus bus;
    TAutoControl m(bus.proto, 1);
    m.Version = 0x267;
    EXPECT_EQ(Classify(m, 4000), ChannelConnected);
    EXPECT_EQ(Classify(m, 3999), ChannelNotConnected);
    EXPECT_EQ(m.ChannelResistance[0], 0);  // old firmware has no resistance
}

TEST(Classification, HvMarksConnectedAndStoresATenth) {
    OfflineBus bus;
    THVControl hv(bus.proto, 2);
    // An HV reading of 250 is 0.25 * 100 = 25 after MeasureChannel's scaling: 2.5 ohms.
    ClassifyMeasurement(hv, 0, 25, ResistanceThresholds{});
    EXPECT_EQ(hv.ChannelState[0], ChannelConnected);
    EXPECT_DOUBLE_EQ(hv.ChannelResistance[0], 2.5);
}

TEST(Classification, MotorAndOutOfRangeChannelsAreLeftAlone) {
    OfflineBus bus;
    TMotorControl motor(bus.proto, 2);
    motor.Version = 0x46B;
    motor.ChannelState[0] = ChannelError;
    ClassifyMeasurement(motor, 0, 0.01, ResistanceThresholds{});
    EXPECT_EQ(motor.ChannelState[0], ChannelError);
    TAutoControl m(bus.proto, 1);
    ClassifyMeasurement(m, kMaxChannels, 5, ResistanceThresholds{});  // must not write past
    ClassifyMeasurement(m, -1, 5, ResistanceThresholds{});
}

TEST(ChargeVoltage, FollowsTheEnergyAndStaysInRange) {
    EXPECT_EQ(THVControl::ChargeVoltageFor(2.5, 15), 61);
    EXPECT_EQ(THVControl::ChargeVoltageFor(30, 255), 450);
    EXPECT_EQ(THVControl::ChargeVoltageFor(2.5, 0), 1);
    EXPECT_EQ(THVControl::ChargeVoltageFor(0, 15), 1);
    EXPECT_EQ(THVControl::ChargeVoltageFor(-3, 15), 1);
    EXPECT_EQ(THVControl::ChargeVoltageFor(36.6025, 1), 61);  // sqrt = 60.5 exactly
    // 100 * 0.5 * 45 = 2250, sqrt = 47.43
    EXPECT_EQ(THVControl::ChargeVoltageFor(0.5, 45), 47);
}
