// The console's command line for a timecode rehearsal.
#include <gtest/gtest.h>

#include "../../common/TempDir.h"
#include "KelvaneOptions.h"

using namespace kv;

namespace {

KelvaneOptions Parse(const QStringList& args) {
    return KelvaneOptions::Parse(QStringList{QStringLiteral("kelvane")} + args);
}

TEST(KelvaneOptions, TimecodeFileIsARehearsalOnTheSimulatedBus) {
    TempDir dir;
    const QString wav = dir.write(QStringLiteral("ltc.wav"), QByteArray("RIFF"));
    KelvaneOptions o =
        Parse({"--simulate", "--timecode-file", wav, "--timecode-start", "00:59:50:00"});
    EXPECT_TRUE(o.error.isEmpty()) << o.error.toStdString();
    EXPECT_EQ(o.timecodeFile, wav);
    EXPECT_EQ(o.timecodeStart, QStringLiteral("00:59:50:00"));
    EXPECT_TRUE(o.rig.isEmpty());  // the file is not taken for a rig

    // Refused: real converters, a zero that is no timecode, a start without a file, no file.
    EXPECT_FALSE(Parse({"--port", "/dev/ttyUSB0", "--timecode-file", wav}).error.isEmpty());
    EXPECT_FALSE(Parse({"--timecode-file", wav}).error.isEmpty());
    EXPECT_FALSE(
        Parse({"--simulate", "--timecode-file", wav, "--timecode-start", "1:00"}).error.isEmpty());
    EXPECT_FALSE(Parse({"--simulate", "--timecode-start", "01:00:00:00"}).error.isEmpty());
    EXPECT_FALSE(Parse({"--simulate", "--timecode-file", dir.file(QStringLiteral("none.wav"))})
                     .error.isEmpty());
    EXPECT_FALSE(Parse({"--simulate", "--timecode-file"}).error.isEmpty());
}

}  // namespace
