// Shows played over the simulated bus of the demo rig: what reaches the wire and when, and what
// the simulated devices did with it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "AudioFixtures.h"
#include "SimShowRig.h"
#include "TempDir.h"
#include "bus/TPortProto.h"
#include "devices/TCommonControl.h"
#include "devices/THVControl.h"
#include "sim/SimFiringModule.h"
#include "sim/SimHvModule.h"

using namespace kv;

namespace {

int FrameChannel(const SimRecord& r) {
    return r.bytes[1] + 256 * r.bytes[2] - 1;
}

class ShowSimBusTest : public ::testing::Test {
protected:
    SimShowRig r;
    TExtPlayer& p = *r.player;
    uint32_t t0 = 0;
    SimTimeUs startUs = 0;

    void Start(int32_t position) {
        t0 = r.clock.TickCount();
        startUs = r.bus->NowUs();
        p.Start(position);
    }
    // The show clock's 25 ms ticks until the show stops or `limit` ms passed. An exchange
    // inside a tick moves the clock on; the next tick never sets it back.
    void Run(uint32_t limit) {
        for (uint32_t t = TCommonPlayer::kTickMs; p.IsPlaying() && t <= limit;
             t += TCommonPlayer::kTickMs) {
            if (static_cast<int32_t>(t0 + t - r.clock.TickCount()) > 0) {
                r.clock.Set(t0 + t);
            }
            p.Tick();
        }
    }
    // Milliseconds of show clock (from the start) at which a record went on the wire.
    double ShowMs(const SimRecord& rec) const {
        return static_cast<double>(rec.timeUs - startUs) / 1000.0;
    }
    // The first fire frame of each burst for a module (a relay repeats it).
    std::vector<SimRecord> FiresTo(int address) const {
        std::vector<SimRecord> out;
        for (const auto& rec : r.Sent(0x84)) {
            if (rec.bytes[5] == address && (out.empty() || rec.timeUs - out.back().timeUs > 20000 ||
                                            FrameChannel(rec) != FrameChannel(out.back()))) {
                out.push_back(rec);
            }
        }
        return out;
    }
};

TEST_F(ShowSimBusTest, DirectControlFiresEachCueOnTimeAndTheFiredChannelsReadOpen) {
    for (int a : {3, 7, 12}) {
        ASSERT_NE(r.Register(a), nullptr) << a;
    }
    r.Load("0.5 3 2\n0.5 12 4\n1.2 7 1\n2 12 10\n");
    r.bus->ClearRecords();
    Start(0);
    Run(4000);
    ASSERT_FALSE(p.IsPlaying());

    struct Expected {
        int module, channel, ms;
    };
    for (const Expected e :
         {Expected{3, 1, 500}, Expected{12, 3, 500}, Expected{7, 0, 1200}, Expected{12, 9, 2000}}) {
        const auto fires = FiresTo(e.module);
        const auto it = std::find_if(fires.begin(), fires.end(), [&](const SimRecord& f) {
            return FrameChannel(f) == e.channel;
        });
        ASSERT_NE(it, fires.end()) << e.module << "/" << e.channel;
        // Due on the tick that reaches the cue time; the frame follows within that tick.
        EXPECT_GE(ShowMs(*it), e.ms) << e.module << "/" << e.channel;
        EXPECT_LT(ShowMs(*it), e.ms + TCommonPlayer::kTickMs) << e.module << "/" << e.channel;
    }
    EXPECT_EQ(FiresTo(3).size(), 1u);
    EXPECT_EQ(FiresTo(12).size(), 2u);
    {
        auto lock = r.bus->Lock();
        // Behind its relay the module hears each fire several times; the channels are these.
        std::vector<int> f12;
        for (const auto& f : r.bus->FindAs<SimFiringModule>(12)->Firings()) {
            EXPECT_FALSE(f.autonomous);
            if (f12.empty() || f12.back() != f.channel) {
                f12.push_back(f.channel);
            }
        }
        EXPECT_EQ(f12, (std::vector<int>{3, 9}));
        ASSERT_EQ(r.bus->FindAs<SimFiringModule>(7)->Firings().size(), 1u);
    }
    // The end of the script stops the show clock of every module and says so to other consoles.
    EXPECT_EQ(r.Sent(0x11, 0).size(), 1u);
    EXPECT_EQ(r.Sent(0x11, 1).size(), 1u);
    EXPECT_EQ(p.Position, 2000);

    // Between shows the idle cycle measures each fired channel once: all burnt through now.
    r.clock.Advance(TExtPlayer::kCheckDelayMs + 1);
    for (int i = 0; i < 6; ++i) {
        r.wiring->PollStep();
    }
    EXPECT_FALSE(p.HasPendingChecks());
    for (const char* line : {"Тест канала, пульт: 3, канал: 2, состояние: неподключен",
                             "Тест канала, пульт: 12, канал: 4, состояние: неподключен",
                             "Тест канала, пульт: 7, канал: 1, состояние: неподключен",
                             "Тест канала, пульт: 12, канал: 10, состояние: неподключен"}) {
        EXPECT_EQ(r.log.With(QString::fromUtf8(line)).size(), 1) << line;
    }
    EXPECT_EQ(r.log.With(QString::fromUtf8("Запуск, пульт: 12, канал: 10")).size(), 1);
}

TEST_F(ShowSimBusTest, AutonomousControlLeavesTheFiringToTheModulesOwnClocks) {
    auto* m12 = static_cast<TCommonControl*>(r.Register(12));
    ASSERT_NE(m12, nullptr);
    // The script as a transfer would have stored it in the module.
    ASSERT_EQ(r.wiring->Proto().WriteCueChecked(12, 4, m12->RelayId, 0, 1200), 0);
    ASSERT_EQ(r.wiring->Proto().WriteCueChecked(12, 5, m12->RelayId, 0, 2600), 0);
    r.Load("1.2 12 5\n2.6 12 6\n");
    p.ControlMode = TCommonPlayer::ControlAutonomous;
    r.bus->ClearRecords();
    Start(0);
    Run(5000);
    ASSERT_FALSE(p.IsPlaying());

    // The console sent no fire of its own, only the running show time about once a second.
    EXPECT_TRUE(r.Sent(0x84).empty());
    std::vector<SimRecord> runs;
    for (const auto& rec : r.Sent(0x90, 0)) {
        if (rec.bytes[3] == 0x80) {
            runs.push_back(rec);
        }
    }
    ASSERT_GE(runs.size(), 3u);
    for (const auto& rec : runs) {
        // Tenths of a second of show time, never ahead of the clock.
        const int tenths = rec.bytes[1] * 256 + rec.bytes[2];
        EXPECT_LE(tenths * 100, ShowMs(rec) + 1);
        EXPECT_GT(tenths * 100 + 100, ShowMs(rec) - TCommonPlayer::kTickMs);
    }
    // The follow-up records each cue once, and the show ends half a second after the last.
    EXPECT_EQ(p.FiredCount(), 2);
    EXPECT_EQ(p.Position, 2600);
    const auto stops = r.Sent(0x11, 0);
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_GE(ShowMs(stops[0]), 3100);

    r.bus->Pump();
    auto lock = r.bus->Lock();
    auto* sim = r.bus->FindAs<SimFiringModule>(12);
    ASSERT_EQ(sim->Firings().size(), 2u);
    EXPECT_TRUE(sim->Firings()[0].autonomous);
    EXPECT_EQ(sim->Firings()[0].channel, 4);
    EXPECT_NEAR(static_cast<double>(sim->Firings()[0].atUs - startUs) / 1000, 1200, 60);
    EXPECT_NEAR(static_cast<double>(sim->Firings()[1].atUs - startUs) / 1000, 2600, 60);
    EXPECT_FALSE(sim->ClockRunning());
}

TEST_F(ShowSimBusTest, HvShotsRechargeToTheNextCuesVoltageAndTheStopDischarges) {
    auto* hv = dynamic_cast<THVControl*>(r.Register(20));
    ASSERT_NE(hv, nullptr);
    hv->ChargeVoltage[0] = 300;
    hv->ChargeVoltage[1] = 200;
    hv->ChargeVoltage[2] = 400;
    r.Load("1.5 20 1\n3.5 20 2\n5.5 20 3\n");
    r.bus->ClearRecords();
    Start(0);
    Run(8000);
    ASSERT_FALSE(p.IsPlaying());

    auto lock = r.bus->Lock();
    auto* sim = r.bus->FindAs<SimHvModule>(20);
    ASSERT_EQ(sim->Firings().size(), 3u);
    // Charged at the start to the first cue's voltage, then after each shot to the next one's.
    EXPECT_NEAR(sim->Firings()[0].volts, 300, 2);
    EXPECT_NEAR(sim->Firings()[1].volts, 200, 2);
    EXPECT_NEAR(sim->Firings()[2].volts, 400, 2);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(sim->Firings()[static_cast<size_t>(i)].channel, i);
    }
    // After the last shot nothing is left to charge for: the minimum, then the stop's reset.
    EXPECT_EQ(sim->Resets(), 1u);
    EXPECT_EQ(sim->TargetVolts(), 0);
    std::vector<int> recharges;
    for (const auto& rec : r.Sent(0x84)) {
        if (rec.bytes[5] == 20 && FrameChannel(rec) >= 0) {
            recharges.push_back(((rec.bytes[3] & 0x7F) << 7) | (rec.bytes[4] & 0x7F));
        }
    }
    EXPECT_EQ(recharges, (std::vector<int>{200, 400, 1}));
}

TEST_F(ShowSimBusTest, ExternalStartIsHeldOnTheBusAndStartsTheShowOnlyWhenWaited) {
    ASSERT_NE(r.Register(12), nullptr);
    r.Load("3.5 12 1\n6 12 2\n");
    // Not waiting: the start is held and refused.
    r.bus->ClearRecords();
    r.OtherConsole(
        [](SimConsole& c, SimTimeUs now, SimOutput& out) { c.BroadcastStart(3000, now, out); });
    ASSERT_TRUE(r.PumpUntil([&] {
        return !r.log.With(QString::fromUtf8("Внешняя команда запуска - отменено")).isEmpty();
    }));
    EXPECT_FALSE(p.IsPlaying());
    auto holds = r.Sent(0x90, 0);
    ASSERT_EQ(holds.size(), 1u);
    EXPECT_EQ(holds[0].bytes[3], 0x00);
    EXPECT_EQ(holds[0].bytes[1] * 256 + holds[0].bytes[2], 30);
    {
        auto lock = r.bus->Lock();
        EXPECT_FALSE(r.bus->FindAs<SimFiringModule>(12)->ClockRunning());
    }

    // Waiting: the show starts at the broadcast time, and waiting ends.
    p.WaitingExtStart = true;
    r.bus->ClearRecords();
    r.OtherConsole(
        [](SimConsole& c, SimTimeUs now, SimOutput& out) { c.BroadcastStart(3000, now, out); });
    ASSERT_TRUE(r.PumpUntil([&] { return p.IsPlaying(); }));
    EXPECT_FALSE(p.WaitingExtStart);
    EXPECT_EQ(p.Position, 3000);
    EXPECT_EQ(p.NextCue, 0);
    EXPECT_EQ(r.log.With(QString::fromUtf8("Внешняя команда запуска, время: 3000")).size(), 1);
    EXPECT_FALSE(r.Sent(0x10).empty());  // the start announced in turn

    // Its stop stops ours.
    r.OtherConsole(
        [](SimConsole& c, SimTimeUs now, SimOutput& out) { c.BroadcastStop(3400, now, out); });
    ASSERT_TRUE(r.PumpUntil([&] { return !p.IsPlaying(); }));
    auto lock = r.bus->Lock();
    EXPECT_TRUE(r.bus->FindAs<SimFiringModule>(12)->Firings().empty());
}

TEST_F(ShowSimBusTest, SoundtrackPositionRunsWithTheShowAndAStartFromSoundFollowsIt) {
    TempDir dir;
    const QString wav = kvtest::WriteRampWav(dir.file(QStringLiteral("track.wav")), 8000, 8000 * 6);
    ASSERT_FALSE(wav.isEmpty());
    ASSERT_TRUE(AudioReady());
    ASSERT_TRUE(p.LoadSound(wav));
    EXPECT_NEAR(p.Sound().LengthMs(), 6000, 1);
    ASSERT_NE(r.Register(3), nullptr);
    r.Load("4.5 3 1\n");
    auto waitSound = [&](int32_t ms) {
        for (int i = 0; i < 400 && std::abs(p.Sound().SoundPosition() - ms) > 30; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return p.Sound().SoundPosition();
    };

    Start(1000);
    EXPECT_TRUE(p.Sound().IsSoundPlaying());
    Run(1000);
    EXPECT_TRUE(p.IsPlaying());
    EXPECT_NEAR(waitSound(2000), 2000, 30);
    EXPECT_NEAR(p.Position, 2000, 30);

    // The stop key during a show stops the clock only; the soundtrack plays on.
    p.Stop(false);
    EXPECT_TRUE(p.Sound().IsSoundPlaying());
    r.clock.Advance(1500);
    const int32_t heard = waitSound(p.Position + 1500);
    EXPECT_NEAR(heard, 3500, 40);
    // Started again from the soundtrack: the show clock takes the sound's position.
    p.StartFromSound();
    EXPECT_TRUE(p.IsPlaying());
    EXPECT_NEAR(p.Position, heard, 30);
    EXPECT_EQ(p.NextCue, 0);
    t0 = r.clock.TickCount() - static_cast<uint32_t>(p.Position);
    startUs = r.bus->NowUs() - static_cast<SimTimeUs>(p.Position) * 1000;
    r.bus->ClearRecords();
    Run(7000);
    ASSERT_FALSE(p.IsPlaying());
    const auto fires = FiresTo(3);
    ASSERT_EQ(fires.size(), 1u);
    EXPECT_NEAR(ShowMs(fires[0]), 4500, 40);
    p.Stop(true);
    EXPECT_FALSE(p.Sound().IsSoundPlaying());
}

}  // namespace
