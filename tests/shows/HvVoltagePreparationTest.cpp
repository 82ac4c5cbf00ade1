// Charge voltages of HV outputs before a show: computed from a measurement where the panel
// never computed one, refused where none can be, and what the module is really charged to.
#include <gtest/gtest.h>

#include "FakeRig.h"
#include "LogCapture.h"
#include "SimShowRig.h"
#include "devices/TControls.h"
#include "devices/THVControl.h"
#include "shows/HvVoltagePreparation.h"
#include "sim/SimHvModule.h"

using namespace kv;

namespace {

int ChargeVolts(const std::vector<uint8_t>& f) {
    return ((f[3] & 0x7F) << 7) | (f[4] & 0x7F);
}

TEST(HvVoltagePreparation, ShowOnTheDemoRigChargesTheMeasuredVoltagesNotZero) {
    SimShowRig r;
    auto* hv = dynamic_cast<THVControl*>(r.Register(20));
    ASSERT_NE(hv, nullptr);
    ASSERT_EQ(hv->Energy, 15);
    // Output 1 has 2.5 ohms, output 4 has 30; nobody tested the module or opened its panel.
    r.Load("1.5 20 1\n3.5 20 4\n5.5 20 1\n");
    const HvPreparation prep =
        PrepareHvVoltages(r.Controls(), ScriptedHvOutputs(r.Controls(), r.script));
    ASSERT_TRUE(prep.Ok()) << prep.RefusedText().toStdString();
    ASSERT_EQ(prep.ComputedVoltages.size(), 2u);
    EXPECT_TRUE(prep.ComputedVoltages[0].Measured);
    EXPECT_NEAR(prep.ComputedVoltages[0].Ohms, 2.5, 0.05);
    EXPECT_NEAR(hv->ChargeVoltage[0], 61, 1);   // sqrt(100 * 2.5 * 15)
    EXPECT_NEAR(hv->ChargeVoltage[3], 212, 2);  // sqrt(100 * 30 * 15)
    EXPECT_EQ(hv->ChargeVoltage[1], 0) << "an output the script does not fire is left alone";
    EXPECT_EQ(
        r.log.With(QStringLiteral("Напряжение заряда по измерению, пульт: 20, канал: 1,")).size(),
        1);

    // The show: charged to the first cue's voltage, recharged to the next ones'.
    r.bus->ClearRecords();
    const uint32_t t0 = r.clock.TickCount();
    r.player->Start(0);
    for (uint32_t t = TCommonPlayer::kTickMs; r.player->IsPlaying() && t <= 8000;
         t += TCommonPlayer::kTickMs) {
        if (static_cast<int32_t>(t0 + t - r.clock.TickCount()) > 0) {
            r.clock.Set(t0 + t);
        }
        r.player->Tick();
    }
    std::vector<int> volts;
    for (const auto& rec : r.Sent(0x84)) {
        if (rec.bytes[5] == 20) {
            volts.push_back(ChargeVolts(rec.bytes));
        }
    }
    ASSERT_EQ(volts.size(), 4u);  // the charge, then three shots each naming the next voltage
    EXPECT_NEAR(volts[0], 61, 1);
    EXPECT_NEAR(volts[1], 212, 2);
    EXPECT_NEAR(volts[2], 61, 1);
    EXPECT_EQ(volts[3], 1);
    auto lock = r.bus->Lock();
    const auto& firings = r.bus->FindAs<SimHvModule>(20)->Firings();
    ASSERT_EQ(firings.size(), 3u);
    EXPECT_NEAR(firings[0].volts, 61, 2);
    EXPECT_NEAR(firings[1].volts, 212, 3);
    EXPECT_NEAR(firings[2].volts, 61, 2);
}

// Module 20 behind the in-memory rig: output 1 reads 2.5 ohms, output 2 never answers.
struct HvOnFakeRig {
    RigBus b;
    TControls controls{b.proto};
    THVControl* hv = nullptr;
    TProjectList script;
    LogCapture log;

    explicit HvOnFakeRig(int energy = 15) {
        b.rig.Add({.address = 20,
                   .type = 'Q',
                   .channels = 4,
                   .energy = energy,
                   .readings = {{0, 250}, {2, 1000}, {3, 400}}});
        hv = dynamic_cast<THVControl*>(controls.RegisterDevice(20, 0));
    }
    HvPreparation Prepare(const char* text) {
        script.LoadFromBytes(QByteArray(text), "show.txt");
        return PrepareHvVoltages(controls, ScriptedHvOutputs(controls, script));
    }
};

TEST(HvVoltagePreparation, KeepsTheOperatorsVoltagesAndRefusesOutputsThatCannotBeMeasured) {
    HvOnFakeRig f;
    ASSERT_NE(f.hv, nullptr);
    // Output 3: tested and computed by the panel with another energy; output 4: tested, but
    // the panel was never opened.
    f.hv->ChannelState[2] = ChannelConnected;
    f.hv->ChannelResistance[2] = 10;
    f.hv->ChargeVoltage[2] = 300;
    f.hv->ChannelState[3] = ChannelConnected;
    f.hv->ChannelResistance[3] = 10;
    const int measuredBefore = f.b.rig.Seen(0x83);
    const HvPreparation p = f.Prepare("1 20 1\n2 20 2\n3 20 3\n4 20 4\n5 20 9\n6 7 1\n");
    // Measured: outputs 1 and 2 only (output 9 does not exist, module 7 is not on the bus).
    EXPECT_EQ(f.b.rig.Seen(0x83) - measuredBefore, 2);
    EXPECT_FALSE(p.Ok());
    ASSERT_EQ(p.Refused.size(), 1u);
    EXPECT_EQ(p.Refused[0], (HvOutput{20, 1}));
    EXPECT_EQ(p.RefusedText(), QStringLiteral("пульт 20: каналы 2"));
    EXPECT_EQ(f.hv->ChargeVoltage[0], 61);
    EXPECT_EQ(f.hv->ChargeVoltage[1], 0);
    EXPECT_EQ(f.hv->ChargeVoltage[2], 300);
    EXPECT_EQ(f.hv->ChargeVoltage[3], 122);  // sqrt(100 * 10 * 15), without a new measurement
    ASSERT_EQ(p.ComputedVoltages.size(), 2u);
    EXPECT_FALSE(p.ComputedVoltages[1].Measured);
    EXPECT_EQ(f.log.With(QStringLiteral("Старт невозможен")).size(), 1);

    // A second call has nothing left to measure but the output that failed.
    const int measured = f.b.rig.Seen(0x83);
    EXPECT_FALSE(f.Prepare("1 20 1\n2 20 2\n").Ok());
    EXPECT_EQ(f.b.rig.Seen(0x83) - measured, 1);
    EXPECT_TRUE(f.Prepare("1 20 1\n3 20 3\n").Ok());
    EXPECT_EQ(f.b.rig.Seen(0x83) - measured, 1);
}

TEST(HvVoltagePreparation, NoEnergyMeansNoVoltageAndAllOutputsCoverManualLaunches) {
    HvOnFakeRig f(0);
    ASSERT_NE(f.hv, nullptr);
    const int reads = f.b.rig.Seen(0x82);
    const HvPreparation p = f.Prepare("1 20 1\n");
    EXPECT_EQ(f.b.rig.Seen(0x82) - reads, 1) << "the energy is asked once more";
    ASSERT_FALSE(p.Ok());
    EXPECT_EQ(f.hv->ChargeVoltage[0], 0);

    EXPECT_EQ(AllHvOutputs(f.controls),
              (std::vector<HvOutput>{{20, 0}, {20, 1}, {20, 2}, {20, 3}}));
}

}  // namespace
