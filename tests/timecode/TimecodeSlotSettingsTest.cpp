// A slot's timecode source read from the settings file: every key, and values that leave the
// slot off with the key named.
#include <gtest/gtest.h>

#include "timecode/TimecodeSlotSettings.h"
#include "util/IniFile.h"

using namespace kv;

namespace {

TimecodeSlotReading Read(const char* text, int slot = 1) {
    return ReadTimecodeSlot(IniFile::FromBytes(QByteArray(text)), slot);
}

TEST(TimecodeSlotSettings, EveryKeyIsRead) {
    const TimecodeSlotReading r = Read(
        "[timecode3]\r\n"
        "On=1\r\nDevice=\"USB Audio CODEC\"\r\nChannel=2\r\nShowZero=00:59:50:00\r\n"
        "OnLoss=Stop\r\nFreewheelMs=5000\r\nLockFrames=4\r\n",
        3);
    EXPECT_TRUE(r.refused.isEmpty()) << r.refused.join('\n').toStdString();
    EXPECT_TRUE(r.slot.Enabled);
    EXPECT_EQ(r.slot.Device, QStringLiteral("USB Audio CODEC"));
    EXPECT_EQ(r.slot.Channel, 2);
    EXPECT_EQ(r.slot.ShowZero, QStringLiteral("00:59:50:00"));
    EXPECT_TRUE(r.slot.StopOnLoss);
    EXPECT_EQ(r.slot.FreewheelMs, 5000);
    EXPECT_EQ(r.slot.LockFrames, 4);
}

TEST(TimecodeSlotSettings, MissingKeysAndSectionsGiveTheDefaultsAndOnlyOnSwitchesItOn) {
    const TimecodeSlot defaults;
    // Another slot's section, or a section without On, is no timecode for this slot.
    for (const char* text : {"", "[timecode2]\nOn=1\n", "[timecode1]\nShowZero=02:00:00:00\n",
                             "[TIMECODE1]\non=0\n"}) {
        const TimecodeSlotReading r = Read(text);
        EXPECT_FALSE(r.slot.Enabled) << text;
        EXPECT_TRUE(r.refused.isEmpty()) << text;
    }
    const TimecodeSlotReading r = Read("[Timecode1]\non=1\nonloss=goon\n");
    EXPECT_TRUE(r.slot.Enabled);
    EXPECT_TRUE(r.refused.isEmpty());
    EXPECT_EQ(r.slot.Device, defaults.Device);
    EXPECT_EQ(r.slot.Channel, defaults.Channel);
    EXPECT_EQ(r.slot.ShowZero, defaults.ShowZero);
    EXPECT_FALSE(r.slot.StopOnLoss);
    EXPECT_EQ(r.slot.FreewheelMs, defaults.FreewheelMs);
    EXPECT_EQ(r.slot.LockFrames, defaults.LockFrames);
}

TEST(TimecodeSlotSettings, ABadValueLeavesTheSlotOffWithTheKeyNamed) {
    struct Case {
        const char* line;
        const char* refused;
    };
    const Case cases[] = {
        {"On=yes", "[timecode1] On=yes: not 0 or 1"},
        {"On=2", "[timecode1] On=2: not 0 or 1"},
        {"Channel=0", "[timecode1] Channel=0: not a channel 1..64"},
        {"Channel=left", "[timecode1] Channel=left: not a channel 1..64"},
        {"ShowZero=25:00:00:00", "[timecode1] ShowZero=25:00:00:00: not a timecode HH:MM:SS:FF"},
        {"ShowZero=01:00:00", "[timecode1] ShowZero=01:00:00: not a timecode HH:MM:SS:FF"},
        {"ShowZero=", "[timecode1] ShowZero=: not a timecode HH:MM:SS:FF"},
        {"OnLoss=continue", "[timecode1] OnLoss=continue: not GoOn or Stop"},
        {"FreewheelMs=-1", "[timecode1] FreewheelMs=-1: not milliseconds 0..600000"},
        {"FreewheelMs=2 s", "[timecode1] FreewheelMs=2 s: not milliseconds 0..600000"},
        {"LockFrames=0", "[timecode1] LockFrames=0: not frames 1..300"},
        // A misspelt key would otherwise leave its setting at the default unnoticed.
        {"StopOnLoss=1", "[timecode1] StopOnLoss=1: no such key"},
    };
    for (const Case& c : cases) {
        // The bad key first (the first of a repeated key counts): nothing read after it
        // survives.
        const QByteArray text =
            QByteArray("[timecode1]\n") + c.line + "\nOn=1\nShowZero=00:59:50:00\nOnLoss=Stop\n";
        const TimecodeSlotReading r = ReadTimecodeSlot(IniFile::FromBytes(text), 1);
        EXPECT_FALSE(r.slot.Enabled) << c.line;
        ASSERT_EQ(r.refused.size(), 2) << c.line;
        EXPECT_EQ(r.refused[0], QString::fromUtf8(c.refused));
        EXPECT_EQ(r.refused[1], QStringLiteral("[timecode1]: slot 1 does not follow timecode"));
        EXPECT_EQ(r.slot.ShowZero, TimecodeSlot().ShowZero) << c.line;
        EXPECT_FALSE(r.slot.StopOnLoss) << c.line;
    }
    // Every bad key is named, not only the first.
    const TimecodeSlotReading r = Read("[timecode1]\nChannel=0\nOn=1\nLockFrames=x\n");
    EXPECT_FALSE(r.slot.Enabled);
    EXPECT_EQ(r.refused.size(), 3);
}

}  // namespace
