// Which cues a cue record carries, at the edges of its time and channel fields.
#include <gtest/gtest.h>

#include "devices/CueLimits.h"
#include "devices/ScriptTransfer.h"

namespace kv {
namespace {

TScriptCue Cue(int module, int channel, int t, int kind = ckFire) {
    TScriptCue c;
    c.Module = module;
    c.Channel = channel;
    c.Time = t;
    c.Kind = kind;
    return c;
}

TEST(CueLimits, TimeAndChannelEdges) {
    for (CueTarget target : {CueTarget::Modules, CueTarget::RemoteControl}) {
        EXPECT_TRUE(BusCarries(Cue(5, 0, 0), target));
        EXPECT_TRUE(BusCarries(Cue(5, 510, 6553499), target)) << "channel 511, last time";
        EXPECT_FALSE(BusCarries(Cue(5, 0, 6553500), target)) << "the empty time";
        EXPECT_FALSE(BusCarries(Cue(5, 0, 7200000), target));
        EXPECT_FALSE(BusCarries(Cue(5, 0, -1), target));
        EXPECT_FALSE(BusCarries(Cue(5, 511, 1000), target)) << "channel 512";
        EXPECT_FALSE(BusCarries(Cue(5, -1, 1000), target)) << "channel 0 of the script";
        EXPECT_TRUE(BusCarries(Cue(6, 0, 1000, ckRotateLeft), target));
        EXPECT_FALSE(BusCarries(Cue(6, 0, 6553500, ckLeft), target));
    }
    // The remote keeps the module in one byte; the modules' memories take only cues of module
    // addresses: 0 is the remote control itself, 200 and above radio units and consoles.
    EXPECT_TRUE(BusCarries(Cue(255, 0, 1000), CueTarget::RemoteControl));
    EXPECT_FALSE(BusCarries(Cue(256, 0, 1000), CueTarget::RemoteControl));
    EXPECT_FALSE(BusCarries(Cue(256, 0, 1000), CueTarget::Modules));
    EXPECT_FALSE(BusCarries(Cue(0, 0, 1000), CueTarget::Modules)) << "the remote control";
    EXPECT_FALSE(BusCarries(Cue(200, 0, 1000), CueTarget::Modules));
    EXPECT_TRUE(BusCarries(Cue(1, 0, 1000), CueTarget::Modules));
    EXPECT_TRUE(BusCarries(Cue(199, 0, 1000), CueTarget::Modules));
}

TEST(CueLimits, ListKeepsScriptPositionsAndTheScriptsTimeText) {
    std::vector<TScriptCue> cues = {Cue(5, 0, 1000), Cue(5, 600, 2000), Cue(9, 1, 6553500)};
    cues[2].TimeText = QStringLiteral("1:49:13.5");
    const auto refused = CuesTheBusCannotCarry(cues, CueTarget::Modules);
    ASSERT_EQ(refused.size(), 2u);
    EXPECT_EQ(refused[0].index, 1);
    EXPECT_EQ(refused[1].module, 9);
    EXPECT_EQ(UncarriedCueLines(refused),
              (QStringList{QString::fromUtf8("Пульт: 5, канал: 601, время: 2000"),
                           QString::fromUtf8("Пульт: 9, канал: 2, время: 1:49:13.5")}));
}

TEST(CueLimits, VerificationExpectsExactlyWhatTheWriteSends) {
    // Below zero and past the range the old expectation wrapped while the write held the time
    // at the ends; inside the range both agree to the millisecond the record keeps.
    EXPECT_EQ(transfer::StoredFireTime(6553499, true), 6553498);
    EXPECT_EQ(transfer::StoredFireTime(6553499, false), 6553490);
    EXPECT_EQ(transfer::StoredFireTime(12345, true), 12344);
    EXPECT_EQ(transfer::StoredFireTime(-5, true), 0);
    EXPECT_EQ(transfer::StoredFireTime(6553600, false), 6553500);
    EXPECT_EQ(transfer::StoredMotorTime(6553599), 6553500);
    EXPECT_EQ(transfer::StoredMotorTime(-100), 0);
}

}  // namespace
}  // namespace kv
