#include <gtest/gtest.h>

#include "CtlCommand.h"
#include "CtlRun.h"
#include "timecode/LtcTestSignal.h"

using namespace kv;

namespace {

struct Ctl : kvtest::CtlRun {
    int Run(QStringList args) {
        return CtlRun::Run(std::move(args), [](const QStringList& a, QTextStream& o,
                                               QTextStream& e) { return RunKelvanectl(a, o, e); });
    }
};

}  // namespace

TEST(KelvanectlTimecode, PrintsRateFramesDropoutsAndJumpsOfAFileChannel) {
    Ctl c;
    test::LtcTestSignal signal(48000, TimecodeRate::Fps25);
    signal.AppendTimecode(Timecode{0, 59, 50, 0}, 100);
    signal.AppendSilence(1000);
    signal.AppendTimecode(Timecode{0, 59, 55, 0}, 50);
    signal.AppendTimecode(Timecode{1, 10, 0, 0}, 50);
    const QString wav = c.dir.file(QStringLiteral("tc.wav"));
    ASSERT_TRUE(signal.WriteWav(wav, 2, 1));

    ASSERT_EQ(
        c.Run({QStringLiteral("timecode"), wav, QStringLiteral("--channel"), QStringLiteral("2")}),
        0)
        << c.err.toStdString();
    const QStringList lines = c.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6) << c.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("rate 25"));
    EXPECT_EQ(lines[1], QStringLiteral("first 00:59:50:00 at 0.000s"));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("last 01:10:01:2"))) << lines[2].toStdString();
    EXPECT_TRUE(lines[4].startsWith(QStringLiteral("dropout at 4.000s for 1.0")))
        << lines[4].toStdString();
    EXPECT_EQ(lines[5], QStringLiteral("jump at 7.000s from 00:59:56:24 to 01:10:00:00"));

    // The silent channel: nothing decoded is a failure.
    EXPECT_EQ(c.Run({QStringLiteral("timecode"), wav}), 1);
    EXPECT_EQ(c.out.trimmed(), QStringLiteral("no timecode"));
    EXPECT_EQ(
        c.Run({QStringLiteral("timecode"), wav, QStringLiteral("--channel"), QStringLiteral("3")}),
        1);
    EXPECT_TRUE(c.err.contains(QStringLiteral("no channel 3"))) << c.err.toStdString();
    EXPECT_EQ(
        c.Run({QStringLiteral("timecode"), wav, QStringLiteral("--channel"), QStringLiteral("0")}),
        2);
    EXPECT_EQ(c.Run({QStringLiteral("timecode")}), 2);
    EXPECT_EQ(c.Run({QStringLiteral("timecode"), c.dir.path()}), 2);
}
